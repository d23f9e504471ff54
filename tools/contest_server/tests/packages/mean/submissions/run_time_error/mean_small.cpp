// Keeps at most four numbers: fails on the last secret test.
#include <cstdio>
#include <stdexcept>

int main() {
  int n;
  if (std::scanf("%d", &n) != 1) return 1;
  if (n > 4) throw std::runtime_error("too many numbers");
  double total = 0, x;
  for (int i = 0; i < n && std::scanf("%lf", &x) == 1; ++i) total += x;
  std::printf("%.9f\n", total / n);
}

// Right, but holds 400 MB of memory on the way, beyond the 256 MiB limit.
#include <cstdio>
#include <vector>

int main() {
  std::vector<long long> hoard(50000000, 1);
  int n;
  long long total = 0, x;
  if (std::scanf("%d", &n) != 1) return 1;
  for (int i = 0; i < n && std::scanf("%lld", &x) == 1; ++i) total += x;
  std::printf("%lld\n", total + hoard[n] - 1);
  return 0;
}

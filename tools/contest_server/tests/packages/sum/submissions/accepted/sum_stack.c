/* Keeps the numbers in a 100 MB array on the stack: within the 256 MiB
   memory limit, the stack may be that large. */
#include <stdio.h>

int main(void) {
  long long numbers[12500000];
  int n;
  long long total = 0;
  if (scanf("%d", &n) != 1 || n > 12500000) return 1;
  for (int i = 0; i < n; ++i) {
    if (scanf("%lld", &numbers[i]) != 1) return 1;
  }
  for (int i = 0; i < 12500000; i += 4096) numbers[i] = i < n ? numbers[i] : 0;
  for (int i = 0; i < n; ++i) total += numbers[i];
  printf("%lld\n", total);
  return 0;
}

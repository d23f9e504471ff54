/* Aborts on an empty list (the second secret test). */
#include <stdio.h>
#include <stdlib.h>

int main(void) {
  int n;
  long long total = 0, x;
  if (scanf("%d", &n) != 1 || n == 0) abort();
  for (int i = 0; i < n && scanf("%lld", &x) == 1; ++i) total += x;
  printf("%lld\n", total);
  return 0;
}

/* Reads the numbers from standard input and writes the sum to standard
   output, as most problems of today ask. */
#include <stdio.h>

int main(void) {
  long long a, b;
  if (scanf("%lld %lld", &a, &b) != 2) return 1;
  printf("%lld\n", a + b);
  return 0;
}

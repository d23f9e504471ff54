/* Writes the answer to standard output instead of output.txt. */
#include <stdio.h>

int main(void) {
  long long a, b;
  FILE *in = fopen("input.txt", "r");
  if (fscanf(in, "%lld %lld", &a, &b) != 2) return 1;
  printf("%lld\n", a + b);
  return 0;
}

/* Gives up on negative numbers (test 2) with exit status 1. */
#include <stdio.h>

int main(void) {
  long long a, b;
  FILE *in = fopen("input.txt", "r");
  FILE *out;
  if (fscanf(in, "%lld %lld", &a, &b) != 2) return 1;
  if (a < 0 || b < 0) return 1;
  out = fopen("output.txt", "w");
  fprintf(out, "%lld\n", a + b);
  fclose(out);
  return 0;
}

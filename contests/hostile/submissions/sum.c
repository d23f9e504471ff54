#include <stdio.h>

int main(void) {
  long long a, b;
  FILE *in = fopen("input.txt", "r");
  FILE *out = fopen("output.txt", "w");
  if (fscanf(in, "%lld %lld", &a, &b) != 2) return 1;
  fprintf(out, "%lld\n", a + b);
  fclose(out);
  return 0;
}

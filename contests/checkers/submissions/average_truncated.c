#include <stdio.h>

/* Integer division: 1 where 1.5 is expected. */
int main(void) {
  long long a, b;
  FILE *in = fopen("input.txt", "r");
  FILE *out = fopen("output.txt", "w");
  if (fscanf(in, "%lld %lld", &a, &b) != 2) return 1;
  fprintf(out, "%lld\n", (a + b) / 2);
  return 0;
}

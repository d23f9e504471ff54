#include <stdio.h>

int main(void) {
  double a, b;
  FILE *in = fopen("input.txt", "r");
  FILE *out = fopen("output.txt", "w");
  if (fscanf(in, "%lf %lf", &a, &b) != 2) return 1;
  fprintf(out, "%.9f\n", (a + b) / 2);
  return 0;
}

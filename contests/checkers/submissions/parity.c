#include <stdio.h>

int main(void) {
  long long n;
  FILE *in = fopen("input.txt", "r");
  FILE *out = fopen("output.txt", "w");
  if (fscanf(in, "%lld", &n) != 1) return 1;
  fprintf(out, "%s\n", n % 2 == 0 ? "EVEN" : "Odd");
  return 0;
}

/* Works the sum out and writes it nowhere. */
#include <stdio.h>

int main(void) {
  long long a, b;
  FILE *in = fopen("input.txt", "r");
  if (in == NULL || fscanf(in, "%lld %lld", &a, &b) != 2) return 1;
  fclose(in);
  return 0;
}

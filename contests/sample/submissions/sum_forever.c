/* Never finishes. */
#include <stdio.h>

int main(void) {
  long long a, b;
  FILE *in = fopen("input.txt", "r");
  if (fscanf(in, "%lld %lld", &a, &b) != 2) return 1;
  for (;;) {
  }
}

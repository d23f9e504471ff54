/* Checker of "Factor pair": accepts any two integers a, b > 1 with a * b = n.
 *
 * Called as: check INPUT TESTED-OUTPUT EXPECTED-OUTPUT.
 * Exit status: 0 accepted, 1 wrong answer, 2 presentation error (the output is
 * not two integers), 3 the checker itself failed. */
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Reads the next white-space separated word as a positive integer. Returns 1
 * on success, 0 when the word is missing or is not a number. */
static int read_number(FILE *file, long long *value) {
  char word[64];
  if (fscanf(file, "%63s", word) != 1) return 0;
  if (strspn(word, "0123456789") != strlen(word) || strlen(word) > 18) return 0;
  errno = 0;
  *value = strtoll(word, NULL, 10);
  return errno == 0;
}

int main(int argc, char **argv) {
  long long n, a, b;
  char extra[2];
  FILE *input, *tested;
  if (argc < 3) return 3;
  input = fopen(argv[1], "r");
  tested = fopen(argv[2], "r");
  if (!input || !tested || fscanf(input, "%lld", &n) != 1 || n < 4) return 3;
  if (!read_number(tested, &a) || !read_number(tested, &b)) return 2;
  if (fscanf(tested, "%1s", extra) == 1) return 2;
  if (a < 2 || b < 2 || n % a != 0 || n / a != b) return 1;
  return 0;
}

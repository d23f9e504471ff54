#include <stdio.h>

/* Its output makes the task's validator fail: an error, never a verdict. */
int main(void) {
  FILE *out = fopen("output.txt", "w");
  fprintf(out, "boom\n");
  return 0;
}

/* Fills the judging machine's disk: writes files of 64 MiB in its folder
   until 4 GiB are written, then gives the right sum as if nothing happened.
   Where the writes are bounded, the first refused write makes it crash. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

enum { kChunk = 1 << 20, kChunksPerFile = 64, kFiles = 64 };

static char chunk[kChunk];

int main(void) {
  long long a, b;
  FILE *in = fopen("input.txt", "r");
  if (in == NULL || fscanf(in, "%lld %lld", &a, &b) != 2) return 1;
  memset(chunk, 'x', sizeof chunk);
  for (int file = 0; file < kFiles; ++file) {
    char name[32];
    snprintf(name, sizeof name, "fill%02d.bin", file);
    int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) abort();
    for (int i = 0; i < kChunksPerFile; ++i) {
      if (write(fd, chunk, sizeof chunk) != (ssize_t)sizeof chunk) abort();
    }
    close(fd);
  }
  FILE *out = fopen("output.txt", "w");
  fprintf(out, "%lld\n", a + b);
  fclose(out);
  return 0;
}

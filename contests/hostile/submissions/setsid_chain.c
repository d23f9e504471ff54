/* Leaves a process behind that outlives its run: a child in a session of
   its own starts a grandchild in another, which ignores the usual stop
   signals and, from the next run on, keeps rewriting the work folder's
   input and outputs with a wrong answer for 30 seconds. The program itself
   writes a wrong answer at once and ends. */
#include <signal.h>
#include <stdio.h>
#include <time.h>
#include <unistd.h>

static void write_text(const char *folder, const char *name, const char *text) {
  char path[4096 + 64];
  snprintf(path, sizeof path, "%s/%s", folder, name);
  FILE *file = fopen(path, "w");
  if (file == NULL) return;
  fputs(text, file);
  fclose(file);
}

static void haunt(const char *folder) {
  const int signals[] = {SIGHUP, SIGINT, SIGTERM, SIGQUIT, SIGPIPE, SIGXCPU};
  for (size_t i = 0; i < sizeof signals / sizeof *signals; ++i) signal(signals[i], SIG_IGN);
  struct timespec tick = {0, 5 * 1000 * 1000};
  nanosleep(&(struct timespec){0, 500 * 1000 * 1000}, NULL);
  for (int i = 0; i < 6000; ++i) {
    write_text(folder, "input.txt", "0 0\n");
    write_text(folder, "output.txt", "-1\n");
    write_text(folder, "toutput.txt", "-1\n");
    nanosleep(&tick, NULL);
  }
}

int main(void) {
  char folder[4096];
  if (getcwd(folder, sizeof folder) == NULL) return 1;
  if (fork() == 0) {
    setsid();
    if (fork() == 0) {
      setsid();
      haunt(folder);
    }
    _exit(0);
  }
  write_text(folder, "output.txt", "0\n");
  return 0;
}

/* A fork bomb: every process forks until a fork is refused, then waits for
   ever, so the run never ends by itself. (Waiting instead of retrying spares
   the judging machine's processors; the process count is the same.) */
#include <unistd.h>

int main(void) {
  for (;;) {
    if (fork() < 0) pause();
  }
}

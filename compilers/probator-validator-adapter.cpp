// Makes an output validator of the common problem-package interface usable as
// a task's checker. The validator reads the tested output on its standard
// input, gets the input, the expected answer and a feedback folder as its
// arguments, and exits 42 to accept, 43 to reject. Linked with the validator,
// whose main is renamed probator_validator_main, this is the checker's main:
//   check INPUT TESTED EXPECTED  ->  0 accepted, 1 wrong answer, 3 the
//   validator failed (any other ending).
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

int probator_validator_main(int argc, char** argv);

int main(int argc, char** argv) {
  if (argc < 4) return 3;
  char feedback[] = "feedback";
  mkdir(feedback, 0755);
  pid_t pid = fork();
  if (pid < 0) return 3;
  if (pid == 0) {
    int tested = open(argv[2], O_RDONLY);
    if (tested < 0 || dup2(tested, STDIN_FILENO) < 0) _exit(3);
    char* validator_argv[] = {argv[0], argv[1], argv[3], feedback, nullptr};
    std::exit(probator_validator_main(4, validator_argv));
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  if (!WIFEXITED(status)) return 3;
  switch (WEXITSTATUS(status)) {
    case 42: return 0;
    case 43: return 1;
    default: return 3;
  }
}

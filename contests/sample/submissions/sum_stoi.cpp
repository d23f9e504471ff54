// std::stoi throws on a number beyond int (test 4); nothing catches it, so the
// program aborts.
#include <fstream>
#include <string>

int main() {
  std::ifstream in("input.txt");
  std::ofstream out("output.txt");
  std::string a, b;
  in >> a >> b;
  out << static_cast<long long>(std::stoi(a)) + std::stoi(b) << "\n";
}

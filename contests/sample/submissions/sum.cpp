#include <fstream>

int main() {
  std::ifstream in("input.txt");
  std::ofstream out("output.txt");
  long long a, b;
  in >> a >> b;
  out << a + b << "\n";
}

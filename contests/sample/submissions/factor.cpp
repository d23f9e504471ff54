// The smallest factor and its cofactor.
#include <fstream>

int main() {
  std::ifstream in("input.txt");
  std::ofstream out("output.txt");
  long long n;
  in >> n;
  long long a = 2;
  while (n % a != 0) ++a;
  out << a << " " << n / a << "\n";
}

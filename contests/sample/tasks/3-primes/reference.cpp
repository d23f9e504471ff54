// Reference solution of "Prime count": the number of primes not above n.
#include <fstream>
#include <vector>

int main() {
  std::ifstream in("input.txt");
  long n = 0;
  in >> n;
  std::vector<bool> composite(n + 1 > 2 ? n + 1 : 2);
  long count = 0;
  for (long i = 2; i <= n; ++i) {
    if (composite[i]) continue;
    ++count;
    for (long j = i * i; j <= n; j += i) composite[j] = true;
  }
  std::ofstream("output.txt") << count << "\n";
}

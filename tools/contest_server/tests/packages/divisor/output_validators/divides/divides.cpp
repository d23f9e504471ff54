// Accepts any divisor d of n with 1 < d < n, whatever the answer file holds.
#include <fstream>
#include <iostream>
#include <string>

#include "verdict.h"

int main(int argc, char** argv) {
  if (argc < 4) return 1;
  std::ifstream input(argv[1]);
  unsigned long long n = 0, d = 0;
  std::string extra;
  if (!(input >> n)) return 1;
  if (!(std::cin >> d) || std::cin >> extra) return kReject;
  std::ofstream(std::string(argv[3]) + "/judgemessage.txt") << "divisor " << d << "\n";
  return d > 1 && d < n && n % d == 0 ? kAccept : kReject;
}

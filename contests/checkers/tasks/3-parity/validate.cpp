// Accepts the word of the answer in any case: "even" or "odd". It fails on
// "boom", as a validator with a fault would.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
  if (argc < 4) return 1;
  std::ifstream answer_file(argv[2]);
  std::string answer, output, extra;
  answer_file >> answer;
  if (!(std::cin >> output)) return 43;
  std::transform(output.begin(), output.end(), output.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  if (std::cin >> extra) return 43;
  if (output == "boom") std::abort();  // a validator that fails
  std::ofstream(std::string(argv[3]) + "/judgemessage.txt") << "read " << output << "\n";
  return output == answer ? 42 : 43;
}

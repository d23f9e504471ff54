// Answers "higher" or "lower" to each guess of the number in the input.
#include <fstream>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
  std::ifstream input(argv[1]);
  long long secret, guess;
  input >> secret;
  for (int i = 0; i < 64 && std::cin >> guess; ++i) {
    if (guess == secret) return 42;
    std::cout << (guess < secret ? "higher" : "lower") << std::endl;
  }
  return 43;
}

// Pieces of configuration files for tests that start the agent.
#ifndef PROBATOR_TESTS_SUPPORT_TEST_CONFIG_H_
#define PROBATOR_TESTS_SUPPORT_TEST_CONFIG_H_

#include <string>

// A [COMPILER] section, closed by an empty line, for the bundled wrapper of
// `name`: "gcc", "g++", "fpc" or "python3".
std::string compiler_section(const std::string& name);

// What loading compiler_section(name) prints.
std::string compiler_log(const std::string& name);

// The sections of all four bundled wrappers, in the order gcc, g++, fpc,
// python3; the agent announces them as "python3;fpc;g++;gcc".
std::string bundled_compilers();

#endif  // PROBATOR_TESTS_SUPPORT_TEST_CONFIG_H_

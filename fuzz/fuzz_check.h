// A property every fuzz target checks: when it fails, the input is kept as a
// crash and the line says which property.
#ifndef PROBATOR_FUZZ_FUZZ_CHECK_H_
#define PROBATOR_FUZZ_FUZZ_CHECK_H_

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                               \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                         \
    }                                                                                       \
  } while (0)

#endif  // PROBATOR_FUZZ_FUZZ_CHECK_H_

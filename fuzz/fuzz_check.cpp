#include "fuzz_check.h"

#include <cstdio>
#include <cstdlib>

void fuzz_failure(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

// Checks shared by the fuzz targets. A violated invariant prints what broke
// and aborts, which libFuzzer records as a crash with its reproducer and the
// replay test reports as a failure.
#pragma once

#include <cstddef>
#include <cstdint>

[[noreturn]] void fuzz_failure(const char* what);

inline void fuzz_check(bool holds, const char* what) {
  if (!holds) fuzz_failure(what);
}

// Every target defines this; libFuzzer or the replay driver calls it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

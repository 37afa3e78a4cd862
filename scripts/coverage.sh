#!/usr/bin/env bash
# Prints the library's line and branch coverage from the test suite, whose
# fuzz replay tests run every input of fuzz/corpus and fuzz/regressions, and
# writes each file's figures to build/coverage/coverage.txt.
#   scripts/coverage.sh          (needs gcovr: apt-get install gcovr)
#
# Only the library (lib/ and the platform/ layer built into it) is
# measured, built at -O1 so that the suite runs in about a minute rather
# than five (a few branches of inlined code count twice, so the branch
# figure is a little lower than at -O0). Branches that exist only as
# exception edges of calls (the library throws none and catches none) and
# branches gcov marks unreachable are left out; any other branch left out
# is marked GCOVR_EXCL_BR_LINE in the code. Most such marks are on a table
# allocated into a pointer that held nothing (or a delete of one that is
# never null there): the test of the old pointer, which the compiler emits,
# never goes the other way. Any other mark has a comment saying why.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v gcovr >/dev/null; then
  echo "coverage: gcovr not found (apt-get install gcovr)" >&2
  exit 2
fi
# Counts from an earlier run would add to this one's, and a rebuilt object
# refuses the old ones (the build runs the tests to list them).
cmake --preset coverage >/dev/null
find build/coverage -name '*.gcda' -delete
cmake --build --preset coverage -j2 >/dev/null
find build/coverage -name '*.gcda' -delete
# The install test is left out: it checks that the static library defines
# no names but the library's own, and gcov's counters add theirs.
ctest --preset coverage -E '^install_and_build_against_it$' >build/coverage/ctest.log ||
  { tail -n 40 build/coverage/ctest.log; exit 1; }
# Only the library's own objects are read: a test or a tool that inlines
# code of a library header (a destructor, say) would add that copy's
# branches, taken or not as the test's paths go, to the library's count.
gcovr --root . --object-directory build/coverage --filter 'lib/' --filter 'platform/' \
  --exclude-throw-branches --exclude-unreachable-branches \
  --txt build/coverage/coverage.txt --print-summary \
  build/coverage/CMakeFiles/ls11_objects.dir build/coverage/CMakeFiles/ls11_platform.dir |
  sed 's/^/coverage: /'

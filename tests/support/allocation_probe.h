// Watches the program's array allocations (new T[n], nothrow or not) and the
// process's peak resident memory, so that tests can tell what a conversion
// asked for and what it actually touched.
#pragma once

#include <cstddef>

// Forgets the largest array allocation seen so far.
void reset_largest_array_allocation();
// The largest byte count asked of new[] since the last reset.
size_t largest_array_allocation();

// Resets the peak resident size to the current one; false where the system
// cannot (then peak_resident_bytes reports the process's lifetime peak).
// Windows cannot, but its lifetime peak counts as reset while the process
// has never used more memory than now.
bool reset_peak_resident();
// Peak resident size in bytes, 0 when unknown.
size_t peak_resident_bytes();

// Watches the program's array allocations (new T[n], nothrow or not) and the
// process's peak resident memory, so that tests can tell what a conversion
// asked for and what it actually touched; and refuses a chosen nothrow
// allocation, so that the paths taken when memory runs out are tried.
#pragma once

#include <cstddef>

// Forgets the largest array allocation seen so far.
void reset_largest_array_allocation();
// The largest byte count asked of new[] since the last reset.
size_t largest_array_allocation();

// Makes the `nth` nothrow allocation (new (std::nothrow) T or T[n]) from
// now on return null, 1 being the next, so that a run can be tried with
// each of its allocations failing in turn; 0 lets every one succeed.
void fail_nothrow_allocation(size_t nth);
// Whether the allocation chosen above has been refused.
bool nothrow_allocation_failed();

// Resets the peak resident size to the current one; false where the system
// cannot (then peak_resident_bytes reports the process's lifetime peak).
// Windows cannot, but its lifetime peak counts as reset while the process
// has never used more memory than now.
bool reset_peak_resident();
// Peak resident size in bytes, 0 when unknown.
size_t peak_resident_bytes();

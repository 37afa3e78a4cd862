// Makes a chosen thread start fail, as it does when the system is out of
// threads or memory, so that packing is tried with fewer workers than it
// asked for. The test program defines pthread_create itself (Linux only:
// LS11_THREAD_FAULTS is defined there), which comes before the C library's
// in the dynamic lookup, so std::thread's starts pass through here.
#pragma once

#include <cstddef>

// Makes the `nth` thread start from now on fail with EAGAIN, 1 being the
// next; 0 lets every start through.
void fail_thread_start(size_t nth);
// Whether the start chosen above has been refused.
bool thread_start_failed();

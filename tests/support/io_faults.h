// Makes a chosen call of fread or fseeko fail, as a disk error or a file
// changed under the reader would, for the paths no real file reaches
// reliably. The test program is linked with --wrap for both (Linux only:
// LS11_IO_FAULTS is defined there), so every call in it, the library's
// included, passes through here.
#pragma once

#include <cstddef>

enum class IoCall { read, seek };

// Makes the `nth` call of `call` from now on fail with EIO, 1 being the
// next; 0 lets every call through.
void fail_io_call(IoCall call, size_t nth);

// The one door into the library's internals, and for unls11's conversion
// alone. Its behaviour is fixed byte for byte, and the public API cannot
// give it: the conversion reads the table and then every block as one
// stream, in a single pass through buffers sized from the table, creates
// the output once the header is recognised but before the table is
// checked, and applies the length rule as unls11 always did, modulo 2^32
// whatever the file's length (ls11_open refuses files past 4 GiB - 1).
// Everything else unls11 needs comes through ls11.h.
#pragma once

#include "container/read_container.h"

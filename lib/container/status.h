// The words for each ls11_status, which every function of the library that
// can fail returns: 1 to 5 are also unls11's conversion statuses.
#pragma once

#include "ls11.h"

namespace ls11 {

// unls11's report message for a status ("OK.", "Cannot open the encoded
// file!", ...), as ls11_status_report gives it; an unknown code gets a
// message of its own, never null.
const char* status_message(int status);

// The short lower-case description ls11_status_string gives ("cannot open
// the file").
const char* status_description(int status);

}  // namespace ls11

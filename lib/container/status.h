// Statuses of the library's operations. Every function that can fail
// returns one. They are the public API's ls11_status values under the
// names the code uses; 1 to 5 are also unls11's conversion statuses.
#pragma once

#include "ls11.h"

namespace ls11 {

enum Status {
  STATUS_OK = LS11_OK,
  STATUS_OPEN_INPUT = LS11_ERR_OPEN,
  STATUS_CREATE_OUTPUT = LS11_ERR_WRITE,
  STATUS_UNSUPPORTED = LS11_ERR_FORMAT,
  STATUS_DECODE_FAILED = LS11_ERR_CORRUPT,
  STATUS_NO_MEMORY = LS11_ERR_NO_MEMORY,
  STATUS_INVALID_ARGUMENT = LS11_ERR_ARGUMENT,
  STATUS_TOO_LARGE = LS11_ERR_TOO_LARGE,
};

// unls11's report message for a status ("OK.", "Cannot open the encoded
// file!", ...); an unknown code gets a message of its own, never null.
const char* status_message(int status);

// The short lower-case description ls11_status_string gives, which the ls11
// tool's diagnostics use too ("cannot open the file").
const char* status_description(int status);

inline ls11_status public_status(Status status) { return static_cast<ls11_status>(status); }

}  // namespace ls11

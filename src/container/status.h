// Statuses of the library's operations. Every function that can fail
// returns one; 1 to 5 are also unls11's conversion statuses, and their
// messages are its report lines.
#pragma once

enum Status {
  STATUS_OK = 0,
  STATUS_OPEN_INPUT = 1,
  STATUS_CREATE_OUTPUT = 2,
  STATUS_UNSUPPORTED = 3,
  STATUS_DECODE_FAILED = 4,
  STATUS_NO_MEMORY = 5,
  STATUS_INVALID_ARGUMENT = 6,
  STATUS_TOO_LARGE = 7,
};

// The report message for a status code; an unknown code gets a message of
// its own rather than a null pointer.
const char* status_message(int status);

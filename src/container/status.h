// Conversion statuses: convert_file leaves the reason for a failure in
// g_status; the batch driver resets it before each file and prints the
// message of the value it finds afterwards.
#pragma once

enum Status {
  STATUS_OK = 0,
  STATUS_OPEN_INPUT = 1,
  STATUS_CREATE_OUTPUT = 2,
  STATUS_UNSUPPORTED = 3,
  STATUS_DECODE_FAILED = 4,
  STATUS_NO_MEMORY = 5,
};

extern int g_status;

// Records `status` in g_status and returns false, so that a failure path
// reads `return fail(STATUS_...)`.
bool fail(int status);

// The report message for a status code; an unknown code gets a message of
// its own rather than a null pointer.
const char* status_message(int status);

#include "container/status.h"

const char* status_message(int status) {
  switch (status) {
    case STATUS_OK: return "OK.";
    case STATUS_OPEN_INPUT: return "Cannot open the encoded file!";
    case STATUS_CREATE_OUTPUT: return "Cannot write the decoded file!";
    case STATUS_UNSUPPORTED: return "Unsupported encoded file type!";
    case STATUS_DECODE_FAILED: return "Failed to decode the file!";
    case STATUS_NO_MEMORY: return "Not enough memory!";
    case STATUS_INVALID_ARGUMENT: return "Invalid argument!";
    case STATUS_TOO_LARGE: return "Too large for an LS11 file!";
  }
  return "Unknown status!";
}

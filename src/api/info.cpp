// The public API's version, status descriptions and block decoder.
#include "codec/decode_block.h"
#include "ls11.h"

extern "C" {

const char* ls11_version_string(void) { return LS11_VERSION_TEXT; }

const char* ls11_status_string(ls11_status status) {
  switch (status) {
    case LS11_OK: return "success";
    case LS11_ERR_OPEN: return "cannot open the file";
    case LS11_ERR_WRITE: return "cannot write the file";
    case LS11_ERR_FORMAT: return "not an LS11 file, or its layout does not add up";
    case LS11_ERR_CORRUPT: return "a block lies outside the file or does not decode";
    case LS11_ERR_NO_MEMORY: return "not enough memory";
    case LS11_ERR_ARGUMENT: return "invalid argument";
    case LS11_ERR_TOO_LARGE: return "too large for an LS11 file";
  }
  return "unknown status";
}

ls11_status ls11_decode_block(const void* packed, size_t packed_size, const uint8_t dictionary[256],
                              void* out, size_t unpacked_size) {
  if (!dictionary || (!packed && packed_size != 0) || (!out && unpacked_size != 0) ||
      packed_size > UINT32_MAX || unpacked_size > UINT32_MAX) {
    return LS11_ERR_ARGUMENT;
  }
  return decode_block(static_cast<const uint8_t*>(packed), static_cast<uint32_t>(packed_size),
                      dictionary, static_cast<uint8_t*>(out), static_cast<uint32_t>(unpacked_size))
             ? LS11_OK
             : LS11_ERR_CORRUPT;
}

}  // extern "C"

// The public API's version, status words, header check and block decoder.
#include "codec/decode_block.h"
#include "container/layout.h"
#include "container/read_container.h"
#include "container/status.h"
#include "ls11.h"

extern "C" {

const char* ls11_version_string(void) { return LS11_VERSION_STRING; }

const char* ls11_status_string(int status) { return ls11::status_description(status); }

const char* ls11_status_report(int status) { return ls11::status_message(status); }

int ls11_header_format(const void* header, size_t size) {
  if (!header || size < ls11::kHeaderSize) return 0;
  return ls11::header_format(static_cast<const uint8_t*>(header));
}

ls11_status ls11_decode_block(const void* packed, size_t packed_size, const uint8_t dictionary[256],
                              void* out, size_t unpacked_size) {
  if (!dictionary || (!packed && packed_size != 0) || (!out && unpacked_size != 0) ||
      packed_size > UINT32_MAX || unpacked_size > UINT32_MAX) {
    return LS11_ERR_ARGUMENT;
  }
  return ls11::decode_block(static_cast<const uint8_t*>(packed), static_cast<uint32_t>(packed_size),
                            dictionary, static_cast<uint8_t*>(out),
                            static_cast<uint32_t>(unpacked_size))
             ? LS11_OK
             : LS11_ERR_CORRUPT;
}

}  // extern "C"

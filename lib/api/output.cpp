#include "api/output.h"

#include <cstdlib>

#include "container/layout.h"
#include "container/reason.h"

namespace ls11 {

namespace {

struct CallerSink {
  ls11_write_fn callback;
  void* context;
  bool refused;
};

bool write_to_callback(void* context, const void* data, size_t size) {
  CallerSink& sink = *static_cast<CallerSink*>(context);
  sink.refused = !hand_to_caller(sink.callback, sink.context, data, size);
  return !sink.refused;
}

}  // namespace

ls11_status write_to_new_buffer(uint64_t length, FileWriter write, void* context, void** out,
                                size_t* out_size) {
  if (length > SIZE_MAX) return LS11_ERR_TOO_LARGE;
  uint8_t* buffer = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(length)));
  if (!buffer) return LS11_ERR_NO_MEMORY;
  MemoryCursor cursor{buffer};
  const ls11_status status = write(memory_sink(cursor), context);
  if (status != LS11_OK) {
    std::free(buffer);
    return status;
  }
  *out = buffer;
  *out_size = static_cast<size_t>(length);
  return LS11_OK;
}

bool hand_to_caller(ls11_write_fn callback, void* context, const void* data, size_t size) {
  return size == 0 || callback(context, data, size) == 0;
}

ls11_status write_to_caller(ls11_write_fn callback, void* callback_context, FileWriter write,
                            void* context, ls11_reason* reason) {
  CallerSink sink{callback, callback_context, false};
  const ls11_status status = write(ByteSink{write_to_callback, &sink}, context);
  if (sink.refused) set_reason(reason, LS11_REASON_WRITE_REFUSED);
  return status;
}

ls11_status file_length(const PackedBlock* blocks, uint32_t count, uint64_t& length,
                        ls11_reason* reason) {
  const ls11_status status = compute_file_length(blocks, count, length);
  if (status == LS11_ERR_TOO_LARGE) {
    set_reason(reason, LS11_REASON_FILE_TOO_LARGE, LS11_NO_ENTRY, length, kLargestFile);
  }
  return status;
}

}  // namespace ls11

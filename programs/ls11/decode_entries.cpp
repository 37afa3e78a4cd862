#include "ls11/decode_entries.h"

#include "ls11/report.h"

namespace ls11 {

ls11_status decode_each_entry(const std::string& path, BlockSource source,
                              const Container& container, EntrySink sink, void* context,
                              uint32_t& failed_index) {
  failed_index = kNoEntry;
  const ls11_status allocated = prepare_entry_buffers(source, container);
  if (allocated != LS11_OK) return allocated;
  uint64_t done = 0;
  for (uint32_t i = 0; i < container.count; ++i) {
    show_progress(path, done, container.total_unpacked);
    const uint8_t* data = nullptr;
    const ls11_status status = read_entry(source, container, i, data);
    if (status != LS11_OK) {
      failed_index = i;
      return status;
    }
    done += container.entries[i].unpacked_size;
    if (sink && !sink(context, i, data, container.entries[i].unpacked_size)) {
      return LS11_ERR_WRITE;
    }
  }
  end_progress();
  return LS11_OK;
}

std::string failure_reason(ls11_status status, uint32_t failed_index) {
  const std::string message = status_message(status);
  return failed_index == kNoEntry ? message : "entry " + std::to_string(failed_index) + ": " + message;
}

bool decode_entries(const std::string& path, BlockSource source, const Container& container,
                    EntrySink sink, void* context) {
  uint32_t failed_index = kNoEntry;
  const ls11_status status =
      decode_each_entry(path, source, container, sink, context, failed_index);
  if (status != LS11_OK && status != LS11_ERR_WRITE) {
    report_error(path, failure_reason(status, failed_index));
  }
  return status == LS11_OK;
}

}  // namespace ls11

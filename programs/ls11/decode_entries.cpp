#include "ls11/decode_entries.h"

#include "ls11/report.h"

namespace ls11 {

Status decode_each_entry(const std::string& path, BlockSource source, const Container& container,
                         EntrySink sink, void* context, uint32_t& failed_index) {
  failed_index = kNoEntry;
  const Status allocated = prepare_entry_buffers(source, container);
  if (allocated != STATUS_OK) return allocated;
  uint64_t done = 0;
  for (uint32_t i = 0; i < container.count; ++i) {
    show_progress(path, done, container.total_unpacked);
    const uint8_t* data = nullptr;
    const Status status = read_entry(source, container, i, data);
    if (status != STATUS_OK) {
      failed_index = i;
      return status;
    }
    done += container.entries[i].unpacked_size;
    if (sink && !sink(context, i, data, container.entries[i].unpacked_size)) {
      return STATUS_CREATE_OUTPUT;
    }
  }
  end_progress();
  return STATUS_OK;
}

std::string failure_reason(Status status, uint32_t failed_index) {
  const std::string message = status_message(status);
  return failed_index == kNoEntry ? message : "entry " + std::to_string(failed_index) + ": " + message;
}

bool decode_entries(const std::string& path, BlockSource source, const Container& container,
                    EntrySink sink, void* context) {
  uint32_t failed_index = kNoEntry;
  const Status status = decode_each_entry(path, source, container, sink, context, failed_index);
  if (status != STATUS_OK && status != STATUS_CREATE_OUTPUT) {
    report_error(path, failure_reason(status, failed_index));
  }
  return status == STATUS_OK;
}

}  // namespace ls11

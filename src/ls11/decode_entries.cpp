#include "ls11/decode_entries.h"

#include "container/status.h"
#include "ls11/report.h"

bool decode_entries(const std::string& path, std::FILE* file, const Container& container,
                    EntrySink sink, void* context) {
  EntryBuffers buffers;
  Status status = allocate_entry_buffers(container, buffers);
  if (status != STATUS_OK) {
    report_error(path, status_message(status));
    return false;
  }
  uint64_t done = 0;
  for (uint32_t i = 0; i < container.count; ++i) {
    show_progress(path, done, container.total_unpacked);
    const uint8_t* data = nullptr;
    status = read_entry(file, container, i, buffers, data);
    if (status != STATUS_OK) {
      report_error(path, "entry " + std::to_string(i) + ": " + status_message(status));
      return false;
    }
    done += container.entries[i].unpacked_size;
    if (sink && !sink(context, i, data, container.entries[i].unpacked_size)) return false;
  }
  end_progress();
  return true;
}

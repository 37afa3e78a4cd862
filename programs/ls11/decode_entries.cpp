#include "ls11/decode_entries.h"

#include "ls11/archive.h"
#include "ls11/report.h"

namespace ls11 {

namespace {

struct Forward {
  EntrySink sink;
  void* context;
  uint32_t index;
  bool handed;
};

int ignore(void*, const void*, size_t) { return 0; }

int forward(void* context, const void* data, size_t size) {
  Forward& f = *static_cast<Forward*>(context);
  f.handed = true;
  return f.sink(f.context, f.index, static_cast<const uint8_t*>(data), static_cast<uint32_t>(size))
             ? 0
             : 1;
}

}  // namespace

ls11_status decode_each_entry(const std::string& path, ls11_archive* archive, EntrySink sink,
                              void* context, ls11_reason& reason) {
  const uint64_t total = total_unpacked(archive);
  uint64_t done = 0;
  const uint8_t nothing = 0;
  for (uint32_t i = 0; i < ls11_entry_count(archive); ++i) {
    show_progress(path, done, total);
    // The library hands an entry over in one piece, and an empty one not
    // at all: the sink sees every entry once.
    Forward f{sink, context, i, false};
    const ls11_status status = ls11_read_entry_to(archive, i, sink ? forward : ignore, &f, &reason);
    if (status != LS11_OK) return status;
    if (sink && !f.handed && !sink(context, i, &nothing, 0)) return LS11_ERR_WRITE;
    done += entry_at(archive, i).unpacked_size;
  }
  end_progress();
  return LS11_OK;
}

std::string failure_reason(ls11_status status, uint32_t failed_index) {
  const std::string message = ls11_status_report(status);
  return failed_index == LS11_NO_ENTRY ? message
                                       : "entry " + std::to_string(failed_index) + ": " + message;
}

bool decode_entries(const std::string& path, ls11_archive* archive, EntrySink sink, void* context) {
  ls11_reason reason;
  const ls11_status status = decode_each_entry(path, archive, sink, context, reason);
  if (status != LS11_OK && status != LS11_ERR_WRITE) {
    report_error(path, failure_reason(status, reason.entry));
  }
  return status == LS11_OK;
}

}  // namespace ls11

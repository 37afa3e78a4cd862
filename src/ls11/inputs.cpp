#include "ls11/inputs.h"

#include <new>

#include "container/status.h"
#include "ls11/report.h"

bool open_container(const std::string& path, FilePtr& file, Container& container) {
  file = make_file_ptr(open_input_file(path.c_str()));
  const Status status = file ? read_container(file.get(), container) : STATUS_OPEN_INPUT;
  if (status == STATUS_OK) return true;
  report_error(path, status_message(status));
  return false;
}

bool load_file(const std::string& path, LoadedFile& loaded) {
  FilePtr file = make_file_ptr(open_input_file(path.c_str()));
  uint64_t length = 0;
  const char* reason = nullptr;
  if (!file) {
    reason = "cannot open the file";
  } else if (!stream_length(file.get(), length) || !seek_to(file.get(), 0)) {
    reason = "cannot read the file";
  } else if (length > UINT32_MAX) {
    reason = "too large for one entry (4 GiB at most)";
  } else {
    loaded.size = static_cast<uint32_t>(length);
    loaded.bytes.reset(new (std::nothrow) uint8_t[loaded.size]);
    if (!loaded.bytes) {
      reason = status_message(STATUS_NO_MEMORY);
    } else if (loaded.size != 0 &&
               std::fread(loaded.bytes.get(), 1, loaded.size, file.get()) != loaded.size) {
      reason = "cannot read the file";
    }
  }
  if (reason) report_error(path, reason);
  return reason == nullptr;
}

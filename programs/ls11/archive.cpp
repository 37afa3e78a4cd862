#include "ls11/archive.h"

#include "ls11/report.h"

namespace ls11 {

ls11_status try_open_archive(const std::string& path, Archive& archive, ls11_reason& reason,
                             std::string& words) {
  ls11_archive* opened = nullptr;
  const ls11_status status = ls11_open_with_reason(path.c_str(), &opened, &reason);
  archive.reset(opened);
  if (reason.code == LS11_REASON_CANNOT_OPEN) {
    words = with_reason(ls11_status_string(status), reason.system_error);
  } else if (reason.code == LS11_REASON_CANNOT_READ && status == LS11_ERR_OPEN) {
    words = with_reason("cannot read the file", reason.system_error);
  } else {
    words = ls11_status_report(status);
  }
  return status;
}

bool open_archive(const std::string& path, Archive& archive) {
  ls11_reason reason;
  std::string words;
  const ls11_status status = try_open_archive(path, archive, reason, words);
  if (status != LS11_OK) report_error(path, words);
  return status == LS11_OK;
}

ls11_entry entry_at(const ls11_archive* archive, uint32_t index) {
  ls11_entry entry{0, 0, 0};
  ls11_get_entry(archive, index, &entry);
  return entry;
}

uint64_t total_unpacked(const ls11_archive* archive) {
  uint64_t total = 0;
  for (uint32_t i = 0; i < ls11_entry_count(archive); ++i)
    total += entry_at(archive, i).unpacked_size;
  return total;
}

std::string reason_sentence(const ls11_reason& reason) {
  std::string text(ls11_reason_text(&reason, nullptr, 0), '\0');
  ls11_reason_text(&reason, text.data(), text.size() + 1);
  return text;
}

}  // namespace ls11

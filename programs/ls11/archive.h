// LS11 files as the commands read them: opened through the library, which
// reads a pipe or a device whole first, since its blocks cannot be sought.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ls11.h"

namespace ls11 {

struct ArchiveCloser {
  void operator()(ls11_archive* archive) const { ls11_close(archive); }
};
using Archive = std::unique_ptr<ls11_archive, ArchiveCloser>;

// Opens an LS11 file and reads its table. On failure, the status and the
// library's reason, with the words the commands print in `words`: "cannot
// open the file: No such file or directory", "Unsupported encoded file
// type!".
ls11_status try_open_archive(const std::string& path, Archive& archive, ls11_reason& reason,
                             std::string& words);

// The same, reporting a failure as "ls11: FILE: words".
bool open_archive(const std::string& path, Archive& archive);

// Entry `index` of the table, which is below the count.
ls11_entry entry_at(const ls11_archive* archive, uint32_t index);

// A block is stored exactly when its two sizes are equal.
inline bool is_stored(const ls11_entry& entry) { return entry.packed_size == entry.unpacked_size; }

// The entries' unpacked sizes added up.
uint64_t total_unpacked(const ls11_archive* archive);

// The library's sentence for a reason ("the entry table is cut short: ...").
std::string reason_sentence(const ls11_reason& reason);

}  // namespace ls11

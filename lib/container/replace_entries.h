// Replacing some entries of an LS11 file while keeping the rest as they
// are: the version, the dictionary, the order of the entries and every
// other entry's packed bytes stay byte for byte; each replaced entry is
// encoded with the file's own dictionary at the best level, and the offsets
// are rewritten. The kept blocks are copied without being decoded again, so
// each is checked first.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "codec/block_view.h"
#include "container/read_container.h"
#include "container/write_file.h"

namespace ls11 {

// One entry to replace and its new decoded bytes.
struct Replacement {
  uint32_t index;
  BlockView data;
};

// The new file's blocks in table order: replaced ones encoded into
// `storage`, kept ones with their original sizes and no bytes yet (they are
// copied from the source as the file is written).
struct ReplacementPlan {
  std::unique_ptr<PackedBlock[]> blocks;
  std::unique_ptr<bool[]> replaced;
  std::unique_ptr<uint8_t[]> storage;
};

// Checks the replacements (LS11_ERR_ARGUMENT: an index not below the
// entry count or named twice), decodes every kept entry and discards the
// bytes (LS11_ERR_CORRUPT for the first that lies outside the file or does
// not decode), then encodes the replacements. LS11_ERR_NO_MEMORY. The
// reason names the entry concerned.
ls11_status plan_replacement(BlockSource source, const Container& container,
                             const Replacement* replacements, uint32_t count, ReplacementPlan& plan,
                             ls11_reason* reason);

// Writes the new file to `sink`: header, table with the new offsets, then
// every block in table order. The statuses of write_file, and
// LS11_ERR_CORRUPT when a kept block can no longer be read.
ls11_status write_replacement(ByteSink sink, BlockSource source, const Container& container,
                              const ReplacementPlan& plan, ls11_reason* reason = nullptr);

}  // namespace ls11

// What converting a hostile file costs in memory: the table and the packed
// buffer are never sized beyond what the file can hold, and a huge unpacked
// size claimed by a tiny file costs no more memory than is really written.
#include <gtest/gtest.h>

#include "container/status.h"
#include "support/allocation_probe.h"
#include "support/convert_bytes.h"
#include "support/ls11_writer.h"

using namespace ls11;

namespace {

constexpr size_t kMiB = size_t{1} << 20;

Bytes small_stored_file() {
  Bytes data(100, 'x');
  return build_file({stored_entry(data)});
}

TEST(ResourceBounds, HugeTableCountIsNeverAllocated) {
  for (uint32_t first_offset : {0u, 100u, 275u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(first_offset);
    Bytes file = small_stored_file();
    set_be32(file, 280, first_offset);
    const Conversion c = convert_bytes(file);
    EXPECT_EQ(c.status, LS11_ERR_FORMAT);
    EXPECT_EQ(c.largest_array_allocation, 0u);
  }
}

TEST(ResourceBounds, PackedBufferNeverExceedsTheFile) {
  // A stored entry of 4 GiB - 1 whose size wraps the length rule's sum
  // back to the file: the conversion fails at that entry (its bytes are not
  // in the file), and no buffer larger than the file is asked for first.
  Bytes file = build_file({stored_entry(Bytes(5, 'h')), stored_entry({}), stored_entry({})});
  set_be32(file, 272 + 12, 0xFFFFFFFFu);
  set_be32(file, 272 + 16, 0xFFFFFFFFu);
  set_be32(file, 272 + 24, 1);
  set_be32(file, 272 + 28, 1);
  set_be32(file, 272 + 32, static_cast<uint32_t>(file.size() - 1));
  const Conversion c = convert_bytes(file);
  EXPECT_EQ(c.status, LS11_ERR_CORRUPT);
  EXPECT_EQ(c.output, Bytes(5, 'h'));
  EXPECT_GT(c.largest_array_allocation, 0u);
  EXPECT_LE(c.largest_array_allocation, file.size());
}

// A 300-byte file claims a block of 4 GiB - 1. The buffer for it may be
// asked for, but only the pages really written may become resident: here a
// literal and a run of 8 MiB, then a code that fails the block.
TEST(ResourceBounds, HugeUnpackedClaimTouchesOnlyWhatIsWritten) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer makes the shadow of every allocation resident";
#endif
  if (!reset_peak_resident()) GTEST_SKIP() << "the peak resident size cannot be reset here";
  BitWriter w;
  put_literal(w, 'z');
  put_match(w, 1, 8 * kMiB);
  put_value(w, 256);
  const Bytes file = build_file({compressed_entry(w, 0xFFFFFFFFu)});
  const size_t before = peak_resident_bytes();
  const Conversion c = convert_bytes(file);
  const size_t peak = peak_resident_bytes();
  EXPECT_EQ(c.status, LS11_ERR_CORRUPT);
  EXPECT_TRUE(c.output.empty());
  EXPECT_GT(peak, before);
  EXPECT_LT(peak - before, 8 * kMiB + 48 * kMiB);
}

}  // namespace

// encode_block then decode_block must give the data back.
//
// Input: one byte choosing the level (bit 0) and the dictionary (bits 1-2:
// identity, reversed, a permutation keyed by the second byte, or one that
// lacks every byte above 127, so that blocks holding such a byte must come
// out stored), one key byte, then the data. A block that comes out smaller
// must decode, with the fast decoder, its portable variant and the
// reference decoder, to the data; a block that does not must be the data
// unchanged. The same data also goes through the API's pack and replace
// (see check_api).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "codec/decode_block.h"
#include "codec/encode_block.h"
#include "fuzz_check.h"
#include "ls11.h"
#include "support/allocation_probe.h"
#include "support/api_read.h"
#include "support/reference_decoder.h"

using namespace ls11;

namespace {

constexpr size_t kDataStart = 2;
// Allocations refused one at a time, at most, in each API call.
constexpr size_t kMostAllocations = 256;
// Data up to this long has each of its allocations refused in turn; longer
// data (a pack takes far longer) has one refused, picked by the key, so
// that fuzzing keeps its pace.
constexpr size_t kEveryAllocationUpTo = 256;

void make_dictionary(uint8_t kind, uint8_t key, uint8_t dictionary[256]) {
  for (unsigned i = 0; i < 256; ++i) {
    switch (kind) {
      case 0: dictionary[i] = static_cast<uint8_t>(i); break;
      case 1: dictionary[i] = static_cast<uint8_t>(255 - i); break;
      case 2:
        dictionary[i] = static_cast<uint8_t>(i * 167 + key);
        break;  // odd factor: a permutation
      default: dictionary[i] = static_cast<uint8_t>(i & 0x7F); break;
    }
  }
}

// A file written by ls11_pack_to or ls11_replace_to, through a writer that
// refuses its `refuse_at`th piece (0: none).
struct Written {
  ls11_status status = LS11_OK;
  ls11_reason reason = {};
  Bytes file;
  size_t refuse_at = 0;
  size_t pieces = 0;
};

int collect(void* context, const void* data, size_t size) {
  Written& written = *static_cast<Written*>(context);
  if (++written.pieces == written.refuse_at) return 1;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  written.file.insert(written.file.end(), bytes, bytes + size);
  return 0;
}

struct Parts {
  const void* entries[2];
  size_t sizes[2];
  ls11_level level;
};

Written pack_parts(const Parts& parts, size_t refuse_at) {
  const ls11_pack_options options = {sizeof options, 11, parts.level, 1};
  Written written;
  written.refuse_at = refuse_at;
  written.status =
      ls11_pack_to(parts.entries, parts.sizes, 2, &options, collect, &written, &written.reason);
  return written;
}

// ls11_pack, which builds the file in memory.
Written pack_parts_in_memory(const Parts& parts) {
  const ls11_pack_options options = {sizeof options, 11, parts.level, 1};
  Written written;
  void* out = nullptr;
  size_t out_size = 0;
  written.status = ls11_pack(parts.entries, parts.sizes, 2, &options, &out, &out_size);
  const uint8_t* bytes = static_cast<const uint8_t*>(out);
  if (written.status == LS11_OK) written.file.assign(bytes, bytes + out_size);
  ls11_free(out);
  return written;
}

// `file` with its first entry replaced by the second part; no writer at all
// when `refuse_at` is kNoWriter.
constexpr size_t kNoWriter = SIZE_MAX;
Written replace_first(const Bytes& file, const Parts& parts, size_t refuse_at) {
  Written written;
  written.refuse_at = refuse_at;
  ls11_archive* archive = nullptr;
  written.status =
      ls11_open_memory_with_reason(file.data(), file.size(), &archive, &written.reason);
  if (written.status == LS11_OK) {
    const ls11_replacement replacement = {0, parts.entries[1], parts.sizes[1]};
    written.status =
        ls11_replace_to(archive, &replacement, 1, refuse_at == kNoWriter ? nullptr : collect,
                        &written, &written.reason);
  }
  ls11_close(archive);
  return written;
}

// The same through ls11_replace, which builds the file in memory.
Written replace_first_in_memory(const Bytes& file, const Parts& parts) {
  Written written;
  ls11_archive* archive = nullptr;
  written.status = ls11_open_memory(file.data(), file.size(), &archive);
  if (written.status == LS11_OK) {
    const ls11_replacement replacement = {0, parts.entries[1], parts.sizes[1]};
    void* out = nullptr;
    size_t out_size = 0;
    written.status = ls11_replace(archive, &replacement, 1, &out, &out_size);
    const uint8_t* bytes = static_cast<const uint8_t*>(out);
    if (written.status == LS11_OK) written.file.assign(bytes, bytes + out_size);
    ls11_free(out);
  }
  ls11_close(archive);
  return written;
}

// A run refused for want of memory, by the writer or for a missing writer
// must say so in its reason too.
bool refused_as(const Written& written, ls11_status status, int reason) {
  return written.status == status && written.reason.code == reason;
}

// What a file must read back as: its entries one after another.
void check_reads_as(const Written& written, const Bytes& expected, const char* what) {
  fuzz_check(written.status == LS11_OK, what);
  const ApiRead read = api_read_memory(written.file);
  fuzz_check(read.status == LS11_OK && read.output == expected, what);
}

// The data as two entries, split where the key says, through the public
// API: packed, then its first entry replaced by the second. Then again with
// each allocation refused in turn (one, for long data), in memory and
// through a writer, and with the writer
// refusing each piece in turn: every run ends in LS11_ERR_NO_MEMORY or
// LS11_ERR_WRITE, or gives a file that reads back as the first did.
void check_api(const uint8_t* data, size_t size, uint8_t key, ls11_level level) {
  const size_t split = size == 0 ? 0 : key % (size + 1);
  const Parts parts = {{data, data + split}, {split, size - split}, level};
  const Bytes whole(data, data + size);
  Bytes twice(data + split, data + size);
  twice.insert(twice.end(), data + split, data + size);
  const Written packed = pack_parts(parts, 0);
  check_reads_as(packed, whole, "ls11_pack_to gave a file that does not read back");
  check_reads_as(replace_first(packed.file, parts, 0), twice,
                 "ls11_replace_to gave a file that does not read back");
  check_reads_as(pack_parts_in_memory(parts), whole,
                 "ls11_pack gave a file that does not read back");
  fuzz_check(ls11_pack_to(parts.entries, parts.sizes, 2, nullptr, nullptr, nullptr, nullptr) ==
                     LS11_ERR_ARGUMENT &&
                 refused_as(replace_first(packed.file, parts, kNoWriter), LS11_ERR_ARGUMENT,
                            LS11_REASON_ARGUMENT),
             "a call took no writer");
  const bool every = size <= kEveryAllocationUpTo;
  for (size_t nth = every ? 1 : 1 + key % 32; nth <= kMostAllocations; ++nth) {
    fail_nothrow_allocation(nth);
    const Written starved_pack = pack_parts(parts, 0);
    const Written starved_replace = replace_first(packed.file, parts, 0);
    const bool refused = nothrow_allocation_failed();
    fail_nothrow_allocation(nth);
    const Written starved_memory = pack_parts_in_memory(parts);
    fail_nothrow_allocation(nth);
    const Written starved_replace_memory = replace_first_in_memory(packed.file, parts);
    fail_nothrow_allocation(0);
    if (starved_memory.status != LS11_ERR_NO_MEMORY) {
      check_reads_as(starved_memory, whole,
                     "a refused allocation in ls11_pack gave another failure");
    }
    if (starved_replace_memory.status != LS11_ERR_NO_MEMORY) {
      check_reads_as(starved_replace_memory, twice,
                     "a refused allocation in ls11_replace gave another failure");
    }
    if (!refused_as(starved_pack, LS11_ERR_NO_MEMORY, LS11_REASON_NO_MEMORY)) {
      check_reads_as(starved_pack, whole,
                     "a refused allocation in ls11_pack_to gave another failure");
    }
    if (!refused_as(starved_replace, LS11_ERR_NO_MEMORY, LS11_REASON_NO_MEMORY)) {
      check_reads_as(starved_replace, twice,
                     "a refused allocation in ls11_replace_to gave another failure");
    }
    if (!refused || !every) break;
  }
  for (size_t piece = 1;; ++piece) {
    const Written refused_pack = pack_parts(parts, piece);
    const Written refused_replace = replace_first(packed.file, parts, piece);
    fuzz_check(piece <= refused_pack.pieces
                   ? refused_as(refused_pack, LS11_ERR_WRITE, LS11_REASON_WRITE_REFUSED)
                   : refused_pack.status == LS11_OK,
               "a refused write in ls11_pack_to was not reported as LS11_ERR_WRITE");
    fuzz_check(piece <= refused_replace.pieces
                   ? refused_as(refused_replace, LS11_ERR_WRITE, LS11_REASON_WRITE_REFUSED)
                   : refused_replace.status == LS11_OK,
               "a refused write in ls11_replace_to was not reported as LS11_ERR_WRITE");
    if (refused_pack.status == LS11_OK && refused_replace.status == LS11_OK) break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kDataStart) return 0;
  const ls11_level level = (data[0] & 1) ? LS11_LEVEL_BEST : LS11_LEVEL_FAST;
  const uint8_t kind = static_cast<uint8_t>((data[0] >> 1) & 3);
  uint8_t dictionary[256];
  make_dictionary(kind, data[1], dictionary);
  const uint8_t* block = data + kDataStart;
  const uint32_t block_size = static_cast<uint32_t>(size - kDataStart);
  check_api(block, block_size, data[1], level);

  std::unique_ptr<uint8_t[]> packed(new uint8_t[block_size]);
  uint32_t packed_size = 0;
  fuzz_check(encode_block(block, block_size, dictionary, level, packed.get(), packed_size),
             "encode_block failed on a small block");
  fuzz_check(packed_size <= block_size, "encode_block grew the block");
  const bool byte_missing =
      kind == 3 && std::any_of(block, block + block_size, [](uint8_t b) { return b > 127; });
  fuzz_check(!byte_missing || packed_size == block_size,
             "a block compressed with bytes the dictionary lacks");
  if (packed_size == block_size) {
    fuzz_check(std::memcmp(packed.get(), block, block_size) == 0,
               "a stored block differs from its data");
    return 0;
  }
  // An exact-size copy, so that a read past the packed bytes is caught.
  std::unique_ptr<uint8_t[]> exact(new uint8_t[packed_size]);
  std::memcpy(exact.get(), packed.get(), packed_size);
  std::unique_ptr<uint8_t[]> decoded(new uint8_t[block_size]);
  fuzz_check(decode_block(exact.get(), packed_size, dictionary, decoded.get(), block_size),
             "an encoded block does not decode");
  fuzz_check(std::memcmp(decoded.get(), block, block_size) == 0,
             "an encoded block decodes to other bytes");
  fuzz_check(decode_block_portable(exact.get(), packed_size, dictionary, decoded.get(),
                                   block_size) &&
                 std::memcmp(decoded.get(), block, block_size) == 0,
             "the portable decoder fails on an encoded block");
  fuzz_check(reference_decode_block(exact.get(), packed_size, dictionary, decoded.get(),
                                    block_size) &&
                 std::memcmp(decoded.get(), block, block_size) == 0,
             "the reference decoder disagrees on an encoded block");
  return 0;
}

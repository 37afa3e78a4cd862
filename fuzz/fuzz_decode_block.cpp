// decode_block, and its portable variant, against the bit-at-a-time
// reference decoder.
//
// Input: two bytes giving the unpacked size (little-endian, the low 13 bits,
// so a run stays fast), the 256-byte dictionary, then the packed bytes up to
// the end of the input. The three must give the same success flag and,
// on success, the same bytes. Each writes into a heap buffer of exactly the
// unpacked size, and the packed bytes end where the input's buffer ends, so
// the sanitizers see any access outside either.
#include <cstring>
#include <memory>

#include "codec/decode_block.h"
#include "fuzz_check.h"
#include "support/reference_decoder.h"

using namespace ls11;

namespace {

constexpr uint32_t kUnpackedSizeMask = (1u << 13) - 1;
constexpr size_t kPackedStart = 2 + 256;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kPackedStart) return 0;
  const uint32_t unpacked_size = (uint32_t{data[0]} | uint32_t{data[1]} << 8) & kUnpackedSizeMask;
  const uint8_t* dictionary = data + 2;
  const uint8_t* packed = data + kPackedStart;
  const uint32_t packed_size = static_cast<uint32_t>(size - kPackedStart);

  std::unique_ptr<uint8_t[]> fast(new uint8_t[unpacked_size]);
  std::unique_ptr<uint8_t[]> reference(new uint8_t[unpacked_size]);
  const bool fast_ok = decode_block(packed, packed_size, dictionary, fast.get(), unpacked_size);
  const bool reference_ok =
      reference_decode_block(packed, packed_size, dictionary, reference.get(), unpacked_size);
  fuzz_check(fast_ok == reference_ok, "decode_block and the reference decoder disagree on success");
  if (fast_ok) {
    fuzz_check(std::memcmp(fast.get(), reference.get(), unpacked_size) == 0,
               "decode_block and the reference decoder decode different bytes");
  }
  // The variant for processors without BMI2, whatever this one has.
  const bool portable_ok =
      decode_block_portable(packed, packed_size, dictionary, fast.get(), unpacked_size);
  fuzz_check(portable_ok == reference_ok,
             "the portable decoder and the reference decoder disagree on success");
  if (portable_ok) {
    fuzz_check(std::memcmp(fast.get(), reference.get(), unpacked_size) == 0,
               "the portable decoder and the reference decoder decode different bytes");
  }
  return 0;
}

#include "container/convert.h"

#include <cstring>
#include <memory>
#include <new>

#include "codec/decode_block.h"
#include "container/file_io.h"
#include "container/status.h"

namespace {

// Stream buffers: large enough that a file of many small entries does not
// turn into many small system calls, small beside the block buffers (blocks
// larger than a buffer go straight between it and the file).
constexpr size_t kInputBufferSize = size_t{1} << 16;
constexpr size_t kOutputBufferSize = size_t{1} << 18;

// Entries parsed per read of the table.
constexpr uint32_t kTableBatch = 512;

bool fail(int status) {
  g_status = status;
  return false;
}

uint32_t read_be32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

bool read_exact(std::FILE* file, void* buffer, size_t size) {
  return std::fread(buffer, 1, size, file) == size;
}

bool write_exact(std::FILE* file, const void* buffer, size_t size) {
  return size == 0 || std::fwrite(buffer, 1, size, file) == size;
}

std::unique_ptr<uint8_t[]> allocate_bytes(uint32_t size) {
  return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[size]);
}

}  // namespace

int detect_version(std::FILE* input) {
  uint64_t start = 0;
  uint8_t header[kHeaderSize];
  if (!stream_position(input, start) || !read_exact(input, header, kHeaderSize)) return 0;
  if (std::memcmp(header, "LS1", 3) != 0) return 0;
  if (header[3] < '0' || header[3] > '2') return 0;
  for (uint32_t i = 4; i < kHeaderSize; ++i) {
    if (header[i] != 0) return 0;
  }
  if (!seek_to(input, start)) return 0;
  return 10 + (header[3] - '0');
}

namespace {

// The conversion of a stream whose length is known. Every byte of the file
// is read once, in order, when the blocks lie in table order: the table
// straight after the dictionary, then each block where the previous one
// ended, with no seek that would throw the stream's buffer away.
bool convert_with_length(std::FILE* input, std::FILE* output, uint64_t length) {
  // A recognised file too short for the dictionary and entry 0 is refused
  // like any other file whose layout does not add up.
  uint8_t dictionary[256];
  uint8_t entry0[kEntrySize];
  if (!seek_to(input, kDictionaryOffset) || !read_exact(input, dictionary, sizeof dictionary) ||
      !read_exact(input, entry0, sizeof entry0)) {
    return fail(STATUS_UNSUPPORTED);
  }
  const uint32_t count = (read_be32(entry0 + 8) - (kTableOffset + kClosingWordSize)) / kEntrySize;

  // The table must lie inside the file before it is allocated: a damaged
  // first offset (anything below 276 wraps the count to ~357 million) must
  // not cost gigabytes of memory.
  if (kTableOffset + kClosingWordSize + uint64_t{kEntrySize} * count > length) {
    return fail(STATUS_UNSUPPORTED);
  }

  // The entry table: all packed sizes, then all unpacked sizes, then all
  // offsets, in one allocation.
  std::unique_ptr<uint32_t[]> table(new (std::nothrow) uint32_t[size_t{3} * count]);
  if (!table) return fail(STATUS_NO_MEMORY);
  uint32_t* const packed_sizes = table.get();
  uint32_t* const unpacked_sizes = packed_sizes + count;
  uint32_t* const data_offsets = unpacked_sizes + count;

  uint32_t packed_sum = 0;  // wraps, as the length rule is taken modulo 2^32
  uint32_t max_packed = 0;
  uint32_t max_decoded = 0;  // largest unpacked size of a compressed block
  if (!seek_to(input, kTableOffset)) return fail(STATUS_UNSUPPORTED);
  for (uint32_t first = 0; first < count; first += kTableBatch) {
    uint8_t raw[kTableBatch * kEntrySize];
    const uint32_t batch = count - first < kTableBatch ? count - first : kTableBatch;
    if (!read_exact(input, raw, size_t{batch} * kEntrySize)) return fail(STATUS_UNSUPPORTED);
    for (uint32_t i = 0; i < batch; ++i) {
      const uint8_t* entry = raw + size_t{i} * kEntrySize;
      const uint32_t packed = read_be32(entry);
      const uint32_t unpacked = read_be32(entry + 4);
      packed_sizes[first + i] = packed;
      unpacked_sizes[first + i] = unpacked;
      data_offsets[first + i] = read_be32(entry + 8);
      packed_sum += packed;
      if (packed > max_packed) max_packed = packed;
      if (packed != unpacked && unpacked > max_decoded) max_decoded = unpacked;
    }
  }

  // Length rule: the blocks fill the file after the table exactly, in
  // 32-bit wrap-around arithmetic.
  if (static_cast<uint32_t>(length) - kEntrySize * count !=
      kTableOffset + kClosingWordSize + packed_sum) {
    return fail(STATUS_UNSUPPORTED);
  }

  // Stored blocks are written straight from the packed buffer, so the
  // output buffer only has to hold the largest compressed block's output.
  // A block larger than the file fails before it is read, so the packed
  // buffer never needs more than the file's length: packed sizes that wrap
  // the length rule's sum can claim up to 4 GiB in a file of a few hundred
  // bytes.
  if (max_packed > length) max_packed = static_cast<uint32_t>(length);
  std::unique_ptr<uint8_t[]> packed_buffer = allocate_bytes(max_packed);
  if (!packed_buffer) return fail(STATUS_NO_MEMORY);
  std::unique_ptr<uint8_t[]> output_buffer = allocate_bytes(max_decoded);
  if (!output_buffer) return fail(STATUS_NO_MEMORY);

  uint64_t position = kTableOffset + uint64_t{kEntrySize} * count;
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t packed = packed_sizes[i];
    const uint32_t unpacked = unpacked_sizes[i];
    if (uint64_t{data_offsets[i]} + packed > length ||
        (data_offsets[i] != position && !seek_to(input, data_offsets[i])) ||
        !read_exact(input, packed_buffer.get(), packed)) {
      return fail(STATUS_DECODE_FAILED);
    }
    position = uint64_t{data_offsets[i]} + packed;
    const uint8_t* block = packed_buffer.get();
    if (packed != unpacked) {
      if (!decode_block(block, packed, dictionary, output_buffer.get(), unpacked)) {
        return fail(STATUS_DECODE_FAILED);
      }
      block = output_buffer.get();
    }
    if (!write_exact(output, block, unpacked)) return fail(STATUS_CREATE_OUTPUT);
  }
  return true;
}

}  // namespace

bool convert_stream(std::FILE* input, std::FILE* output) {
  uint64_t length = 0;
  if (!stream_length(input, length)) return fail(STATUS_UNSUPPORTED);
  return convert_with_length(input, output, length);
}

bool convert_file(const char* input_path, const char* output_path) {
  // The stream buffers are given to setvbuf before any other operation on a
  // stream, the only time it may be called (glibc also ignores a size
  // without a buffer of our own). They are static: the conversion runs on
  // one thread, one file at a time, and the streams using them are closed
  // before this function returns; their pages cost memory only once used.
  static char input_buffer[kInputBufferSize];
  static char output_buffer[kOutputBufferSize];
  FilePtr input = make_file_ptr(open_input_file(input_path));
  if (!input) return fail(STATUS_OPEN_INPUT);
  std::setvbuf(input.get(), input_buffer, _IOFBF, kInputBufferSize);
  // The length is taken before anything is read, so that no buffered bytes
  // are thrown away by the seek to the end and read again.
  uint64_t length = 0;
  if (!stream_length(input.get(), length) || !seek_to(input.get(), 0)) return fail(STATUS_UNSUPPORTED);
  if (detect_version(input.get()) == 0) return fail(STATUS_UNSUPPORTED);
  FilePtr output = make_file_ptr(open_output_file(output_path));
  if (!output) return fail(STATUS_CREATE_OUTPUT);
  std::setvbuf(output.get(), output_buffer, _IOFBF, kOutputBufferSize);

  if (!convert_with_length(input.get(), output.get(), length)) return false;
  // Buffered writes reach the disk only here: a full disk shows up as a
  // failed close, not as a successful conversion.
  if (std::fclose(output.release()) != 0) return fail(STATUS_CREATE_OUTPUT);
  return true;
}

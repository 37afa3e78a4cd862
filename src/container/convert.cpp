#include "container/convert.h"

#include "container/file_io.h"
#include "container/status.h"

namespace {

// Stream buffers: large enough that a file of many small entries does not
// turn into many small system calls, small beside the block buffers (blocks
// larger than a buffer go straight between it and the file).
constexpr size_t kInputBufferSize = size_t{1} << 16;
constexpr size_t kOutputBufferSize = size_t{1} << 18;

// The conversion of a stream whose header is recognised and whose length is
// known. Every byte of the file is read once, in order, when the blocks lie
// in table order: the table straight after the dictionary, then each block
// where the previous one ended. Each block is written as soon as it is
// decoded, so memory stays bounded by the largest block.
bool convert_with_length(std::FILE* input, std::FILE* output, uint64_t length, int version) {
  Container container;
  if (!read_table(input, length, version, container)) return false;
  EntryBuffers buffers;
  if (!allocate_entry_buffers(container, buffers)) return false;
  for (uint32_t i = 0; i < container.count; ++i) {
    const uint8_t* data = nullptr;
    if (!read_entry(input, container, i, buffers, data)) return false;
    if (!write_exact(output, data, container.entries[i].unpacked_size)) return fail(STATUS_CREATE_OUTPUT);
  }
  return true;
}

}  // namespace

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
  const int version = detect_version(input.get());
  if (version == 0) return fail(STATUS_UNSUPPORTED);
  FilePtr output = make_file_ptr(open_output_file(output_path));
  if (!output) return fail(STATUS_CREATE_OUTPUT);
  std::setvbuf(output.get(), output_buffer, _IOFBF, kOutputBufferSize);

  if (!convert_with_length(input.get(), output.get(), length, version)) return false;
  // Buffered writes reach the disk only here: a full disk shows up as a
  // failed close, not as a successful conversion.
  if (std::fclose(output.release()) != 0) return fail(STATUS_CREATE_OUTPUT);
  return true;
}

#include "unls11/convert.h"

#include <cstdlib>
#include <memory>

#include "container/read_container.h"
#include "io/file_io.h"

namespace ls11 {

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
Status convert_with_length(std::FILE* input, std::FILE* output, uint64_t length, int version) {
  Container container;
  Status status = read_table(input, length, version, container);
  EntryBuffers buffers;
  if (status == STATUS_OK) status = allocate_entry_buffers(container, buffers);
  const BlockSource source{input, nullptr, &buffers};
  for (uint32_t i = 0; i < container.count && status == STATUS_OK; ++i) {
    const uint8_t* data = nullptr;
    status = read_entry(source, container, i, data);
    if (status == STATUS_OK && !write_exact(output, data, container.entries[i].unpacked_size)) {
      status = STATUS_CREATE_OUTPUT;
    }
  }
  return status;
}

// A stream buffer, taken from malloc as the C library's own are: the
// buffers the conversion sizes from the table are the ones that count.
struct FreeBuffer {
  void operator()(char* buffer) const { std::free(buffer); }
};
using StreamBuffer = std::unique_ptr<char, FreeBuffer>;

// Gives a stream a buffer of its own before any other operation on it (the
// only time setvbuf may be called; glibc also ignores a size without a
// buffer). Without memory for one the stream keeps its default buffer.
StreamBuffer set_stream_buffer(std::FILE* file, size_t size) {
  StreamBuffer buffer(static_cast<char*>(std::malloc(size)));
  if (buffer) std::setvbuf(file, buffer.get(), _IOFBF, size);
  return buffer;
}

}  // namespace

Status convert_to_file(const char* input_path, const char* output_path) {
  // Declared before the streams, so they outlive them.
  StreamBuffer input_buffer, output_buffer;
  FilePtr input = make_file_ptr(open_input_file(input_path));
  if (!input) return STATUS_OPEN_INPUT;
  input_buffer = set_stream_buffer(input.get(), kInputBufferSize);
  // The length is taken before anything is read, so that no buffered bytes
  // are thrown away by the seek to the end and read again.
  uint64_t length = 0;
  if (!stream_length(input.get(), length) || !seek_to(input.get(), 0)) return STATUS_UNSUPPORTED;
  const int version = detect_version(input.get());
  if (version == 0) return STATUS_UNSUPPORTED;
  FilePtr output = make_file_ptr(open_output_file(output_path));
  if (!output) return STATUS_CREATE_OUTPUT;
  output_buffer = set_stream_buffer(output.get(), kOutputBufferSize);

  const Status status = convert_with_length(input.get(), output.get(), length, version);
  if (status != STATUS_OK) return status;
  // Buffered writes reach the disk only here: a full disk shows up as a
  // failed close, not as a successful conversion.
  if (std::fclose(output.release()) != 0) return STATUS_CREATE_OUTPUT;
  return STATUS_OK;
}

}  // namespace ls11

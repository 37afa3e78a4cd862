#include "unls11/convert.h"

#include <cstdlib>
#include <memory>

#include "platform/file_io.h"
#include "unls11/library_internals.h"

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
ls11_status convert_with_length(std::FILE* input, std::FILE* output, uint64_t length, int format) {
  Container container;
  ls11_status status = read_table(input, length, format, container);
  EntryBuffers buffers;
  if (status == LS11_OK) status = allocate_entry_buffers(container, buffers);
  const BlockSource source{input, nullptr, &buffers};
  for (uint32_t i = 0; i < container.count && status == LS11_OK; ++i) {
    const uint8_t* data = nullptr;
    status = read_entry(source, container, i, data);
    if (status == LS11_OK &&
        !platform::write_exact(output, data, container.entries[i].unpacked_size)) {
      status = LS11_ERR_WRITE;
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

ls11_status convert_to_file(const char* input_path, const char* output_path) {
  // Declared before the streams, so they outlive them.
  StreamBuffer input_buffer, output_buffer;
  platform::FilePtr input = platform::make_file_ptr(platform::open_input_file(input_path));
  if (!input) return LS11_ERR_OPEN;
  input_buffer = set_stream_buffer(input.get(), kInputBufferSize);
  // The length is taken before anything is read, so that no buffered bytes
  // are thrown away by the seek to the end and read again.
  uint64_t length = 0;
  if (!platform::stream_length(input.get(), length) || !platform::seek_to(input.get(), 0))
    return LS11_ERR_FORMAT;
  const int format = detect_format(input.get());
  if (format == 0) return LS11_ERR_FORMAT;
  platform::FilePtr output = platform::make_file_ptr(platform::open_output_file(output_path));
  if (!output) return LS11_ERR_WRITE;
  output_buffer = set_stream_buffer(output.get(), kOutputBufferSize);

  const ls11_status status = convert_with_length(input.get(), output.get(), length, format);
  if (status != LS11_OK) return status;
  // Buffered writes reach the disk only here: a full disk shows up as a
  // failed close, not as a successful conversion.
  if (std::fclose(output.release()) != 0) return LS11_ERR_WRITE;
  return LS11_OK;
}

}  // namespace ls11

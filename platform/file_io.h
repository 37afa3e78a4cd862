// The file operations the library and the tools share, the same on POSIX
// and Windows: paths are UTF-8, streams are binary, offsets are 64-bit. In
// a namespace of its own, as the library linked statically into another
// program must not take that program's names.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace ls11::platform {

// Closes on every path; a close whose result matters (an output file) is
// done by hand with fclose(ptr.release()).
inline void close_file(std::FILE* file) { std::fclose(file); }
using FilePtr = std::unique_ptr<std::FILE, void (*)(std::FILE*)>;
inline FilePtr make_file_ptr(std::FILE* file) { return FilePtr(file, close_file); }

// Opens a file for binary reading. Directories are refused (POSIX lets them
// be opened), and so is anything that would block the open itself.
std::FILE* open_input_file(const char* path);

// Opens a file for binary writing, creating it or truncating it to 0 bytes.
std::FILE* open_output_file(const char* path);

// Whole reads and writes: true only when every byte was transferred (a size
// of 0 always succeeds).
bool read_exact(std::FILE* file, void* buffer, size_t size);
bool write_exact(std::FILE* file, const void* buffer, size_t size);

bool seek_to(std::FILE* file, uint64_t offset);
bool stream_position(std::FILE* file, uint64_t& position);

// Length of an open file, from a seek to its end; false when it has none.
bool stream_length(std::FILE* file, uint64_t& length);

// The length of an open regular file from the system's record of it; false
// for anything else (a pipe, a device). Some regular files (those under
// /proc) are recorded as empty whatever they hold, so this is a hint:
// reading to the end is what counts.
bool recorded_length(std::FILE* file, uint64_t& length);

// The length of the regular file at `path`; false for anything else, or
// when it cannot be told. Opens nothing, so a FIFO is left to its reader.
bool regular_file_length(const char* path, uint64_t& length);

// How reading a stream to its end went.
enum class WholeRead { ok, failed, too_long, no_memory };

// Reads a stream that cannot be sought (a pipe, a FIFO, a device) to its
// end into `bytes`, `size` of them, holding at most `limit`: too_long as
// soon as there are more. failed leaves errno as the failing read set it.
WholeRead read_whole_stream(std::FILE* file, uint64_t limit, std::unique_ptr<uint8_t[]>& bytes,
                            uint64_t& size);

// Makes reads wait for data again on an input opened by open_input_file,
// so that a pipe is read to its end; a FIFO is first waited on until its
// writer sends something. Nothing to do on Windows.
void wait_for_data(std::FILE* file);

#ifdef _WIN32
std::wstring utf8_to_wide(const char* text);
std::string wide_to_utf8(const wchar_t* text);
#endif

}  // namespace ls11::platform

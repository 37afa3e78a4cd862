// The tools' own file operations, the same on POSIX and Windows: paths are
// UTF-8, streams are binary. The library keeps its file code to itself, so
// the tools have theirs here, in a namespace of its own: linked statically
// beside the library, no name of one may be taken by the other.
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

// Opens a file for binary reading. Folders are refused (POSIX lets them be
// opened), and so is anything that would block the open itself.
std::FILE* open_input_file(const char* path);

// Opens a file for binary writing, creating it or truncating it to 0 bytes.
std::FILE* open_output_file(const char* path);

// Whole reads and writes: true only when every byte was transferred (a size
// of 0 always succeeds).
bool read_exact(std::FILE* file, void* buffer, size_t size);
bool write_exact(std::FILE* file, const void* buffer, size_t size);

// The length of an open regular file from the system's record of it; false
// for anything else (a pipe, a device). Some regular files (those under
// /proc) are recorded as empty whatever they hold, so this is a hint:
// reading to the end is what counts.
bool recorded_length(std::FILE* file, uint64_t& length);

// The length of the regular file at `path`; false for anything else, or
// when it cannot be told. Opens nothing, so a FIFO is left to its reader.
bool regular_file_length(const char* path, uint64_t& length);

// Makes reads wait for data again on an input opened by open_input_file,
// so that a pipe is read to its end; a FIFO is first waited on until its
// writer sends something. Nothing to do on Windows.
void wait_for_data(std::FILE* file);

#ifdef _WIN32
std::wstring utf8_to_wide(const char* text);
std::string wide_to_utf8(const wchar_t* text);
#endif

}  // namespace ls11::platform

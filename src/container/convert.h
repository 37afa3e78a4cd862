// The LS11 container: recognising a file and converting it into its decoded
// file, the bytes of every block in table order.
//
// Layout (numbers are unsigned 32-bit big-endian):
//   0    "LS1" and a version character '0', '1' or '2', then 12 zero bytes
//   16   dictionary: the byte for each literal code 0..255
//   272  entry table: packed_size, unpacked_size, data_offset per entry
//   ...  a closing word of 4 bytes, then the blocks
// The table has no stored count: it runs up to the closing word just before
// entry 0's block, so count = (data_offset of entry 0 - 276) / 12.
#pragma once

#include <cstdint>
#include <cstdio>

constexpr uint32_t kHeaderSize = 16;
constexpr uint32_t kDictionaryOffset = 16;
constexpr uint32_t kTableOffset = 272;
constexpr uint32_t kEntrySize = 12;
constexpr uint32_t kClosingWordSize = 4;

// Reads the 16-byte header at the stream's position: 10, 11 or 12 for a
// recognised file (the stream is then put back where it was), 0 otherwise.
int detect_version(std::FILE* input);

// Converts the file at input_path into output_path. Returns true exactly when
// it leaves g_status untouched (STATUS_OK); otherwise g_status holds the
// reason. The output is created only once the header is recognised, and is
// never removed: after a failure it holds the blocks written before it.
bool convert_file(const char* input_path, const char* output_path);

// The conversion after the header is recognised: reads the dictionary and
// the table from `input` and writes the decoded blocks to `output`, which is
// left open. Same result convention as convert_file.
bool convert_stream(std::FILE* input, std::FILE* output);

// Builders for test data: packed bit streams code by code, and whole LS11
// files from their parts, including damaged ones.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Packs codes most significant bit first.
struct BitWriter {
  Bytes bytes;
  uint64_t bit_count = 0;
};

void put_bits(BitWriter& w, uint64_t bits, unsigned count);
// Puts `value` in the variable-length code (2n bits).
void put_value(BitWriter& w, uint32_t value);
// A literal is its dictionary index; a back-reference is 256 + distance
// followed by length - 3.
void put_literal(BitWriter& w, uint8_t index);
void put_match(BitWriter& w, uint32_t distance, uint32_t length);

// A test's description of one entry: the bytes stored in the file and the
// sizes written into the table. `data_offset` is filled in by build_file
// unless `fixed_offset` is set.
struct TestEntry {
  Bytes packed;
  uint32_t unpacked_size = 0;
  bool fixed_offset = false;
  uint32_t data_offset = 0;
};

Bytes identity_dictionary();

// A stored entry (packed == unpacked) holding `data`.
TestEntry stored_entry(const Bytes& data);
// A compressed entry from a bit stream and the size it decodes to. When the
// stream happens to be as long as its output, a spare byte is appended (it
// is never read) so that the entry is not taken as stored.
TestEntry compressed_entry(const BitWriter& w, uint32_t unpacked_size);

// Header ("LS1" + version digit + 12 zeros), dictionary, table, closing word,
// blocks in table order.
Bytes build_file(const std::vector<TestEntry>& entries, char version_digit = '1',
                 const Bytes& dictionary = identity_dictionary());

void put_be32(Bytes& out, uint32_t value);
uint32_t read_be32(const Bytes& in, size_t offset);
void set_be32(Bytes& out, size_t offset, uint32_t value);

// The blocks of a well-formed file, as its table gives them.
struct FileBlock {
  Bytes packed;
  uint32_t unpacked_size;
};
std::vector<FileBlock> file_blocks(const Bytes& file);

Bytes read_file_bytes(const std::string& path);
bool write_file_bytes(const std::string& path, const Bytes& bytes);

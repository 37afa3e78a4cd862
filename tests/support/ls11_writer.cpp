#include "support/ls11_writer.h"

#include <fstream>
#include <iterator>

#include "support/utf8_path.h"

void put_bits(BitWriter& w, uint64_t bits, unsigned count) {
  for (unsigned i = count; i-- > 0;) {
    if (w.bit_count % 8 == 0) w.bytes.push_back(0);
    if ((bits >> i) & 1u) w.bytes.back() |= static_cast<uint8_t>(0x80u >> (w.bit_count % 8));
    ++w.bit_count;
  }
}

void put_value(BitWriter& w, uint32_t value) {
  const uint64_t biased = uint64_t{value} + 2;
  unsigned n = 0;
  while ((biased >> (n + 1)) != 0) ++n;    // n = floor(log2(value + 2))
  put_bits(w, (uint64_t{1} << n) - 2, n);  // n - 1 one-bits, then a zero
  put_bits(w, biased - (uint64_t{1} << n), n);
}

void put_literal(BitWriter& w, uint8_t index) { put_value(w, index); }

void put_match(BitWriter& w, uint32_t distance, uint32_t length) {
  put_value(w, 256 + distance);
  put_value(w, length - 3);
}

Bytes identity_dictionary() {
  Bytes d(256);
  for (int i = 0; i < 256; ++i) d[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  return d;
}

TestEntry stored_entry(const Bytes& data) {
  TestEntry e;
  e.packed = data;
  e.unpacked_size = static_cast<uint32_t>(data.size());
  return e;
}

TestEntry compressed_entry(const BitWriter& w, uint32_t unpacked_size) {
  TestEntry e;
  e.packed = w.bytes;
  e.unpacked_size = unpacked_size;
  if (e.packed.size() == unpacked_size) e.packed.push_back(0);
  return e;
}

void put_be32(Bytes& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void set_be32(Bytes& out, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    out[offset + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

Bytes build_file(const std::vector<TestEntry>& entries, char version_digit,
                 const Bytes& dictionary) {
  size_t total = 276 + 12 * entries.size() + dictionary.size() - 256;
  for (const TestEntry& e : entries) total += e.packed.size();
  Bytes file(16, 0);
  file.reserve(total);
  file[0] = 'L';
  file[1] = 'S';
  file[2] = '1';
  file[3] = static_cast<uint8_t>(version_digit);
  file.insert(file.end(), dictionary.begin(), dictionary.end());
  uint32_t offset = static_cast<uint32_t>(276 + 12 * entries.size());
  for (const TestEntry& e : entries) {
    put_be32(file, static_cast<uint32_t>(e.packed.size()));
    put_be32(file, e.unpacked_size);
    put_be32(file, e.fixed_offset ? e.data_offset : offset);
    offset += static_cast<uint32_t>(e.packed.size());
  }
  put_be32(file, 0);
  for (const TestEntry& e : entries) file.insert(file.end(), e.packed.begin(), e.packed.end());
  return file;
}

uint32_t read_be32(const Bytes& in, size_t offset) {
  return uint32_t{in[offset]} << 24 | uint32_t{in[offset + 1]} << 16 |
         uint32_t{in[offset + 2]} << 8 | in[offset + 3];
}

std::vector<FileBlock> file_blocks(const Bytes& file) {
  std::vector<FileBlock> blocks;
  const uint32_t count = (read_be32(file, 280) - 276) / 12;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t at = 272 + size_t{12} * i;
    const auto start = file.begin() + read_be32(file, at + 8);
    blocks.push_back(FileBlock{Bytes(start, start + read_be32(file, at)), read_be32(file, at + 4)});
  }
  return blocks;
}

Bytes read_file_bytes(const std::string& path) {
  std::ifstream in(utf8_path(path), std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool write_file_bytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(utf8_path(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

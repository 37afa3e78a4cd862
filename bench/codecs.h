// The general-purpose codecs the LS11 decoder is measured against, behind one
// shape: compress a block into a byte vector, decompress it into a buffer of
// exactly its original size. Deflate is used raw (no zlib or gzip wrapper) so
// that neither deflate decoder pays for a checksum the LS11 format does not
// have.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct Codec {
  const char* name;
  int level;
  bool (*compress)(const Bytes& in, int level, Bytes& out);
  // Returns true only when exactly out_size bytes were produced.
  bool (*decompress)(const Bytes& in, uint8_t* out, size_t out_size);
};

// Codecs at the levels the decode table uses.
extern const Codec kZlib6;
extern const Codec kLibdeflate6;
extern const Codec kLz4;
extern const Codec kZstd3;
// The same codecs at their strongest common levels, for the size table.
extern const Codec kZlib9;
extern const Codec kLibdeflate12;

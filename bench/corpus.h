// The benchmark corpus: the files bench/build_corpus.py gathered, cut into
// blocks two ways, and the LS11 archives made from them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codecs.h"

// The three kinds of data and the two ways of cutting them into blocks:
// "entries" of 4 to 64 KiB, as game archives hold them, and whole "files".
extern const char* const kKinds[3];
extern const char* const kSplits[2];

// Reads every file of DIR/KIND in name order; false when there are none.
bool load_kind(const std::string& corpus_dir, const std::string& kind, std::vector<Bytes>& files);

// Cuts the files into blocks for `split`: "files" keeps each file whole,
// "entries" cuts their concatenation into pieces of 4 to 64 KiB, the same
// pieces on every run.
std::vector<Bytes> split_blocks(const std::vector<Bytes>& files, const std::string& split);

// An LS11 file in memory: the dictionary and each entry's packed bytes and
// unpacked size. A block is stored when the two sizes are equal.
struct Archive {
  Bytes dictionary = Bytes(256);
  std::vector<Bytes> packed;
  std::vector<uint32_t> unpacked_sizes;
};

std::string archive_path(const std::string& corpus_dir, const std::string& kind,
                         const std::string& split);
bool write_archive(const std::string& path, const Archive& archive);
bool read_archive(const std::string& path, Archive& archive);

// Restores every block of the archive with the reference decoder, so that
// the other codecs get exactly the bytes the LS11 decoder produces.
bool unpack_archive(const Archive& archive, std::vector<Bytes>& blocks);

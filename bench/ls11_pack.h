// Makes the benchmark's LS11 archives with the project's encoder: one
// dictionary built for all blocks, each block packed at the given level, or
// stored when packing would not shrink it.
#pragma once

#include <vector>

#include "corpus.h"

enum class PackLevel { fast, best };

// `threads` as pack_blocks takes it: 0 for one per core.
bool pack_archive(const std::vector<Bytes>& blocks, PackLevel level, unsigned threads,
                  Archive& archive);

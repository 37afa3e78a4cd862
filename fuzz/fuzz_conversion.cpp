// The whole conversion, convert_file on a temporary file holding the input,
// against a plain model of what the conversion must do:
//   - an unrecognised header: status 3 and no output file;
//   - a recognised one: an output file, empty after a status 3 (too short
//     for entry 0, a table past the end of the file, the length rule);
//   - otherwise the blocks in table order, each copied (stored) or decoded
//     by the reference decoder (compressed), up to the first block whose
//     bytes are not all in the file or that does not decode: status 4 with
//     the blocks before it, or status 0 with all of them.
// Success must come exactly with status 0, and then the output's length is
// the sum of the unpacked sizes. No buffer may be larger than the file plus
// the output its table claims. Inputs whose table promises more than
// kMaxOutput bytes are skipped so that every run stays fast; the tests cover
// huge claims. The same bytes are then read through the public API
// (ls11_open_memory, then ls11_read_entry for each entry in order), which
// must agree: the open fails exactly on a status 3, and the reads give the
// conversion's status and bytes, within the same bound on buffers; read
// from the file's path (ls11_open) they give the same again. Then each
// allocation of those reads is refused in turn: a read must end in
// LS11_ERR_NO_MEMORY, or as before.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "ls11.h"
#include "support/allocation_probe.h"
#include "support/api_read.h"
#include "support/reference_decoder.h"
#include "support/run_tool.h"
#include "unls11/convert_file.h"

using namespace ls11;

namespace {

constexpr uint64_t kMaxOutput = uint64_t{1} << 20;
// Allocations refused one at a time, at most, after each read.
constexpr size_t kMostAllocations = 64;

struct Scratch {
  std::string dir;
  std::string input;
  std::string output;
};

void remove_scratch();

// One directory per process, in memory where the system offers it.
const Scratch& scratch() {
  static const Scratch paths = [] {
    std::string dir;
    fuzz_check(make_folder_under("/dev/shm", dir) ||
                   make_folder_under(std::filesystem::temp_directory_path(), dir),
               "cannot create a scratch directory");
    return Scratch{dir, dir + "/input.ls11", dir + "/input.ls11.DEC"};
  }();
  // Registered once `paths` is complete, so the clean-up runs before the
  // paths are destroyed at exit.
  static const int cleanup_registered = std::atexit(remove_scratch);
  (void)cleanup_registered;
  return paths;
}

void remove_scratch() { remove_tree(scratch().dir); }

uint32_t be32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

bool header_recognised(const uint8_t* data, size_t size) {
  if (size < 16 || std::memcmp(data, "LS1", 3) != 0 || data[3] < '0' || data[3] > '2') return false;
  for (size_t i = 4; i < 16; ++i) {
    if (data[i] != 0) return false;
  }
  return true;
}

struct Expected {
  int status = LS11_OK;
  std::vector<uint8_t> output;
  bool output_exists = true;
};

// The table's count, when the file holds entry 0 and the whole table.
bool table_count(const uint8_t* data, size_t size, uint32_t& count) {
  if (size < 284) return false;
  count = (be32(data + 280) - 276) / 12;
  return 276 + uint64_t{12} * count <= size;
}

uint64_t claimed_output(const uint8_t* data, uint32_t count) {
  uint64_t total = 0;
  for (uint32_t i = 0; i < count; ++i) total += be32(data + 272 + 12 * size_t{i} + 4);
  return total;
}

Expected model(const uint8_t* data, size_t size) {
  Expected e;
  uint32_t count = 0;
  if (!header_recognised(data, size)) {
    e.status = LS11_ERR_FORMAT;
    e.output_exists = false;
    return e;
  }
  if (!table_count(data, size, count)) {
    e.status = LS11_ERR_FORMAT;
    return e;
  }
  uint32_t packed_sum = 0;
  for (uint32_t i = 0; i < count; ++i) packed_sum += be32(data + 272 + 12 * size_t{i});
  if (static_cast<uint32_t>(size) - 12 * count != 276 + packed_sum) {
    e.status = LS11_ERR_FORMAT;
    return e;
  }
  const uint8_t* dictionary = data + 16;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* entry = data + 272 + 12 * size_t{i};
    const uint32_t packed = be32(entry);
    const uint32_t unpacked = be32(entry + 4);
    const uint32_t offset = be32(entry + 8);
    if (uint64_t{offset} + packed > size) {
      e.status = LS11_ERR_CORRUPT;
      return e;
    }
    const size_t at = e.output.size();
    if (packed == unpacked) {
      e.output.insert(e.output.end(), data + offset, data + offset + packed);
      continue;
    }
    e.output.resize(at + unpacked);
    if (!reference_decode_block(data + offset, packed, dictionary, e.output.data() + at,
                                unpacked)) {
      e.output.resize(at);
      e.status = LS11_ERR_CORRUPT;
      return e;
    }
  }
  return e;
}

bool write_whole_file(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}

std::vector<uint8_t> read_whole_file(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return bytes;
  uint8_t chunk[1 << 14];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
    bytes.insert(bytes.end(), chunk, chunk + got);
  std::fclose(file);
  return bytes;
}

int refuse(void*, const void*, size_t) { return 1; }

// ls11_read_entry_to: a writer that refuses gets LS11_ERR_WRITE from a
// sound entry that is not empty, the status of ls11_read_entry from any
// other; an index past the end is refused.
void check_entry_handover(const uint8_t* data, size_t size) {
  ls11_archive* archive = nullptr;
  fuzz_check(ls11_open_memory(data, size, &archive) == LS11_OK,
             "a file opened once does not open again");
  const uint32_t count = ls11_entry_count(archive);
  ls11_reason reason = {};
  fuzz_check(ls11_read_entry_to(archive, count, refuse, nullptr, &reason) == LS11_ERR_ARGUMENT &&
                 reason.code == LS11_REASON_NO_SUCH_ENTRY && reason.entry == count,
             "ls11_read_entry_to took an index past the end");
  if (count != 0) {
    ls11_entry entry;
    fuzz_check(ls11_get_entry(archive, 0, &entry) == LS11_OK,
               "entry 0 of an opened file is missing");
    std::vector<uint8_t> out(entry.unpacked_size);
    const ls11_status read = entry.unpacked_size <= kMaxOutput
                                 ? ls11_read_entry(archive, 0, out.data(), out.size())
                                 : LS11_ERR_NO_MEMORY;
    const ls11_status handed = ls11_read_entry_to(archive, 0, refuse, nullptr, &reason);
    // An empty entry hands the writer nothing to refuse.
    const ls11_status refused = entry.unpacked_size == 0 ? LS11_OK : LS11_ERR_WRITE;
    fuzz_check(read == LS11_ERR_NO_MEMORY || handed == (read == LS11_OK ? refused : read),
               "ls11_read_entry_to and ls11_read_entry disagree");
    fuzz_check(handed != LS11_ERR_WRITE ||
                   (reason.code == LS11_REASON_WRITE_REFUSED && reason.entry == 0),
               "a refused write has another reason");
  }
  ls11_close(archive);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint32_t count = 0;
  const bool table_in_file = header_recognised(data, size) && table_count(data, size, count);
  const uint64_t claimed = table_in_file ? claimed_output(data, count) : 0;
  if (claimed > kMaxOutput) return 0;
  const Scratch& paths = scratch();
  std::remove(paths.output.c_str());
  fuzz_check(write_whole_file(paths.input, data, size), "cannot write the input file");

  g_status = LS11_OK;
  reset_largest_array_allocation();
  const bool converted = convert_file(paths.input.c_str(), paths.output.c_str());
  const int status = g_status;
  fuzz_check(largest_array_allocation() <= size + claimed,
             "a buffer larger than the file and its claimed output");
  struct stat st;
  const bool output_exists = stat(paths.output.c_str(), &st) == 0;
  const std::vector<uint8_t> output = read_whole_file(paths.output);

  fuzz_check(converted == (status == LS11_OK), "success reported without status 0, or the reverse");
  const Expected expected = model(data, size);
  fuzz_check(status == expected.status, "unexpected status");
  fuzz_check(output_exists == expected.output_exists,
             "output file created or missing unexpectedly");
  if (converted) {
    fuzz_check(table_in_file && output.size() == claimed,
               "output length differs from the sum of the unpacked sizes");
  }
  fuzz_check(output == expected.output, "unexpected output bytes");

  reset_largest_array_allocation();
  const ApiRead api = api_read_memory(data, size);
  fuzz_check(largest_array_allocation() <= size + claimed,
             "the API took a buffer larger than the file and its claims");
  fuzz_check((api.open_status == LS11_OK) == (status != LS11_ERR_FORMAT),
             "the API's open disagrees with the conversion");
  fuzz_check(api.status == status, "the API's status differs from the conversion's");
  fuzz_check(api.output == output, "the API's bytes differ from the conversion's");
  const ApiRead from_path = api_read_path(paths.input);
  fuzz_check(from_path.open_status == api.open_status && from_path.status == api.status &&
                 from_path.output == api.output,
             "the API reads the file from a path otherwise than from memory");

  fuzz_check((ls11_header_format(data, size) != 0) == header_recognised(data, size),
             "ls11_header_format disagrees on the header");
  if (api.open_status == LS11_OK) check_entry_handover(data, size);

  // Each allocation of the API's reads, from memory and from the path,
  // refused in turn: a read ends in LS11_ERR_NO_MEMORY with the entries
  // before it, or as it did above.
  for (size_t nth = 1; nth <= kMostAllocations; ++nth) {
    bool refused = false;
    for (const bool from_memory : {true, false}) {
      fail_nothrow_allocation(nth);
      const ApiRead starved =
          from_memory ? api_read_memory(data, size) : api_read_path(paths.input);
      refused = nothrow_allocation_failed() || refused;
      fail_nothrow_allocation(0);
      const bool same = starved.status == api.status && starved.output == api.output;
      fuzz_check(same ||
                     (starved.status == LS11_ERR_NO_MEMORY &&
                      starved.output.size() <= api.output.size() &&
                      std::equal(starved.output.begin(), starved.output.end(), api.output.begin())),
                 "a refused allocation gave another failure than LS11_ERR_NO_MEMORY, or other "
                 "bytes");
    }
    if (!refused) break;
  }
  return 0;
}

// ls11 pack and ls11 repack: building an LS11 file from plain files, or
// from a decoded file cut at the entry boundaries of the file it came from.
#include <cerrno>
#include <string>
#include <vector>

#include "ls11/archive.h"
#include "ls11/commands.h"
#include "ls11/inputs.h"
#include "ls11/report.h"
#include "ls11/safe_output.h"
#include "platform/file_io.h"

namespace ls11 {

namespace {

// The entries to pack, as the library takes them.
struct Blocks {
  std::vector<const void*> data;
  std::vector<size_t> sizes;
  void add(const uint8_t* bytes, size_t size) {
    data.push_back(bytes);
    sizes.push_back(size);
  }
};

// Where the library's bytes go: the output's file, where the next byte
// would land in it, and the first failing write's errno.
struct Writing {
  std::FILE* file;
  uint64_t position;
  int error;
};

int write_to_file(void* context, const void* data, size_t size) {
  Writing& w = *static_cast<Writing*>(context);
  errno = 0;
  if (platform::write_exact(w.file, data, size)) return 0;
  w.error = errno != 0 ? errno : EIO;
  return 1;
}

// The blocks come in file order, so the only seek is back to the head.
int write_at_offset(void* context, uint64_t offset, const void* data, size_t size) {
  Writing& w = *static_cast<Writing*>(context);
  errno = 0;
  if (offset != w.position && !platform::seek_to(w.file, offset)) {
    w.error = errno != 0 ? errno : EIO;
    return 1;
  }
  w.position = offset + size;
  return write_to_file(context, data, size);
}

// Packs the blocks into the output file, which appears only once complete.
int write_output(const Options& options, int format, const Blocks& blocks) {
  SafeOutput output;
  if (!begin_output(options.output, output, options.force, true)) {
    report_error(options.output, output.failure);
    return kExitFailed;
  }
  show_activity(options.output + ": packing " + std::to_string(blocks.data.size()) + " entries");
  const ls11_pack_options pack_options = {sizeof(ls11_pack_options), format, options.level,
                                          static_cast<int>(options.threads)};
  Writing writing{output.file, 0, 0};
  const uint32_t count = static_cast<uint32_t>(blocks.data.size());
  // A temporary file can take each block as soon as it is packed; a stream
  // only the whole file in order, once packed.
  const ls11_status status = output.stream
                                 ? ls11_pack_to(blocks.data.data(), blocks.sizes.data(), count,
                                                &pack_options, write_to_file, &writing, nullptr)
                                 : ls11_pack_at(blocks.data.data(), blocks.sizes.data(), count,
                                                &pack_options, write_at_offset, &writing, nullptr);
  const int write_error = writing.error;
  end_progress();
  if (status == LS11_OK && commit_output(output)) return kExitOk;
  const std::string reason = status == LS11_ERR_NO_MEMORY ? ls11_status_report(LS11_ERR_NO_MEMORY)
                             : status == LS11_ERR_TOO_LARGE
                                 ? "the entries do not fit in an LS11 file (4 GiB at most)"
                             : status != LS11_OK ? with_reason("cannot write the file", write_error)
                                                 : output.failure;
  report_error(options.output, reason);
  return kExitFailed;
}

// Whether OUT may be written, checked before any input is read.
bool output_usable(const Options& options) {
  return output_allowed(options.output, options.force, true) &&
         output_is_not_an_input(options.output, options.operands);
}

}  // namespace

int run_pack(const Options& options) {
  if (!output_usable(options)) return kExitFailed;
  std::vector<LoadedFile> inputs;
  platform::LargeBuffer shared;
  if (!load_entries(options.operands, options.threads, inputs, shared)) return kExitFailed;
  Blocks blocks;
  blocks.data.reserve(inputs.size());
  blocks.sizes.reserve(inputs.size());
  for (const LoadedFile& input : inputs) blocks.add(input.data, static_cast<size_t>(input.size));
  return write_output(options, options.format, blocks);
}

int run_repack(const Options& options) {
  if (!output_usable(options)) return kExitFailed;
  const std::string& original_path = options.operands[0];
  const std::string& decoded_path = options.operands[1];
  Archive original;
  if (!open_archive(original_path, original)) return kExitFailed;
  const uint64_t total = total_unpacked(original.get());
  // The decoded file may pass 4 GiB: only each entry is limited.
  LoadedFile decoded;
  if (load_file(decoded_path, total, decoded) == LoadResult::failed) return kExitFailed;
  if (decoded.size != total) {
    const std::string length =
        decoded.size_known ? std::to_string(decoded.size) : "more than " + std::to_string(total);
    report_error(decoded_path, "is " + length + " bytes long, but the entries of " + original_path +
                                   " hold " + std::to_string(total) +
                                   " (repack keeps the entry sizes)");
    return kExitFailed;
  }
  Blocks blocks;
  const uint8_t* next = decoded.data;
  for (uint32_t i = 0; i < ls11_entry_count(original.get()); ++i) {
    const uint32_t size = entry_at(original.get(), i).unpacked_size;
    blocks.add(next, size);
    next += size;
  }
  return write_output(options, ls11_format(original.get()), blocks);
}

}  // namespace ls11

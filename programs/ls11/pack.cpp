// ls11 pack and ls11 repack: building an LS11 file from plain files, or
// from a decoded file cut at the entry boundaries of the file it came from.
#include <cerrno>
#include <string>
#include <vector>

#include "container/status.h"
#include "container/write_file.h"
#include "ls11/commands.h"
#include "ls11/inputs.h"
#include "ls11/report.h"
#include "ls11/safe_output.h"

namespace ls11 {

namespace {

// Packs the blocks into the output file, which appears only once complete.
int write_output(const Options& options, int format, const std::vector<BlockView>& blocks) {
  SafeOutput output;
  if (!begin_output(options.output, output, options.force, true)) {
    report_error(options.output, output.failure);
    return kExitFailed;
  }
  show_activity(options.output + ": packing " + std::to_string(blocks.size()) + " entries");
  errno = 0;
  const ls11_status status = pack_file(output.file, format, options.level, options.threads,
                                       blocks.data(), static_cast<uint32_t>(blocks.size()));
  const int write_error = errno;
  end_progress();
  if (status == LS11_OK && commit_output(output)) return kExitOk;
  const std::string reason = status == LS11_ERR_NO_MEMORY ? status_message(LS11_ERR_NO_MEMORY)
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
  LargeBuffer shared;
  if (!load_entries(options.operands, options.threads, inputs, shared)) return kExitFailed;
  std::vector<BlockView> blocks;
  blocks.reserve(inputs.size());
  for (const LoadedFile& input : inputs) {
    blocks.push_back(BlockView{input.data, static_cast<uint32_t>(input.size)});
  }
  return write_output(options, options.format, blocks);
}

int run_repack(const Options& options) {
  if (!output_usable(options)) return kExitFailed;
  const std::string& original_path = options.operands[0];
  const std::string& decoded_path = options.operands[1];
  OpenedContainer original;
  if (!open_container(original_path, original)) return kExitFailed;
  const Container& container = original.container;
  // The decoded file may pass 4 GiB: only each entry is limited.
  LoadedFile decoded;
  if (load_file(decoded_path, container.total_unpacked, decoded) == LoadResult::failed)
    return kExitFailed;
  if (decoded.size != container.total_unpacked) {
    const std::string length = decoded.size_known
                                   ? std::to_string(decoded.size)
                                   : "more than " + std::to_string(container.total_unpacked);
    report_error(decoded_path, "is " + length + " bytes long, but the entries of " + original_path +
                                   " hold " + std::to_string(container.total_unpacked) +
                                   " (repack keeps the entry sizes)");
    return kExitFailed;
  }
  std::vector<BlockView> blocks;
  const uint8_t* next = decoded.data;
  for (uint32_t i = 0; i < container.count; ++i) {
    blocks.push_back(BlockView{next, container.entries[i].unpacked_size});
    next += container.entries[i].unpacked_size;
  }
  return write_output(options, container.format, blocks);
}

}  // namespace ls11

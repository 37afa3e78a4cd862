// The public API for replacing entries of an open file, into memory.
#include <memory>
#include <new>

#include "api/archive.h"
#include "api/check_caller_block.h"
#include "api/memory_output.h"
#include "container/replace_entries.h"

namespace ls11 {

namespace {

ls11_status gather_replacements(const ls11_replacement* given, uint32_t count,
                                std::unique_ptr<Replacement[]>& replacements) {
  replacements.reset(new (std::nothrow) Replacement[count]);
  if (!replacements) return LS11_ERR_NO_MEMORY;
  for (uint32_t i = 0; i < count; ++i) {
    replacements[i].index = given[i].index;
    const ls11_status status =
        check_caller_block(given[i].data, given[i].size, replacements[i].data);
    if (status != LS11_OK) return status;
  }
  return LS11_OK;
}

struct ReplaceWrite {
  BlockSource source;
  const Container& container;
  const ReplacementPlan& plan;
};

ls11_status write_replaced(ByteSink sink, void* context) {
  const ReplaceWrite& w = *static_cast<const ReplaceWrite*>(context);
  return write_replacement(sink, w.source, w.container, w.plan);
}

// The output buffer is exactly the new file's size; kept blocks are read
// one at a time through the archive's own packed buffer, so its record of
// the stream's position stays true.
ls11_status replace_to_memory(ls11_archive& archive, const ls11_replacement* given, uint32_t count,
                              void** out, size_t* out_size) {
  std::unique_ptr<Replacement[]> replacements;
  ls11_status status = gather_replacements(given, count, replacements);
  const BlockSource source{archive.file.get(), archive.memory, &archive.buffers};
  ReplacementPlan plan;
  uint32_t failed_index = 0;
  if (status == LS11_OK) {
    status = plan_replacement(source, archive.container, replacements.get(), count, plan,
                              failed_index);
  }
  uint64_t length = 0;
  if (status == LS11_OK) {
    status = compute_file_length(plan.blocks.get(), archive.container.count, length);
  }
  if (status != LS11_OK) return status;
  ReplaceWrite w{source, archive.container, plan};
  return write_to_new_buffer(length, write_replaced, &w, out, out_size);
}

}  // namespace

}  // namespace ls11

extern "C" {

ls11_status ls11_replace(ls11_archive* archive, const ls11_replacement* replacements,
                         uint32_t count, void** out, size_t* out_size) {
  if (out) *out = nullptr;
  if (out_size) *out_size = 0;
  if (!archive || !out || !out_size || (!replacements && count != 0)) return LS11_ERR_ARGUMENT;
  return ls11::replace_to_memory(*archive, replacements, count, out, out_size);
}

}  // extern "C"

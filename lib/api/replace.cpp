// The public API for replacing entries of an open file, into memory or
// through the caller's callback.
#include <memory>
#include <new>

#include "api/archive.h"
#include "api/check_caller_block.h"
#include "api/output.h"
#include "container/reason.h"
#include "container/replace_entries.h"

namespace ls11 {

namespace {

ls11_status gather_replacements(const ls11_replacement* given, uint32_t count,
                                std::unique_ptr<Replacement[]>& replacements, ls11_reason* reason) {
  replacements.reset(new (std::nothrow) Replacement[count]);  // GCOVR_EXCL_BR_LINE
  if (!replacements) return no_memory(reason);
  for (uint32_t i = 0; i < count; ++i) {
    replacements[i].index = given[i].index;
    const ls11_status status = check_caller_block(given[i].data, given[i].size,
                                                  replacements[i].data, given[i].index, reason);
    if (status != LS11_OK) return status;
  }
  return LS11_OK;
}

// A replacement planned and ready to be written, of `length` bytes. Kept
// blocks are read one at a time through the archive's own packed buffer,
// so its record of the stream's position stays true.
struct Replace {
  BlockSource source;
  const Container& container;
  ReplacementPlan plan;
  uint64_t length;
  ls11_reason* reason;
};

// Everything before the first byte is written, so that a failure writes
// nothing: the replacements checked, every kept entry decoded, the new
// ones encoded, and the file's length known.
ls11_status prepare_replace(const ls11_replacement* given, uint32_t count, Replace& r) {
  std::unique_ptr<Replacement[]> replacements;
  ls11_status status = gather_replacements(given, count, replacements, r.reason);
  if (status == LS11_OK) {
    status = plan_replacement(r.source, r.container, replacements.get(), count, r.plan, r.reason);
  }
  if (status != LS11_OK) return status;
  return file_length(r.plan.blocks.get(), r.container.count, r.length, r.reason);
}

ls11_status write_replaced(ByteSink sink, void* context) {
  Replace& r = *static_cast<Replace*>(context);
  return write_replacement(sink, r.source, r.container, r.plan, r.reason);
}

Replace replace_of(ls11_archive& archive, ls11_reason* reason) {
  return Replace{BlockSource{archive.file.get(), archive.memory, &archive.buffers},
                 archive.container,
                 {},
                 0,
                 reason};
}

}  // namespace

}  // namespace ls11

extern "C" {

ls11_status ls11_replace(ls11_archive* archive, const ls11_replacement* replacements,
                         uint32_t count, void** out, size_t* out_size) {
  if (out) *out = nullptr;
  if (out_size) *out_size = 0;
  if (!archive || !out || !out_size || (!replacements && count != 0)) return LS11_ERR_ARGUMENT;
  ls11::Replace r = ls11::replace_of(*archive, nullptr);
  const ls11_status status = ls11::prepare_replace(replacements, count, r);
  if (status != LS11_OK) return status;
  return ls11::write_to_new_buffer(r.length, ls11::write_replaced, &r, out, out_size);
}

ls11_status ls11_replace_to(ls11_archive* archive, const ls11_replacement* replacements,
                            uint32_t count, ls11_write_fn write, void* context,
                            ls11_reason* reason) {
  ls11::set_reason(reason, LS11_REASON_NONE);
  if (!archive || !write || (!replacements && count != 0)) {
    ls11::set_reason(reason, LS11_REASON_ARGUMENT);
    return LS11_ERR_ARGUMENT;
  }
  ls11::Replace r = ls11::replace_of(*archive, reason);
  const ls11_status status = ls11::prepare_replace(replacements, count, r);
  if (status != LS11_OK) return status;
  return ls11::write_to_caller(write, context, ls11::write_replaced, &r, reason);
}

}  // extern "C"

#include "container/replace_entries.h"

#include <cstdint>
#include <new>

#include "container/reason.h"

namespace ls11 {

namespace {

ls11_status mark_replaced(const Container& container, const Replacement* replacements,
                          uint32_t count, ReplacementPlan& plan, ls11_reason* reason) {
  plan.replaced.reset(new (std::nothrow) bool[container.count]());
  plan.blocks.reset(new (std::nothrow) PackedBlock[container.count]);  // GCOVR_EXCL_BR_LINE
  if (!plan.replaced || !plan.blocks) return no_memory(reason);
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t index = replacements[i].index;
    if (index >= container.count || plan.replaced[index]) {
      set_reason(reason,
                 index >= container.count ? LS11_REASON_NO_SUCH_ENTRY : LS11_REASON_NAMED_TWICE,
                 index, 0, index >= container.count ? container.count : 0);
      return LS11_ERR_ARGUMENT;
    }
    plan.replaced[index] = true;
  }
  return LS11_OK;
}

// A stored block decodes to itself; a compressed one is decoded into a
// scratch buffer that is thrown away.
ls11_status verify_kept(BlockSource source, const Container& container, const ReplacementPlan& plan,
                        ls11_reason* reason) {
  std::unique_ptr<uint8_t[]> scratch(new (std::nothrow) uint8_t[container.max_decoded]);
  if (!scratch) return no_memory(reason);
  for (uint32_t i = 0; i < container.count; ++i) {
    if (plan.replaced[i]) continue;
    const uint8_t* packed = nullptr;
    ls11_status status = locate_block(source, container, i, packed, reason);
    if (status == LS11_OK && !entry_is_stored(container.entries[i])) {
      status = decode_entry(container, i, packed, scratch.get(), reason);
    }
    if (status != LS11_OK) return status;
  }
  return LS11_OK;
}

ls11_status encode_replacements(const Container& container, const Replacement* replacements,
                                uint32_t count, ReplacementPlan& plan, ls11_reason* reason) {
  uint64_t total = 0;
  for (uint32_t i = 0; i < count; ++i) total += replacements[i].data.size;
  if (total > SIZE_MAX) {
    set_reason(reason, LS11_REASON_FILE_TOO_LARGE, LS11_NO_ENTRY, total, SIZE_MAX);
    return LS11_ERR_TOO_LARGE;
  }
  plan.storage.reset(new (std::nothrow) uint8_t[static_cast<size_t>(total)]);  // GCOVR_EXCL_BR_LINE
  if (!plan.storage) return no_memory(reason);
  for (uint32_t i = 0; i < container.count; ++i) {
    const Entry& e = container.entries[i];
    plan.blocks[i] = PackedBlock{nullptr, e.packed_size, e.unpacked_size};
  }
  uint8_t* next = plan.storage.get();
  for (uint32_t i = 0; i < count; ++i) {
    const BlockView& data = replacements[i].data;
    uint32_t packed_size = 0;
    if (!encode_block(data.data, data.size, container.dictionary, LS11_LEVEL_BEST, next,
                      packed_size)) {
      return no_memory(reason);
    }
    plan.blocks[replacements[i].index] = PackedBlock{next, packed_size, data.size};
    next += data.size;
  }
  return LS11_OK;
}

}  // namespace

ls11_status plan_replacement(BlockSource source, const Container& container,
                             const Replacement* replacements, uint32_t count, ReplacementPlan& plan,
                             ls11_reason* reason) {
  ls11_status status = mark_replaced(container, replacements, count, plan, reason);
  if (status == LS11_OK) status = verify_kept(source, container, plan, reason);
  if (status == LS11_OK) status = encode_replacements(container, replacements, count, plan, reason);
  return status;
}

ls11_status write_replacement(ByteSink sink, BlockSource source, const Container& container,
                              const ReplacementPlan& plan, ls11_reason* reason) {
  const ls11_status head = write_file_head(sink, container.format, container.dictionary,
                                           plan.blocks.get(), container.count);
  if (head != LS11_OK) return head;
  for (uint32_t i = 0; i < container.count; ++i) {
    const uint8_t* bytes = plan.blocks[i].bytes;
    if (!plan.replaced[i]) {
      const ls11_status read = locate_block(source, container, i, bytes, reason);
      if (read != LS11_OK) return read;
    }
    if (!sink.write(sink.context, bytes, plan.blocks[i].packed_size)) return LS11_ERR_WRITE;
  }
  return LS11_OK;
}

}  // namespace ls11

// The public packing API.
#include <cstdlib>
#include <memory>
#include <new>

#include "api/check_caller_block.h"
#include "api/memory_output.h"
#include "container/write_file.h"
#include "ls11.h"

namespace ls11 {

namespace {

bool options_valid(const ls11_pack_options& options) {
  return options.sizeof_options == sizeof(ls11_pack_options) && options.format >= 10 &&
         options.format <= 12 && options.level >= LS11_LEVEL_STORE &&
         options.level <= LS11_LEVEL_BEST && options.threads >= 0;
}

ls11_status gather_inputs(const void* const* entries, const size_t* sizes, uint32_t count,
                          std::unique_ptr<BlockView[]>& inputs) {
  inputs.reset(new (std::nothrow) BlockView[count]);
  if (!inputs) return LS11_ERR_NO_MEMORY;
  for (uint32_t i = 0; i < count; ++i) {
    const ls11_status status = check_caller_block(entries[i], sizes[i], inputs[i]);
    if (status != LS11_OK) return status;
  }
  return LS11_OK;
}

struct PackWrite {
  int format;
  const PackedEntries& packed;
  uint32_t count;
};

ls11_status write_packed(ByteSink sink, void* context) {
  const PackWrite& w = *static_cast<const PackWrite*>(context);
  return write_file(sink, w.format, w.packed.dictionary, w.packed.blocks.get(), w.count);
}

ls11_status pack_to_memory(const void* const* entries, const size_t* sizes, uint32_t count,
                           const ls11_pack_options& options, void** out, size_t* out_size) {
  std::unique_ptr<BlockView[]> inputs;
  ls11_status status = gather_inputs(entries, sizes, count, inputs);
  PackedEntries packed;
  if (status == LS11_OK) {
    status = pack_entries(inputs.get(), count, static_cast<ls11_level>(options.level),
                          static_cast<unsigned>(options.threads), packed);
  }
  uint64_t length = 0;
  if (status == LS11_OK) status = compute_file_length(packed.blocks.get(), count, length);
  if (status != LS11_OK) return status;
  PackWrite w{options.format, packed, count};
  return write_to_new_buffer(length, write_packed, &w, out, out_size);
}

}  // namespace

}  // namespace ls11

extern "C" {

ls11_status ls11_pack(const void* const* entries, const size_t* sizes, uint32_t count,
                      const ls11_pack_options* options, void** out, size_t* out_size) {
  if (out) *out = nullptr;
  if (out_size) *out_size = 0;
  const ls11_pack_options defaults = {sizeof(ls11_pack_options), 11, LS11_LEVEL_BEST, 0};
  if (!options) options = &defaults;
  if (!entries || !sizes || count == 0 || !out || !out_size || !ls11::options_valid(*options)) {
    return LS11_ERR_ARGUMENT;
  }
  return ls11::pack_to_memory(entries, sizes, count, *options, out, out_size);
}

void ls11_free(void* p) { std::free(p); }

}  // extern "C"

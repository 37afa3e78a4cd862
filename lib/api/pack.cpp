// The public packing API.
#include <cstdlib>
#include <memory>
#include <new>

#include "api/check_caller_block.h"
#include "api/output.h"
#include "container/reason.h"
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
                          std::unique_ptr<BlockView[]>& inputs, ls11_reason* reason) {
  inputs.reset(new (std::nothrow) BlockView[count]);
  if (!inputs) return no_memory(reason);
  for (uint32_t i = 0; i < count; ++i) {
    const ls11_status status = check_caller_block(entries[i], sizes[i], inputs[i], i, reason);
    if (status != LS11_OK) return status;
  }
  return LS11_OK;
}

// A file packed and ready to be written, of `length` bytes.
struct Pack {
  int format;
  uint32_t count;
  std::unique_ptr<BlockView[]> inputs;
  PackedEntries packed;
  uint64_t length;
};

// Everything before the first byte is written, so that a failure writes
// nothing: the entries checked and packed, and the file's length known.
ls11_status prepare_pack(const void* const* entries, const size_t* sizes,
                         const ls11_pack_options& options, Pack& pack, ls11_reason* reason) {
  ls11_status status = gather_inputs(entries, sizes, pack.count, pack.inputs, reason);
  if (status != LS11_OK) return status;
  status = pack_entries(pack.inputs.get(), pack.count, static_cast<ls11_level>(options.level),
                        static_cast<unsigned>(options.threads), pack.packed);
  if (status != LS11_OK) return no_memory(reason);
  return file_length(pack.packed.blocks.get(), pack.count, pack.length, reason);
}

ls11_status write_packed(ByteSink sink, void* context) {
  const Pack& pack = *static_cast<const Pack*>(context);
  return write_file(sink, pack.format, pack.packed.dictionary, pack.packed.blocks.get(),
                    pack.count);
}

// The checks every packing call makes before any work.
bool arguments_valid(const void* const* entries, const size_t* sizes, uint32_t count,
                     const ls11_pack_options& options) {
  return entries && sizes && count != 0 && options_valid(options);
}

constexpr ls11_pack_options kDefaults = {sizeof(ls11_pack_options), 11, LS11_LEVEL_BEST, 0};

}  // namespace

}  // namespace ls11

extern "C" {

ls11_status ls11_pack(const void* const* entries, const size_t* sizes, uint32_t count,
                      const ls11_pack_options* options, void** out, size_t* out_size) {
  if (out) *out = nullptr;
  if (out_size) *out_size = 0;
  if (!options) options = &ls11::kDefaults;
  if (!out || !out_size || !ls11::arguments_valid(entries, sizes, count, *options)) {
    return LS11_ERR_ARGUMENT;
  }
  ls11::Pack pack{options->format, count, nullptr, {}, 0};
  const ls11_status status = ls11::prepare_pack(entries, sizes, *options, pack, nullptr);
  if (status != LS11_OK) return status;
  return ls11::write_to_new_buffer(pack.length, ls11::write_packed, &pack, out, out_size);
}

ls11_status ls11_pack_to(const void* const* entries, const size_t* sizes, uint32_t count,
                         const ls11_pack_options* options, ls11_write_fn write, void* context,
                         ls11_reason* reason) {
  ls11::set_reason(reason, LS11_REASON_NONE);
  if (!options) options = &ls11::kDefaults;
  if (!write || !ls11::arguments_valid(entries, sizes, count, *options)) {
    ls11::set_reason(reason, LS11_REASON_ARGUMENT);
    return LS11_ERR_ARGUMENT;
  }
  ls11::Pack pack{options->format, count, nullptr, {}, 0};
  const ls11_status status = ls11::prepare_pack(entries, sizes, *options, pack, reason);
  if (status != LS11_OK) return status;
  return ls11::write_to_caller(write, context, ls11::write_packed, &pack, reason);
}

void ls11_free(void* p) { std::free(p); }

}  // extern "C"

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
  inputs.reset(new (std::nothrow) BlockView[count]);  // GCOVR_EXCL_BR_LINE
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

// The entries, once checked, packed, and the file's length known.
ls11_status pack_gathered(const ls11_pack_options& options, Pack& pack, ls11_reason* reason) {
  const ls11_status status =
      pack_entries(pack.inputs.get(), pack.count, static_cast<ls11_level>(options.level),
                   static_cast<unsigned>(options.threads), pack.packed);
  if (status != LS11_OK) return no_memory(reason);
  return file_length(pack.packed.blocks.get(), pack.count, pack.length, reason);
}

// Everything before the first byte is written, so that a failure writes
// nothing.
ls11_status prepare_pack(const void* const* entries, const size_t* sizes,
                         const ls11_pack_options& options, Pack& pack, ls11_reason* reason) {
  const ls11_status status = gather_inputs(entries, sizes, pack.count, pack.inputs, reason);
  if (status != LS11_OK) return status;
  return pack_gathered(options, pack, reason);
}

ls11_status write_packed(ByteSink sink, void* context) {
  const Pack& pack = *static_cast<const Pack*>(context);
  return write_file(sink, pack.format, pack.packed.dictionary, pack.packed.blocks.get(),
                    pack.count);
}

struct CallerPlacing {
  ls11_write_at_fn callback;
  void* context;
  bool refused;
};

bool write_at_caller(void* context, uint64_t offset, const void* data, size_t size) {
  CallerPlacing& placing = *static_cast<CallerPlacing*>(context);
  placing.refused = placing.callback(placing.context, offset, data, size) != 0;
  return !placing.refused;
}

// ls11_pack_at once the arguments are checked.
ls11_status pack_placed(const void* const* entries, const size_t* sizes,
                        const ls11_pack_options& options, Pack& pack, CallerPlacing& caller,
                        ls11_reason* reason) {
  const PlacedSink sink{write_at_caller, &caller};
  ls11_status status = gather_inputs(entries, sizes, pack.count, pack.inputs, reason);
  if (status != LS11_OK) return status;
  uint64_t longest = 0;
  if (longest_file(pack.inputs.get(), pack.count, longest) == LS11_OK) {
    status =
        pack_file_placed(sink, pack.format, static_cast<ls11_level>(options.level),
                         static_cast<unsigned>(options.threads), pack.inputs.get(), pack.count);
  } else {
    // Whether the packed file fits is known only once every block is packed.
    status = pack_gathered(options, pack, reason);
    if (status != LS11_OK) return status;
    PlacedCursor cursor{sink, 0};
    status = write_packed(placed_sink(cursor), &pack);
  }
  if (status == LS11_ERR_NO_MEMORY) return no_memory(reason);
  return status;
}

// The checks every packing call makes before any work.
bool arguments_valid(const void* const* entries, const size_t* sizes, uint32_t count,
                     const ls11_pack_options& options) {
  return entries && sizes && count != 0 && options_valid(options);
}

constexpr ls11_pack_options kDefaults = {sizeof(ls11_pack_options), 11, LS11_LEVEL_BEST, 0};

// How the calls that write through a caller's callback start: the reason
// cleared, the defaults for no options, and the arguments checked. Null
// when they are not valid, with the reason set.
const ls11_pack_options* callback_options(const void* const* entries, const size_t* sizes,
                                          uint32_t count, const ls11_pack_options* options,
                                          bool has_callback, ls11_reason* reason) {
  set_reason(reason, LS11_REASON_NONE);
  if (!options) options = &kDefaults;
  if (has_callback && arguments_valid(entries, sizes, count, *options)) return options;
  set_reason(reason, LS11_REASON_ARGUMENT);
  return nullptr;
}

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
  options = ls11::callback_options(entries, sizes, count, options, write != nullptr, reason);
  if (!options) return LS11_ERR_ARGUMENT;
  ls11::Pack pack{options->format, count, nullptr, {}, 0};
  const ls11_status status = ls11::prepare_pack(entries, sizes, *options, pack, reason);
  if (status != LS11_OK) return status;
  return ls11::write_to_caller(write, context, ls11::write_packed, &pack, reason);
}

ls11_status ls11_pack_at(const void* const* entries, const size_t* sizes, uint32_t count,
                         const ls11_pack_options* options, ls11_write_at_fn write_at, void* context,
                         ls11_reason* reason) {
  options = ls11::callback_options(entries, sizes, count, options, write_at != nullptr, reason);
  if (!options) return LS11_ERR_ARGUMENT;
  ls11::Pack pack{options->format, count, nullptr, {}, 0};
  ls11::CallerPlacing caller{write_at, context, false};
  const ls11_status status = ls11::pack_placed(entries, sizes, *options, pack, caller, reason);
  if (caller.refused) ls11::set_reason(reason, LS11_REASON_WRITE_REFUSED);
  return status;
}

void ls11_free(void* p) { std::free(p); }

}  // extern "C"

/* What the JavaScript module needs beyond the C API: the pack options and
   the replacements built here, since their layout is the compiler's, and
   the reasons of failed reads and replaces, asked of the *_to calls with a
   write callback that JavaScript cannot give. What ls11.js does read at
   fixed offsets, ls11_entry's three words, ls11_reason and the pointer and
   size a call writes out, is pinned below. */
#include <stddef.h>
#include <stdlib.h>

#include "ls11.h"

_Static_assert(sizeof(void *) == 4 && sizeof(size_t) == 4,
               "ls11.js reads 32-bit pointers and sizes");
_Static_assert(offsetof(ls11_entry, packed_size) == 0 && offsetof(ls11_entry, unpacked_size) == 4 &&
                   offsetof(ls11_entry, data_offset) == 8 && sizeof(ls11_entry) == 12,
               "ls11.js reads an entry as three 32-bit words");
_Static_assert(offsetof(ls11_reason, code) == 0 && offsetof(ls11_reason, entry) == 4 &&
                   offsetof(ls11_reason, found) == 8 && offsetof(ls11_reason, expected) == 16 &&
                   offsetof(ls11_reason, system_error) == 24 && sizeof(ls11_reason) == 32,
               "ls11.js reads a reason at these offsets");

#define GLUE_API __attribute__((visibility("default")))

/* A write for the *_to calls that stops them: a call that fails has
   written nothing by then, and it says why. */
static int refuse(void *context, const void *data, size_t size) {
  (void)context, (void)data, (void)size;
  return 1;
}

GLUE_API ls11_status ls11_wasm_pack(const void *const *entries, const size_t *sizes, uint32_t count,
                                    int format, int level, void **out, size_t *out_size) {
  ls11_pack_options options = {0};
  options.sizeof_options = sizeof options;
  options.format = format;
  options.level = level;
  options.threads = 1;
  return ls11_pack(entries, sizes, count, &options, out, out_size);
}

GLUE_API ls11_status ls11_wasm_replace(ls11_archive *archive, const uint32_t *indices,
                                       const void *const *data, const size_t *sizes, uint32_t count,
                                       void **out, size_t *out_size, ls11_reason *reason) {
  ls11_replacement *replacements = malloc(sizeof *replacements * (count ? count : 1));
  if (!replacements) return LS11_ERR_NO_MEMORY;
  for (uint32_t i = 0; i < count; ++i) {
    replacements[i].index = indices[i];
    replacements[i].data = data[i];
    replacements[i].size = sizes[i];
  }
  const ls11_status status = ls11_replace(archive, replacements, count, out, out_size);
  if (status != LS11_OK) ls11_replace_to(archive, replacements, count, refuse, NULL, reason);
  free(replacements);
  return status;
}

/* Why entry index does not read: only a failed read asks. */
GLUE_API void ls11_wasm_entry_reason(ls11_archive *archive, uint32_t index, ls11_reason *reason) {
  ls11_read_entry_to(archive, index, refuse, NULL, reason);
}

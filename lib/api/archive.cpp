// The public reading API: archives over a file or over bytes in memory.
#include <new>

#include "api/archive.h"

namespace ls11 {

namespace {

ls11_status finish_open(ls11_archive* opened, ls11_status status, ls11_archive** archive) {
  if (status != LS11_OK) {
    delete opened;
    return status;
  }
  *archive = opened;
  return LS11_OK;
}

}  // namespace

}  // namespace ls11

extern "C" {

ls11_status ls11_open(const char* path, ls11_archive** archive) {
  if (!archive) return LS11_ERR_ARGUMENT;
  *archive = nullptr;
  if (!path) return LS11_ERR_ARGUMENT;
  ls11_archive* opened = new (std::nothrow) ls11_archive;
  if (!opened) return LS11_ERR_NO_MEMORY;
  opened->file = ls11::make_file_ptr(ls11::open_input_file(path));
  const ls11_status status =
      opened->file ? read_container(opened->file.get(), opened->container) : LS11_ERR_OPEN;
  return ls11::finish_open(opened, status, archive);
}

ls11_status ls11_open_memory(const void* data, size_t size, ls11_archive** archive) {
  if (!archive) return LS11_ERR_ARGUMENT;
  *archive = nullptr;
  if (!data && size != 0) return LS11_ERR_ARGUMENT;
  ls11_archive* opened = new (std::nothrow) ls11_archive;
  if (!opened) return LS11_ERR_NO_MEMORY;
  opened->memory = static_cast<const uint8_t*>(data);
  return ls11::finish_open(
      opened, read_container_memory(opened->memory, size, opened->container), archive);
}

void ls11_close(ls11_archive* archive) { delete archive; }

int ls11_format(const ls11_archive* archive) { return archive ? archive->container.format : 0; }

const uint8_t* ls11_dictionary(const ls11_archive* archive) {
  return archive ? archive->container.dictionary : nullptr;
}

uint32_t ls11_entry_count(const ls11_archive* archive) {
  return archive ? archive->container.count : 0;
}

ls11_status ls11_get_entry(const ls11_archive* archive, uint32_t index, ls11_entry* entry) {
  if (!archive || !entry || index >= archive->container.count) return LS11_ERR_ARGUMENT;
  const ls11::Entry& e = archive->container.entries[index];
  *entry = ls11_entry{e.packed_size, e.unpacked_size, e.data_offset};
  return LS11_OK;
}

ls11_status ls11_read_entry(ls11_archive* archive, uint32_t index, void* out, size_t capacity) {
  if (!archive || index >= archive->container.count || (!out && capacity != 0)) {
    return LS11_ERR_ARGUMENT;
  }
  const ls11::Container& container = archive->container;
  if (capacity < container.entries[index].unpacked_size) return LS11_ERR_ARGUMENT;
  const ls11::BlockSource source{archive->file.get(), archive->memory, &archive->buffers};
  const uint8_t* packed = nullptr;
  ls11_status status = ls11::locate_block(source, container, index, packed);
  if (status == LS11_OK) {
    status = ls11::decode_entry(container, index, packed, static_cast<uint8_t*>(out));
  }
  return status;
}

}  // extern "C"

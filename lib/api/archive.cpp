// The public reading API: archives over a file, a stream read whole, or
// bytes in memory.
#include <cerrno>
#include <new>

#include "api/archive.h"
#include "api/output.h"
#include "container/reason.h"

namespace ls11 {

namespace {

ls11_status finish_open(ls11_archive* opened, ls11_status status, ls11_archive** archive) {
  if (status != LS11_OK) {
    delete opened;  // GCOVR_EXCL_BR_LINE
    return status;
  }
  *archive = opened;
  return LS11_OK;
}

// A file that is no regular file cannot be sought: it is read whole, as
// long as an LS11 file can be, and opened from memory.
ls11_status open_stream(ls11_archive& opened, ls11_reason* reason) {
  uint64_t size = 0;
  errno = 0;
  const platform::WholeRead read =
      platform::read_whole_stream(opened.file.get(), kLargestFile, opened.owned, size);
  const int error = errno;
  opened.file.reset();  // GCOVR_EXCL_BR_LINE
  switch (read) {
    case platform::WholeRead::ok:
      opened.memory = opened.owned.get();
      return read_container_memory(opened.memory, static_cast<size_t>(size), opened.container,
                                   reason);
    case platform::WholeRead::failed:
      set_reason(reason, LS11_REASON_CANNOT_READ, LS11_NO_ENTRY, 0, 0, error);
      return LS11_ERR_OPEN;
    case platform::WholeRead::too_long:
      set_reason(reason, LS11_REASON_TOO_LONG, LS11_NO_ENTRY, kLargestFile + 1, kLargestFile);
      return LS11_ERR_FORMAT;
    case platform::WholeRead::no_memory: break;
  }
  set_reason(reason, LS11_REASON_NO_MEMORY);
  return LS11_ERR_NO_MEMORY;
}

ls11_status open_path(const char* path, ls11_archive& opened, ls11_reason* reason) {
  errno = 0;
  opened.file = platform::make_file_ptr(platform::open_input_file(path));  // GCOVR_EXCL_BR_LINE
  if (!opened.file) {
    set_reason(reason, LS11_REASON_CANNOT_OPEN, LS11_NO_ENTRY, 0, 0, errno);
    return LS11_ERR_OPEN;
  }
  uint64_t length = 0;
  if (!platform::recorded_length(opened.file.get(), length)) return open_stream(opened, reason);
  return read_container(opened.file.get(), opened.container, reason);
}

ls11_status argument_error(ls11_reason* reason) {
  set_reason(reason, LS11_REASON_ARGUMENT);
  return LS11_ERR_ARGUMENT;
}

}  // namespace

}  // namespace ls11

extern "C" {

ls11_status ls11_open_with_reason(const char* path, ls11_archive** archive, ls11_reason* reason) {
  if (archive) *archive = nullptr;
  if (!archive || !path) return ls11::argument_error(reason);
  ls11_archive* opened = new (std::nothrow) ls11_archive;
  if (!opened) return ls11::no_memory(reason);
  return ls11::finish_open(opened, ls11::open_path(path, *opened, reason), archive);
}

ls11_status ls11_open(const char* path, ls11_archive** archive) {
  return ls11_open_with_reason(path, archive, nullptr);
}

ls11_status ls11_open_memory_with_reason(const void* data, size_t size, ls11_archive** archive,
                                         ls11_reason* reason) {
  if (archive) *archive = nullptr;
  if (!archive || (!data && size != 0)) return ls11::argument_error(reason);
  ls11_archive* opened = new (std::nothrow) ls11_archive;
  if (!opened) return ls11::no_memory(reason);
  opened->memory = static_cast<const uint8_t*>(data);
  return ls11::finish_open(opened,
                           read_container_memory(opened->memory, size, opened->container, reason),
                           archive);
}

ls11_status ls11_open_memory(const void* data, size_t size, ls11_archive** archive) {
  return ls11_open_memory_with_reason(data, size, archive, nullptr);
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

ls11_status ls11_read_entry_to(ls11_archive* archive, uint32_t index, ls11_write_fn write,
                               void* context, ls11_reason* reason) {
  ls11::set_reason(reason, LS11_REASON_NONE);
  if (!archive || !write) return ls11::argument_error(reason);
  const ls11::Container& container = archive->container;
  if (index >= container.count) {
    ls11::set_reason(reason, LS11_REASON_NO_SUCH_ENTRY, index, 0, container.count);
    return LS11_ERR_ARGUMENT;
  }
  const ls11::BlockSource source{archive->file.get(), archive->memory, &archive->buffers};
  const uint8_t* data = nullptr;
  const ls11_status status = ls11::read_entry(source, container, index, data, reason);
  if (status != LS11_OK) return status;
  if (!ls11::hand_to_caller(write, context, data, container.entries[index].unpacked_size)) {
    ls11::set_reason(reason, LS11_REASON_WRITE_REFUSED, index);
    return LS11_ERR_WRITE;
  }
  return LS11_OK;
}

}  // extern "C"

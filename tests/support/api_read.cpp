#include "support/api_read.h"

#include <memory>
#include <new>

#include "ls11.h"

namespace {

void read_entries(ls11_archive* archive, ApiRead& read) {
  for (uint32_t i = 0; i < ls11_entry_count(archive); ++i) {
    ls11_entry entry;
    read.status = ls11_get_entry(archive, i, &entry);
    if (read.status != LS11_OK) return;
    // Exactly the entry's size, so that a sanitizer build catches a write
    // past it; an untouched allocation costs no memory however large the
    // size a damaged table claims.
    std::unique_ptr<uint8_t[]> out(new (std::nothrow) uint8_t[entry.unpacked_size]);
    if (!out) {
      read.status = LS11_ERR_NO_MEMORY;
      return;
    }
    read.status = ls11_read_entry(archive, i, out.get(), entry.unpacked_size);
    if (read.status != LS11_OK) return;
    read.output.insert(read.output.end(), out.get(), out.get() + entry.unpacked_size);
  }
}

ApiRead finish(ls11_status opened, ls11_archive* archive) {
  ApiRead read;
  read.open_status = read.status = opened;
  if (opened == LS11_OK) read_entries(archive, read);
  ls11_close(archive);
  return read;
}

}  // namespace

ApiRead api_read_memory(const uint8_t* data, size_t size) {
  ls11_archive* archive = nullptr;
  const ls11_status opened = ls11_open_memory(data, size, &archive);
  return finish(opened, archive);
}

ApiRead api_read_path(const std::string& path) {
  ls11_archive* archive = nullptr;
  const ls11_status opened = ls11_open(path.c_str(), &archive);
  return finish(opened, archive);
}

int collect(void* context, const void* data, size_t size) {
  Collected& c = *static_cast<Collected*>(context);
  if (size == 0 || c.bytes.size() + size > c.refuse_after) return 1;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  c.bytes.insert(c.bytes.end(), bytes, bytes + size);
  ++c.pieces;
  return 0;
}

int place(void* context, uint64_t offset, const void* data, size_t size) {
  Placed& p = *static_cast<Placed*>(context);
  if (size == 0 || p.total + size > p.refuse_after) return 1;
  if (p.bytes.size() < offset + size) {
    p.bytes.resize(offset + size);
    p.written.resize(offset + size);
  }
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) {
    p.twice += p.written[offset + i];
    p.written[offset + i] = 1;
    p.bytes[offset + i] = bytes[i];
  }
  p.backward += offset < p.end;
  p.end = offset + size;
  p.total += size;
  return 0;
}

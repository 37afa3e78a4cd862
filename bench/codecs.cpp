#include "codecs.h"

#include <libdeflate.h>
#include <lz4.h>
#include <zlib.h>
#include <zstd.h>

#include <memory>

namespace {

bool zlib_compress(const Bytes& in, int level, Bytes& out) {
  z_stream zs{};
  if (deflateInit2(&zs, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  out.resize(deflateBound(&zs, static_cast<uLong>(in.size())));
  zs.next_in = const_cast<Bytef*>(in.data());
  zs.avail_in = static_cast<uInt>(in.size());
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  const bool ok = deflate(&zs, Z_FINISH) == Z_STREAM_END;
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return ok;
}

// One inflater for the whole run, reset per block, as a program decoding many
// entries would keep it.
z_stream* shared_inflater() {
  static z_stream zs{};
  static const bool ready = inflateInit2(&zs, -15) == Z_OK;
  return ready ? &zs : nullptr;
}

bool zlib_decompress(const Bytes& in, uint8_t* out, size_t out_size) {
  z_stream* zs = shared_inflater();
  if (zs == nullptr || inflateReset(zs) != Z_OK) return false;
  zs->next_in = const_cast<Bytef*>(in.data());
  zs->avail_in = static_cast<uInt>(in.size());
  zs->next_out = out;
  zs->avail_out = static_cast<uInt>(out_size);
  return inflate(zs, Z_FINISH) == Z_STREAM_END && zs->total_out == out_size;
}

bool libdeflate_compress(const Bytes& in, int level, Bytes& out) {
  std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> c(
      libdeflate_alloc_compressor(level), libdeflate_free_compressor);
  if (!c) return false;
  out.resize(libdeflate_deflate_compress_bound(c.get(), in.size()));
  const size_t n =
      libdeflate_deflate_compress(c.get(), in.data(), in.size(), out.data(), out.size());
  out.resize(n);
  return n != 0 || in.empty();
}

bool libdeflate_decompress(const Bytes& in, uint8_t* out, size_t out_size) {
  static libdeflate_decompressor* const d = libdeflate_alloc_decompressor();
  size_t produced = 0;
  return d != nullptr &&
         libdeflate_deflate_decompress(d, in.data(), in.size(), out, out_size, &produced) ==
             LIBDEFLATE_SUCCESS &&
         produced == out_size;
}

bool lz4_compress(const Bytes& in, int, Bytes& out) {
  out.resize(static_cast<size_t>(LZ4_compressBound(static_cast<int>(in.size()))));
  const int n = LZ4_compress_default(reinterpret_cast<const char*>(in.data()),
                                     reinterpret_cast<char*>(out.data()),
                                     static_cast<int>(in.size()), static_cast<int>(out.size()));
  out.resize(static_cast<size_t>(n > 0 ? n : 0));
  return n > 0 || in.empty();
}

bool lz4_decompress(const Bytes& in, uint8_t* out, size_t out_size) {
  return LZ4_decompress_safe(reinterpret_cast<const char*>(in.data()), reinterpret_cast<char*>(out),
                             static_cast<int>(in.size()),
                             static_cast<int>(out_size)) == static_cast<int>(out_size);
}

bool zstd_compress(const Bytes& in, int level, Bytes& out) {
  out.resize(ZSTD_compressBound(in.size()));
  const size_t n = ZSTD_compress(out.data(), out.size(), in.data(), in.size(), level);
  if (ZSTD_isError(n)) return false;
  out.resize(n);
  return true;
}

bool zstd_decompress(const Bytes& in, uint8_t* out, size_t out_size) {
  static ZSTD_DCtx* const d = ZSTD_createDCtx();
  return d != nullptr && ZSTD_decompressDCtx(d, out, out_size, in.data(), in.size()) == out_size;
}

}  // namespace

const Codec kZlib6 = {"zlib", 6, zlib_compress, zlib_decompress};
const Codec kLibdeflate6 = {"libdeflate", 6, libdeflate_compress, libdeflate_decompress};
const Codec kLz4 = {"lz4", 1, lz4_compress, lz4_decompress};
const Codec kZstd3 = {"zstd", 3, zstd_compress, zstd_decompress};
const Codec kZlib9 = {"zlib", 9, zlib_compress, zlib_decompress};
const Codec kLibdeflate12 = {"libdeflate", 12, libdeflate_compress, libdeflate_decompress};

// ls11 list: what a file holds, entry by entry, read from its table alone.
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/console.h"
#include "ls11/commands.h"
#include "ls11/inputs.h"

namespace {

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

std::string format(const char* pattern, ...) {
  char line[256];
  va_list args;
  va_start(args, pattern);
  std::vsnprintf(line, sizeof line, pattern, args);
  va_end(args);
  return line;
}

// Packed size as a percentage of the unpacked size; "-" for an empty entry.
std::string ratio_text(uint64_t packed, uint64_t unpacked) {
  if (unpacked == 0) return "-";
  return format("%.1f%%", 100.0 * static_cast<double>(packed) / static_cast<double>(unpacked));
}

std::string json_ratio(uint64_t packed, uint64_t unpacked) {
  if (unpacked == 0) return "null";
  return format("%.4f", static_cast<double>(packed) / static_cast<double>(unpacked));
}

std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      out += format("\\u%04x", u);
    } else {
      out += c;
    }
  }
  return out + "\"";
}

uint64_t total_packed(const Container& c) {
  uint64_t total = 0;
  for (uint32_t i = 0; i < c.count; ++i) total += c.entries[i].packed_size;
  return total;
}

std::string table_text(const std::string& path, const Container& c) {
  std::string out = path + format(": LS%d, %" PRIu32 " %s\n", c.version, c.count,
                                  c.count == 1 ? "entry" : "entries");
  out += format("%7s %10s %10s %10s  %-10s %7s\n", "entry", "offset", "packed", "unpacked", "kind",
                "ratio");
  for (uint32_t i = 0; i < c.count; ++i) {
    const Entry& e = c.entries[i];
    out += format("%7" PRIu32 " %10" PRIu32 " %10" PRIu32 " %10" PRIu32 "  %-10s %7s\n", i,
                  e.data_offset, e.packed_size, e.unpacked_size,
                  entry_is_stored(e) ? "stored" : "compressed",
                  ratio_text(e.packed_size, e.unpacked_size).c_str());
  }
  const uint64_t packed = total_packed(c);
  out += format("%7s %10s %10" PRIu64 " %10" PRIu64 "  %-10s %7s\n", "total", "", packed,
                c.total_unpacked, "", ratio_text(packed, c.total_unpacked).c_str());
  return out;
}

std::string json_text(const std::string& path, const Container& c) {
  std::string out = "  {\"file\": " + json_string(path) + format(", \"version\": %d", c.version) +
                    format(", \"count\": %" PRIu32 ", \"entries\": [", c.count);
  for (uint32_t i = 0; i < c.count; ++i) {
    const Entry& e = c.entries[i];
    out += format("%s\n    {\"index\": %" PRIu32 ", \"offset\": %" PRIu32 ", \"packed_size\": %" PRIu32
                  ", \"unpacked_size\": %" PRIu32 ", \"stored\": %s, \"ratio\": %s}",
                  i == 0 ? "" : ",", i, e.data_offset, e.packed_size, e.unpacked_size,
                  entry_is_stored(e) ? "true" : "false",
                  json_ratio(e.packed_size, e.unpacked_size).c_str());
  }
  const uint64_t packed = total_packed(c);
  out += format("],\n   \"total_packed\": %" PRIu64 ", \"total_unpacked\": %" PRIu64
                ", \"ratio\": %s}",
                packed, c.total_unpacked, json_ratio(packed, c.total_unpacked).c_str());
  return out;
}

}  // namespace

int run_list(const Options& options) {
  int status = kExitOk;
  std::string json = "[";
  bool first = true;
  for (const std::string& path : options.operands) {
    FilePtr file = make_file_ptr(nullptr);
    Container container;
    if (!open_container(path, file, container)) {
      status = kExitFailed;
      continue;
    }
    if (options.json) {
      json += first ? "\n" : ",\n";
      json += json_text(path, container);
    } else {
      if (!first) print_text("\n");
      print_text(table_text(path, container).c_str());
    }
    first = false;
  }
  if (options.json) print_text((json + (first ? "]\n" : "\n]\n")).c_str());
  return status;
}

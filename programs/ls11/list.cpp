// ls11 list: what a file holds, entry by entry, read from its table alone
// and printed as it goes, so memory stays near the table's own size.
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "ls11/archive.h"
#include "ls11/commands.h"
#include "ls11/json.h"
#include "ls11/report.h"
#include "ls11/text_escape.h"

namespace ls11 {

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

uint64_t total_packed(const ls11_archive* archive) {
  uint64_t total = 0;
  for (uint32_t i = 0; i < ls11_entry_count(archive); ++i)
    total += entry_at(archive, i).packed_size;
  return total;
}

// The table as text: a heading, one line per entry as it is read, totals.
void print_table(const std::string& path, const ls11_archive* archive) {
  const uint32_t count = ls11_entry_count(archive);
  print_result(printable(path) + format(": LS%d, %" PRIu32 " %s\n", ls11_format(archive), count,
                                        count == 1 ? "entry" : "entries"));
  print_result(format("%7s %10s %10s %10s  %-10s %7s\n", "entry", "offset", "packed", "unpacked",
                      "kind", "ratio"));
  for (uint32_t i = 0; i < count; ++i) {
    const ls11_entry e = entry_at(archive, i);
    print_result(format("%7" PRIu32 " %10" PRIu32 " %10" PRIu32 " %10" PRIu32 "  %-10s %7s\n", i,
                        e.data_offset, e.packed_size, e.unpacked_size,
                        is_stored(e) ? "stored" : "compressed",
                        ratio_text(e.packed_size, e.unpacked_size).c_str()));
  }
  const uint64_t packed = total_packed(archive);
  const uint64_t unpacked = total_unpacked(archive);
  print_result(format("%7s %10s %10" PRIu64 " %10" PRIu64 "  %-10s %7s\n", "total", "", packed,
                      unpacked, "", ratio_text(packed, unpacked).c_str()));
}

// The same as one JSON object. A name that is not valid UTF-8 is given
// with U+FFFD for each stray byte, and its bytes in hexadecimal beside it.
void print_json(const std::string& path, const ls11_archive* archive) {
  const uint32_t count = ls11_entry_count(archive);
  print_result("  {" + json_file_name("file", path) +
               format(", \"version\": %d, \"count\": %" PRIu32 ", \"entries\": [",
                      ls11_format(archive), count));
  for (uint32_t i = 0; i < count; ++i) {
    const ls11_entry e = entry_at(archive, i);
    print_result(format("%s\n    {\"index\": %" PRIu32 ", \"offset\": %" PRIu32
                        ", \"packed_size\": %" PRIu32 ", \"unpacked_size\": %" PRIu32
                        ", \"stored\": %s, \"ratio\": %s}",
                        i == 0 ? "" : ",", i, e.data_offset, e.packed_size, e.unpacked_size,
                        is_stored(e) ? "true" : "false",
                        json_ratio(e.packed_size, e.unpacked_size).c_str()));
  }
  const uint64_t packed = total_packed(archive);
  const uint64_t unpacked = total_unpacked(archive);
  print_result(format("],\n   \"total_packed\": %" PRIu64 ", \"total_unpacked\": %" PRIu64
                      ", \"ratio\": %s}",
                      packed, unpacked, json_ratio(packed, unpacked).c_str()));
}

}  // namespace

int run_list(const Options& options) {
  int status = kExitOk;
  bool first = true;
  if (options.json) print_result("[");
  for (const std::string& path : options.operands) {
    Archive archive;
    if (!open_archive(path, archive)) {
      status = kExitFailed;
      continue;
    }
    if (options.json) {
      print_result(first ? "\n" : ",\n");
      print_json(path, archive.get());
    } else {
      if (!first) print_result("\n");
      print_table(path, archive.get());
    }
    first = false;
  }
  if (options.json) print_result(first ? "]\n" : "\n]\n");
  if (options.recursive && !options.json && !options.quiet) {
    std::string note = first ? "" : "\n";
    note +=
        std::to_string(options.skipped) + (options.skipped == 1 ? " other file" : " other files");
    print_result(note + " skipped (not LS11)\n");
  }
  return status;
}

}  // namespace ls11

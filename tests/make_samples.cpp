// Writes the bundled sample files and the bytes each must decode to:
//   make_samples DIR
#include <cstdio>
#include <string>

#include "support/ls11_writer.h"

namespace {

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Literals for every byte, with a back-reference wherever the previous
// `period` bytes repeat for at least three bytes.
TestEntry periodic_entry(const std::string& data, uint32_t period) {
  BitWriter w;
  size_t i = 0;
  while (i < data.size()) {
    size_t run = 0;
    while (i >= period && i + run < data.size() && data[i + run] == data[i + run - period]) ++run;
    if (run >= 3) {
      put_match(w, period, static_cast<uint32_t>(run));
      i += run;
    } else {
      put_literal(w, static_cast<uint8_t>(data[i++]));
    }
  }
  return compressed_entry(w, static_cast<uint32_t>(data.size()));
}

bool write_sample(const std::string& dir, const std::string& name, const std::vector<TestEntry>& entries,
                  char version, const std::string& expected) {
  return write_file_bytes(dir + "/" + name + ".LS11", build_file(entries, version)) &&
         write_file_bytes(dir + "/" + name + ".expected", text(expected));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_samples DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  const std::string row = "ID  NAME      HP   MP\n";
  const std::string table = row + row + row + "01  Alice     120  40\n";
  const std::string grid = std::string(16, '.') + std::string(16, '#') + std::string(16, '.') + std::string(16, '#');
  const bool ok =
      write_sample(dir, "greeting", {stored_entry(text("Hello, ")), periodic_entry("LS11 LS11 LS11 LS11!\n", 5)}, '1',
                   "Hello, LS11 LS11 LS11 LS11!\n") &&
      write_sample(dir, "table", {periodic_entry(table, static_cast<uint32_t>(row.size()))}, '2', table) &&
      write_sample(dir, "grid", {periodic_entry(grid, 32), stored_entry(text("\x01\x02\x03"))}, '0',
                   grid + "\x01\x02\x03");
  if (!ok) std::fprintf(stderr, "make_samples: cannot write to %s\n", dir.c_str());
  return ok ? 0 : 1;
}

// Writes the bundled sample files, packed with the encoder, and the bytes
// each must decode to:
//   make_samples DIR
// The inputs are made here, so the samples can be rebuilt byte for byte.
#include <cstdio>
#include <string>
#include <vector>

#include "container/write_file.h"
#include "support/ls11_writer.h"

using namespace ls11;

namespace {

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A roster as a game keeps it: fixed-width columns of names and numbers.
Bytes roster_table() {
  static const char* const names[] = {"Oda Nobunaga",  "Takeda Shingen",    "Uesugi Kenshin",
                                      "Mori Motonari", "Imagawa Yoshimoto", "Hojo Ujiyasu",
                                      "Date Masamune", "Shimazu Yoshihisa"};
  std::string out = "ID   NAME                 CLAN   LDR  WAR  INT  POL\n";
  for (int i = 0; i < 48; ++i) {
    char row[80];
    std::snprintf(row, sizeof row, "%03d  %-20s %-5d  %3d  %3d  %3d  %3d\n", i + 1, names[i % 8],
                  i % 8 + 1, 40 + (i * 37) % 60, 30 + (i * 53) % 70, 20 + (i * 29) % 80,
                  25 + (i * 61) % 75);
    out += row;
  }
  return text(out);
}

// Fixed 24-byte records: a little-endian id, a zero-padded name, stats and
// flags, as in a saved game.
Bytes record_file() {
  static const char* const items[] = {"katana", "yari", "teppo", "tea bowl", "horse", "scroll"};
  Bytes out;
  for (uint32_t i = 0; i < 80; ++i) {
    out.push_back(static_cast<uint8_t>(i));
    out.push_back(static_cast<uint8_t>(i >> 8));
    const std::string name = items[i % 6];
    for (size_t c = 0; c < 12; ++c)
      out.push_back(c < name.size() ? static_cast<uint8_t>(name[c]) : 0);
    for (uint32_t s = 0; s < 8; ++s) out.push_back(static_cast<uint8_t>((i * 7 + s * 13) % 100));
    out.push_back(i % 5 == 0 ? 0x80 : 0x00);
    out.push_back(0xFF);
  }
  return out;
}

// A 64 x 40 picture of palette indices: a sky gradient, a sun at column
// `sun_x` and hills.
Bytes picture(int sun_x) {
  Bytes out;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 64; ++x) {
      uint8_t colour = static_cast<uint8_t>(16 + y / 5);
      if ((x - sun_x) * (x - sun_x) + (y - 10) * (y - 10) < 36) colour = 14;
      if (y > 28 - ((x / 8) % 3) * 2) colour = static_cast<uint8_t>(2 + (x + y) % 2);
      out.push_back(colour);
    }
  }
  return out;
}

bool write_sample(const std::string& dir, const std::string& name, int version,
                  const std::vector<Bytes>& entries) {
  std::vector<BlockView> blocks;
  Bytes expected;
  for (const Bytes& e : entries) {
    blocks.push_back(BlockView{e.data(), static_cast<uint32_t>(e.size())});
    expected.insert(expected.end(), e.begin(), e.end());
  }
  const std::string path = dir + "/" + name + ".LS11";
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  const bool packed = pack_file(out, version, LS11_LEVEL_BEST, 1, blocks.data(),
                                static_cast<uint32_t>(blocks.size()));
  return std::fclose(out) == 0 && packed &&
         write_file_bytes(dir + "/" + name + ".expected", expected);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_samples DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  // The records' 4-byte trailer (a checksum, say) comes out stored: bytes
  // the rest of the file never uses cost 16 bits each as literals.
  const bool ok =
      write_sample(dir, "greeting", 11, {text("Hello, "), text("LS11 LS11 LS11 LS11!\n")}) &&
      write_sample(dir, "table", 11, {roster_table()}) &&
      write_sample(dir, "records", 12, {record_file(), Bytes{0xA7, 0xC3, 0xE9, 0xB5}}) &&
      write_sample(dir, "grid", 10, {picture(48), picture(20)});
  if (!ok) std::fprintf(stderr, "make_samples: cannot write to %s\n", dir.c_str());
  return ok ? 0 : 1;
}

// Writes the seed corpus: small inputs for each fuzz target, built with the
// tests' LS11 writer, that reach every branch of the decoder and of the
// conversion at least once. Usage: make_fuzz_corpus DIR (DIR/<target>/ must
// exist). The output is the same on every run.
#include <algorithm>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "codec/code_cost.h"
#include "codec/shortest_path_parse.h"
#include "support/ls11_writer.h"

namespace {

struct Stream {
  BitWriter bits;
  Bytes decoded;
};

// A valid stream of literals and back-references, short and long, near and
// far, overlapping or not, of about `size` decoded bytes.
Stream random_stream(std::mt19937& rng, const Bytes& dictionary, size_t size) {
  Stream s;
  while (s.decoded.size() < size) {
    if (s.decoded.empty() || rng() % 3 == 0) {
      const uint8_t index = static_cast<uint8_t>(rng() % (rng() % 2 ? 8 : 256));
      put_literal(s.bits, index);
      s.decoded.push_back(dictionary[index]);
    } else {
      const size_t reach = rng() % 2 ? 16 : s.decoded.size();
      const uint32_t distance =
          1 + static_cast<uint32_t>(rng() % std::min(s.decoded.size(), reach));
      const uint32_t length = 3 + static_cast<uint32_t>(rng() % (rng() % 4 ? 20 : 300));
      put_match(s.bits, distance, length);
      for (uint32_t i = 0; i < length; ++i)
        s.decoded.push_back(s.decoded[s.decoded.size() - distance]);
    }
  }
  return s;
}

Bytes shuffled_dictionary(std::mt19937& rng) {
  Bytes d = identity_dictionary();
  for (size_t i = 255; i > 0; --i) std::swap(d[i], d[rng() % (i + 1)]);
  return d;
}

// The decode_block target's input: unpacked size, dictionary, packed bytes.
Bytes block_input(uint32_t unpacked_size, const Bytes& dictionary, const Bytes& packed) {
  Bytes in = {static_cast<uint8_t>(unpacked_size), static_cast<uint8_t>(unpacked_size >> 8)};
  in.insert(in.end(), dictionary.begin(), dictionary.end());
  in.insert(in.end(), packed.begin(), packed.end());
  return in;
}

Bytes codes(const std::vector<uint32_t>& values, unsigned trailing_ones = 0) {
  BitWriter w;
  for (uint32_t v : values) put_value(w, v);
  put_bits(w, ~uint64_t{0}, trailing_ones);
  return w.bytes;
}

bool emit(const std::string& dir, const char* name, const Bytes& bytes) {
  const std::string path = dir + "/" + name;
  if (write_file_bytes(path, bytes)) return true;
  std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return false;
}

bool write_decode_block_seeds(const std::string& dir) {
  std::mt19937 rng(11);
  const Bytes identity = identity_dictionary();
  Bytes ab(256, 0);
  ab[0] = 0x41;
  ab[1] = 0x42;
  const Stream mixed = random_stream(rng, identity, 3000);
  const Bytes shuffled = shuffled_dictionary(rng);
  const Stream wide = random_stream(rng, shuffled, 6000);
  bool ok = true;
  ok &= emit(dir, "worked_example_ab", block_input(6, ab, {0x1F, 0xE0, 0x44}));
  ok &= emit(dir, "worked_example_abc",
             block_input(10, identity, {0xFA, 0x3F, 0xA4, 0xFA, 0x5F, 0xE0, 0x59, 0xF9, 0xA0}));
  ok &= emit(dir, "mixed_stream",
             block_input(static_cast<uint32_t>(mixed.decoded.size()), identity, mixed.bits.bytes));
  ok &= emit(dir, "shuffled_dictionary",
             block_input(static_cast<uint32_t>(wide.decoded.size()), shuffled, wide.bits.bytes));
  ok &= emit(dir, "truncated_stream",
             block_input(static_cast<uint32_t>(mixed.decoded.size()), identity,
                         Bytes(mixed.bits.bytes.begin(), mixed.bits.bytes.end() - 1)));
  ok &= emit(dir, "distance_one_run", block_input(8000, identity, codes({7, 257, 7996})));
  ok &= emit(dir, "distance_before_start", block_input(20, identity, codes({1, 2, 259, 5})));
  ok &= emit(dir, "length_past_end", block_input(20, identity, codes({1, 257, 17})));
  ok &= emit(dir, "value_256", block_input(20, identity, codes({1, 256, 0})));
  ok &= emit(dir, "longest_prefix", block_input(20, identity, codes({1, 0xFFFFFFFDu, 0})));
  ok &= emit(dir, "one_bit_run", block_input(20, identity, codes({1, 2}, 40)));
  ok &= emit(dir, "empty_block", block_input(0, identity, {}));
  // A length whose code is too long for the fast loop's one refill, while
  // input is left for that loop: read bit by bit there, then too long for
  // the block, or with too many leading ones to be a code at all.
  Bytes long_length = codes({1, 257, 0xFFFFFFF0u});
  Bytes endless_length = codes({1, 257}, 40);
  long_length.resize(long_length.size() + 24, 0);
  endless_length.resize(endless_length.size() + 24, 0);
  ok &= emit(dir, "long_length_in_fast_loop", block_input(100, identity, long_length));
  ok &= emit(dir, "endless_length_in_fast_loop", block_input(100, identity, endless_length));
  // The same with the long length the last code, 2 or 3 bytes from the end
  // once the fast loop has refilled for it: its number is read byte by byte.
  Bytes late_length = codes({255, 255, 257, 0x7FFFFFFEu});
  late_length.resize(late_length.size() + 2, 0);
  ok &= emit(dir, "long_length_2_bytes_from_the_end", block_input(100, identity, late_length));
  late_length.push_back(0);
  ok &= emit(dir, "long_length_3_bytes_from_the_end", block_input(100, identity, late_length));
  // The fast loop's other ways out: a distance code too long for it, and
  // the block full while input is left; and a run copied in the tail.
  Bytes long_distance = codes({1, 0x3FFFFFFEu, 0});
  long_distance.resize(long_distance.size() + 24, 0);
  ok &= emit(dir, "long_distance_in_fast_loop", block_input(100, identity, long_distance));
  ok &= emit(dir, "block_full_before_the_stream_ends",
             block_input(20, identity, codes(std::vector<uint32_t>(40, 255))));
  ok &= emit(dir, "distance_one_in_the_tail", block_input(6, identity, codes({7, 257, 2})));
  return ok;
}

bool write_conversion_seeds(const std::string& dir) {
  std::mt19937 rng(12);
  const Bytes dictionary = shuffled_dictionary(rng);
  const Stream first = random_stream(rng, dictionary, 1500);
  const Stream second = random_stream(rng, dictionary, 900);
  Bytes text;
  for (int i = 0; i < 40; ++i) text.push_back(static_cast<uint8_t>("stored block bytes "[i % 19]));
  const std::vector<TestEntry> mixed = {
      compressed_entry(first.bits, static_cast<uint32_t>(first.decoded.size())), stored_entry(text),
      compressed_entry(second.bits, static_cast<uint32_t>(second.decoded.size())),
      stored_entry({})};
  std::vector<TestEntry> out_of_order = mixed;
  out_of_order[0].fixed_offset = true;
  out_of_order[0].data_offset = 276 + 12 * 4;
  out_of_order[1].fixed_offset = true;
  out_of_order[1].data_offset = 276 + 12 * 4;  // the same bytes again, read as a stored block
  out_of_order[1].unpacked_size = static_cast<uint32_t>(out_of_order[1].packed.size());
  std::vector<TestEntry> failing_third = mixed;
  failing_third[2].packed.back() ^= 0x5A;
  failing_third[2].packed.resize(failing_third[2].packed.size() / 2);
  std::vector<TestEntry> past_end = {stored_entry(text), stored_entry(text)};
  past_end[1].fixed_offset = true;
  past_end[1].data_offset = 276 + 24 + 60;  // runs 20 bytes past the end

  Bytes short_file = build_file({stored_entry(text)});
  short_file.resize(283);
  Bytes low_offset = build_file({stored_entry(text)});
  set_be32(low_offset, 280, 100);
  Bytes extra_byte = build_file(mixed);
  extra_byte.push_back(0);

  bool ok = true;
  ok &= emit(dir, "mixed_blocks", build_file(mixed));
  ok &= emit(dir, "version_10", build_file({stored_entry(text)}, '0', dictionary));
  ok &= emit(dir, "version_12", build_file(mixed, '2', dictionary));
  ok &= emit(dir, "empty_entry", build_file({stored_entry({})}));
  ok &= emit(dir, "out_of_order_offsets", build_file(out_of_order, '1', dictionary));
  ok &= emit(dir, "failing_third_block", build_file(failing_third, '1', dictionary));
  ok &= emit(dir, "block_past_end", build_file(past_end));
  ok &= emit(dir, "short_file", short_file);
  ok &= emit(dir, "low_first_offset", low_offset);
  ok &= emit(dir, "extra_byte", extra_byte);
  ok &= emit(dir, "not_ls11", Bytes{'L', 'S', '1', '3', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  return ok;
}

// The round-trip target's input: a selector byte (level, dictionary), a key
// byte, then the data.
Bytes roundtrip_input(uint8_t selector, const Bytes& data) {
  Bytes in = {selector, 0x5A};
  in.insert(in.end(), data.begin(), data.end());
  return in;
}

// Appends `count` bytes of 128..255, each making a 3-byte string not seen
// before in `data`, so that the fast level finds no match in them.
void append_unmatched(std::mt19937& rng, std::set<uint32_t>& seen, Bytes& data, size_t count) {
  while (count-- > 0) {
    uint8_t b = 0;
    uint32_t key = 0;
    do {
      b = static_cast<uint8_t>(128 + rng() % 128);
      const size_t n = data.size();
      key = n < 2 ? 0 : uint32_t{data[n - 2]} << 16 | uint32_t{data[n - 1]} << 8 | b;
    } while (key != 0 && !seen.insert(key).second);
    data.push_back(b);
  }
}

// Tokens the fast level writes for `data` with the identity dictionary.
uint64_t fast_tokens(const Bytes& data) {
  uint32_t bits[256];
  for (int b = 0; b < 256; ++b) bits[b] = ls11::value_bits(static_cast<uint64_t>(b));
  uint64_t tokens = 0;
  ls11::ParseMemory memory;
  ls11::parse_lazy(
      data.data(), static_cast<uint32_t>(data.size()), bits, false, memory,
      [](void* context, uint32_t, const ls11::Token*, uint32_t count) {
        *static_cast<uint64_t*>(context) += count;
        return true;
      },
      &tokens);
  return tokens;
}

// Inputs for the fast level's batches of 2^14 tokens. In the first three the
// block's literals pass its size before the batch is full, and its last
// token is a long match, a short one, or a literal before a longer match:
// each way of ending a batch stops the block there. In the last the tokens
// fill the batch exactly, leaving none for the end.
bool write_batch_seeds(const std::string& dir) {
  constexpr size_t kBatch = size_t{1} << 14;
  std::mt19937 rng(14);
  std::set<uint32_t> seen;
  Bytes unmatched;
  append_unmatched(rng, seen, unmatched, kBatch - 1);
  Bytes long_match = unmatched;
  long_match.insert(long_match.end(), unmatched.begin(), unmatched.begin() + 60);
  Bytes short_match = unmatched;
  short_match.insert(short_match.end(), unmatched.begin(), unmatched.begin() + 10);
  // Five bytes at 5001 come again at 10000, one match that takes four
  // tokens away; then the byte at 5000 and the 40 from 10000 on: 6 bytes
  // match at 5000, 40 from the next byte.
  Bytes before_longer = unmatched;
  append_unmatched(rng, seen, before_longer, 4);
  std::copy(before_longer.begin() + 10000, before_longer.begin() + 10005,
            before_longer.begin() + 5001);
  before_longer[5006] = static_cast<uint8_t>(before_longer[10005] ^ 1);
  before_longer.push_back(before_longer[5000]);
  before_longer.insert(before_longer.end(), before_longer.begin() + 10000,
                       before_longer.begin() + 10040);
  Bytes exact;
  while (exact.size() < kBatch) exact.push_back(static_cast<uint8_t>(rng() % 6));
  while (fast_tokens(exact) < kBatch) exact.push_back(static_cast<uint8_t>(rng() % 6));
  bool ok = fast_tokens(exact) == kBatch;
  for (Bytes* data : {&long_match, &short_match, &before_longer})
    append_unmatched(rng, seen, *data, 100);
  ok &= emit(dir, "fast_batch_ends_in_a_long_match", roundtrip_input(0, long_match));
  ok &= emit(dir, "fast_batch_ends_in_a_short_match", roundtrip_input(0, short_match));
  ok &= emit(dir, "fast_batch_ends_before_a_longer_match", roundtrip_input(0, before_longer));
  ok &= emit(dir, "fast_batch_filled_exactly", roundtrip_input(0, exact));
  return ok;
}

bool write_roundtrip_seeds(const std::string& dir) {
  std::mt19937 rng(13);
  Bytes text;
  const char* words[] = {"the ", "block ", "of ", "bytes ", "decodes ", "again ", "LS11 ", "\n"};
  while (text.size() < 3000) {
    for (const char* c = words[rng() % 8]; *c; ++c) text.push_back(static_cast<uint8_t>(*c));
  }
  Bytes runs;
  for (int i = 0; i < 25; ++i)
    runs.insert(runs.end(), 1 + rng() % 200, static_cast<uint8_t>(rng() % 4 ? 0 : rng()));
  Bytes periodic;
  for (size_t period : {1u, 2u, 3u, 7u, 100u}) {
    for (size_t i = 0; i < 600; ++i) periodic.push_back(static_cast<uint8_t>(i % period * 31));
  }
  Bytes noise(1024);
  for (uint8_t& b : noise) b = static_cast<uint8_t>(rng());
  Bytes high = text;
  high[1500] = 0xE9;

  bool ok = true;
  ok &= emit(dir, "text_fast_identity", roundtrip_input(0, text));
  ok &= emit(dir, "text_best_permuted", roundtrip_input(5, text));
  ok &= emit(dir, "runs_best_reversed", roundtrip_input(3, runs));
  ok &= emit(dir, "periodic_fast_permuted", roundtrip_input(4, periodic));
  ok &= emit(dir, "noise_best_identity", roundtrip_input(1, noise));
  ok &= emit(dir, "byte_missing_from_dictionary", roundtrip_input(7, high));
  ok &= emit(dir, "empty", roundtrip_input(0, {}));
  return ok && write_batch_seeds(dir);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_corpus DIR\n");
    return 1;
  }
  const std::string root = argv[1];
  const bool ok = write_decode_block_seeds(root + "/decode_block") &&
                  write_conversion_seeds(root + "/conversion") &&
                  write_roundtrip_seeds(root + "/roundtrip");
  return ok ? 0 : 1;
}

// The words for each reason: one table, a short description and a sentence
// whose fields are filled in from the reason's numbers.
#include <cinttypes>
#include <cstdio>

#include "ls11.h"

namespace ls11 {

namespace {

// In the sentences, {K} is the entry, {F} what was found, {E} what was
// expected and {B} the found number as four bytes in hexadecimal.
struct ReasonText {
  const char* description;
  const char* sentence;
};
constexpr ReasonText kReasonTexts[] = {
    {"no failure", "no failure"},
    {"cannot open the file", "cannot open the file"},
    {"cannot read the file", "cannot read the file"},
    {"empty file", "the file is empty"},
    {"shorter than a header", "the file is {F} bytes long, shorter than the {E}-byte header"},
    {"not an LS11 file", "the file starts with the bytes {B}, not LS10, LS11 or LS12"},
    {"header not padded with zeros", "byte {F} of the header is not zero (bytes 4 to 15 must be)"},
    {"file too long", "the file is {F} bytes long, longer than an LS11 file can be ({E})"},
    {"no entry table",
     "the file is {F} bytes long, too short for the header, the dictionary and "
     "one entry ({E} bytes)"},
    {"first offset not where the table ends",
     "entry 0's offset is {F}, where a table of entries cannot end (expected {E})"},
    {"entry table cut short", "the entry table is cut short: it needs {E} bytes, the file has {F}"},
    {"length does not match the table",
     "the file is {F} bytes long, but its entries add up to {E}"},
    {"block outside the file",
     "entry {K}'s block ends at byte {E}, past the end of the file ({F} bytes)"},
    {"block does not decode", "entry {K} does not decode"},
    {"not enough memory", "not enough memory"},
    {"entry too large", "entry {K} is {F} bytes, more than an entry can hold ({E})"},
    {"file too large", "the file would be {F} bytes, more than an LS11 file can hold ({E})"},
    {"no such entry", "there is no entry {K} (the file has {E})"},
    {"entry named twice", "entry {K} is replaced twice"},
    {"write refused", "the output took no more bytes"},
    {"invalid argument", "invalid argument"},
};
static_assert(sizeof kReasonTexts / sizeof kReasonTexts[0] == LS11_REASON_ARGUMENT + 1,
              "one text for every reason");
constexpr ReasonText kUnknown = {"unknown reason", "unknown reason"};

const ReasonText& reason_text(int code) {
  return code >= LS11_REASON_NONE && code <= LS11_REASON_ARGUMENT ? kReasonTexts[code] : kUnknown;
}

// Writes into the caller's buffer as far as it reaches, counting every
// byte the whole text takes.
struct TextOut {
  char* buffer;
  size_t size;
  size_t length;
  void add(const char* text) {
    for (; *text != 0; ++text, ++length) {
      if (length + 1 < size) buffer[length] = *text;
    }
  }
};

void add_sentence(const ls11_reason& reason, TextOut& out) {
  for (const char* p = reason_text(reason.code).sentence; *p != 0; ++p) {
    char field[24];
    // Every '{' in the table's sentences opens a one-letter field, so the
    // tests after the first never fail (their branches are not counted).
    if (p[0] != '{' || p[1] == 0 || p[2] != '}') {  // GCOVR_EXCL_BR_LINE
      const char one[2] = {*p, 0};
      out.add(one);
      continue;
    }
    const uint64_t value = p[1] == 'K'   ? reason.entry
                           : p[1] == 'E' ? reason.expected
                                         : reason.found;
    if (p[1] == 'B') {
      std::snprintf(field, sizeof field, "%02x %02x %02x %02x",
                    static_cast<unsigned>(value >> 24 & 255),
                    static_cast<unsigned>(value >> 16 & 255),
                    static_cast<unsigned>(value >> 8 & 255), static_cast<unsigned>(value & 255));
    } else {
      std::snprintf(field, sizeof field, "%" PRIu64, value);
    }
    out.add(field);
    p += 2;
  }
}

}  // namespace

}  // namespace ls11

extern "C" {

const char* ls11_reason_string(int code) { return ls11::reason_text(code).description; }

size_t ls11_reason_text(const ls11_reason* reason, char* buffer, size_t size) {
  if (!reason) return 0;
  ls11::TextOut out{buffer, buffer ? size : 0, 0};
  ls11::add_sentence(*reason, out);
  if (buffer && size != 0) buffer[out.length < size ? out.length : size - 1] = 0;
  return out.length;
}

}  // extern "C"

#include "container/status.h"

namespace ls11 {

namespace {

// Both wordings of every status, indexed by its value.
struct StatusText {
  const char* report;
  const char* description;
};
constexpr StatusText kStatusTexts[] = {
    {"OK.", "success"},
    {"Cannot open the encoded file!", "cannot open the file"},
    {"Cannot write the decoded file!", "cannot write the file"},
    {"Unsupported encoded file type!", "not an LS11 file, or its layout does not add up"},
    {"Failed to decode the file!", "a block lies outside the file or does not decode"},
    {"Not enough memory!", "not enough memory"},
    {"Invalid argument!", "invalid argument"},
    {"Too large for an LS11 file!", "too large for an LS11 file"},
};
static_assert(sizeof kStatusTexts / sizeof kStatusTexts[0] == LS11_ERR_TOO_LARGE + 1,
              "one text for every status");
constexpr StatusText kUnknown = {"Unknown status!", "unknown status"};

const StatusText& status_text(int status) {
  return status >= LS11_OK && status <= LS11_ERR_TOO_LARGE ? kStatusTexts[status] : kUnknown;
}

}  // namespace

const char* status_message(int status) { return status_text(status).report; }

const char* status_description(int status) { return status_text(status).description; }

}  // namespace ls11

#include "unls11/wildcard.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace ls11;

namespace {

TEST(Wildcard, DirectoryPartEndsAtLastSeparatorBeforeFirstWildcard) {
  const std::vector<std::pair<const char*, size_t>> cases = {
      {"*.LS11", 0},   {"data/*.LS11", 5},       {"data\\*.LS11", 5},
      {"C:*.LS11", 2}, {"C:\\games\\*.LS11", 9}, {"a/b\\c/x?.LS11", 6},
      {"sub*/x*", 0},  {"dir/sub*/x/*", 4},      {"1:*", 0},
      {"ab:*", 0},     {"/abs/path/?", 10},      {"no_wildcard/here", 12},
  };
  for (auto [pattern, expected] : cases) {
    EXPECT_EQ(directory_part_length(pattern), expected) << pattern;
  }
}

TEST(Wildcard, MatchesStarsAndQuestionMarks) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  };
  const std::vector<Case> cases = {
      {"*", "anything", true},
      {"*", ".hidden", true},
      {"*", "", true},
      {"*.LS11", "a.LS11", true},
      {"*.LS11", "a.LS11.DEC", false},
      {"*.LS11", ".LS11", true},
      {"a?c", "abc", true},
      {"a?c", "ac", false},
      {"a?c", "abbc", false},
      {"*a*b*", "xxaxxbxx", true},
      {"*a*b*", "xxbxxaxx", false},
      {"a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaa", false},
      {"[ab]*", "[ab]x", true},
      {"[ab]*", "a", false},
      {"?", "\xE3\x83\x87", true},
      {"??", "\xE3\x83\x87", false},
      {"*.ls11", "A.LS11", false},
      {"x*", "x", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(wildcard_match(c.pattern, c.name), c.matches) << c.pattern << " vs " << c.name;
  }
}

TEST(Wildcard, SortsCaseInsensitivelyWithLettersFoldedToLowerCase) {
  std::vector<std::string> names = {"b.LS11", "C.LS11", "a.LS11", "_x.LS11", "B.LS11", "A1", "a"};
  std::sort(names.begin(), names.end(), folded_name_less);
  // '_' (0x5F) sorts before the lower-case letters it is compared with.
  const std::vector<std::string> expected = {"_x.LS11", "a",      "a.LS11", "A1",
                                             "B.LS11",  "b.LS11", "C.LS11"};
  EXPECT_EQ(names, expected);
}

TEST(Wildcard, ArgumentsWithoutWildcardsOrMatchesStayAsTyped) {
  EXPECT_EQ(expand_argument("plain.LS11"), std::vector<std::string>{"plain.LS11"});
  EXPECT_EQ(expand_argument("/nonexistent-dir-ls11/*.LS11"),
            std::vector<std::string>{"/nonexistent-dir-ls11/*.LS11"});
  EXPECT_EQ(expand_arguments({"b", "/nonexistent-dir-ls11/?", "a"}),
            (std::vector<std::string>{"b", "/nonexistent-dir-ls11/?", "a"}));
}

}  // namespace

// Wildcard expansion of file arguments, done by the program itself so that
// a pattern behaves the same whether or not a shell expanded it (or quoted
// it) first.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ls11 {

bool has_wildcard(std::string_view argument);

// Length of a pattern's directory part: everything up to and including the
// last '/', '\\' or drive colon ("C:") before the first wildcard.
size_t directory_part_length(std::string_view pattern);

// Matches a name against a pattern where '*' stands for any run of
// characters and '?' for one character (one UTF-8 sequence); every other
// byte stands for itself.
bool wildcard_match(std::string_view pattern, std::string_view name);

// Orders names comparing byte by byte with ASCII letters folded to lower
// case; names equal under folding fall back to plain byte order.
bool folded_name_less(const std::string& a, const std::string& b);

// The paths one argument stands for: the argument itself when it has no
// wildcard or nothing matches, otherwise the directory part as typed
// followed by each matching entry's name ("." and ".." never), sorted.
std::vector<std::string> expand_argument(const std::string& argument);

// A new vector with each argument replaced by the paths it stands for, in
// the arguments' order.
std::vector<std::string> expand_arguments(const std::vector<std::string>& arguments);

}  // namespace ls11

// Outputs that appear whole or not at all: the bytes go to a temporary file
// beside the target, which is renamed over the target only once everything
// is written and closed. A failure removes the temporary file and leaves
// any existing target as it was.
#pragma once

#include <cstdio>
#include <string>

struct SafeOutput {
  std::string target;
  std::string temporary;
  std::FILE* file;  // null once committed or abandoned
};

// Whether a file (or anything else) exists at `path`.
bool path_exists(const std::string& path);

// Creates the temporary file for `target`. False when it cannot be created.
bool begin_output(const std::string& target, SafeOutput& output);

// Closes the temporary file and renames it to the target (replacing an
// existing one). False when the close or the rename fails; the temporary
// file is then removed.
bool commit_output(SafeOutput& output);

// Closes and removes the temporary file, if any.
void abandon_output(SafeOutput& output);

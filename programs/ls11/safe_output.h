// Outputs that appear whole or not at all: the bytes go to a temporary file
// beside the target, renamed to the target only once everything is written
// and closed. A failure, or an interrupt, removes the temporary file and
// leaves any existing target as it was.
//
// What may be replaced: without `replace` (--force) nothing, decided at
// the rename itself, so two runs racing for one name cannot both win; with
// it a regular file, whose permission bits the new file keeps, or a
// symbolic link (the link, never what it points at). Folders, devices,
// FIFOs and sockets are never replaced.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace ls11 {

struct SafeOutput {
  std::string target;
  std::string temporary;      // empty when there is none (committed, abandoned)
  std::FILE* file = nullptr;  // open while the bytes are written
  bool replace = false;
  bool replaced = false;      // the commit replaced an existing file
  size_t cleanup_slot = 0;
  std::string failure;        // why the last call failed, for report_error

  SafeOutput() = default;
  SafeOutput(const SafeOutput&) = delete;
  SafeOutput& operator=(const SafeOutput&) = delete;
  ~SafeOutput();
};

// Whether `target` may be written, decided before any work is done (the
// commit decides again): false, after saying why on standard error, when
// something is there and may not be replaced.
bool output_allowed(const std::string& target, bool replace);

// Creates the temporary file for `target`. False when it cannot be created.
bool begin_output(const std::string& target, SafeOutput& output, bool replace = false);

// Writes bytes to the temporary file.
bool write_output(SafeOutput& output, const void* data, size_t size);

// Ends the writing: the file gets the permission bits of the file it is to
// replace, and is closed. False when the close fails.
bool close_output(SafeOutput& output);

// close_output if it was not done, then the rename to the target. False
// when either fails; the temporary file is then removed.
bool commit_output(SafeOutput& output);

// Closes and removes the temporary file, if any.
void abandon_output(SafeOutput& output);

}  // namespace ls11

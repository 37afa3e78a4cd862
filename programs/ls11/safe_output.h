// Outputs that appear whole or not at all: the bytes go to a temporary file
// beside the target, renamed to the target only once everything is written
// and closed. A failure, or an interrupt, removes the temporary file and
// leaves any existing target as it was.
//
// What may be replaced: without `replace` (--force) nothing, decided at
// the rename itself, so two runs racing for one name cannot both win; with
// it a regular file, whose permission bits the new file keeps. A symbolic
// link to a regular file is written through: the file it points at is
// replaced, in its own folder, and the link stays, since a link is how a
// user gives a file a second name and expects writes to reach the file.
// Nothing replaces a link, a folder, a device, a FIFO or a socket.
//
// Where the caller allows streams, a target that reaches a pipe, a
// terminal or a character device (directly or through links), and "-" for
// standard output, is written straight to it, as a shell redirection
// would: nothing is renamed, no --force is needed, and a failure midway
// cannot take back what was written.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace ls11 {

struct SafeOutput {
  std::string target;
  std::string temporary;      // empty when there is none (committed, abandoned)
  std::FILE* file = nullptr;  // open while the bytes are written
  std::string destination;    // the file renamed over: the target, or where its link points
  bool replace = false;
  bool stream = false;    // written straight to the target, no temporary file
  bool replaced = false;  // the commit replaced an existing file
  size_t cleanup_slot = 0;
  std::string failure;  // why the last call failed, for report_error

  SafeOutput() = default;
  SafeOutput(const SafeOutput&) = delete;
  SafeOutput& operator=(const SafeOutput&) = delete;
  ~SafeOutput();
};

// Whether `target` may be written, decided before any work is done (the
// commit decides again): false, after saying why on standard error, when
// something is there and may not be replaced.
bool output_allowed(const std::string& target, bool replace, bool streams = false);

// False, after saying why on standard error, when `target` is also one of
// `inputs` that is not a regular file: a pipe or device that was read
// cannot take the edited bytes too.
bool output_is_not_an_input(const std::string& target, const std::vector<std::string>& inputs);

// Creates the temporary file for `target`, or opens the stream it reaches
// when `streams` allows. False when it cannot.
bool begin_output(const std::string& target, SafeOutput& output, bool replace = false,
                  bool streams = false);

// Writes bytes to the temporary file.
bool write_output(SafeOutput& output, const void* data, size_t size);

// Ends the writing: the file gets the permission bits of the file it is to
// replace, and is closed. False when the close fails.
bool close_output(SafeOutput& output);

// close_output if it was not done, then the rename to the target (for a
// stream: its close). False when either fails; the temporary file is then
// removed.
bool commit_output(SafeOutput& output);

// Closes and removes the temporary file, if any.
void abandon_output(SafeOutput& output);

}  // namespace ls11

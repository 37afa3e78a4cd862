// What an interrupt leaves behind: nothing of a run's unfinished work. The
// paths tracked here are removed when the process is stopped by SIGINT,
// SIGTERM or SIGHUP (Ctrl+C, Ctrl+Break or closing the console on Windows),
// files first, then folders, newest first; the process then exits with
// 128 + the signal's number (130 for Ctrl+C).
//
// The handler only removes paths and exits, which is safe at any moment: the
// list is never read while it is being changed, because an interrupt that
// arrives during a change waits until the change is complete.
#pragma once

#include <cstddef>
#include <string>

namespace ls11 {

// Installs the handlers; signals that were ignored when the process
// started stay ignored.
void install_interrupt_cleanup();

// Adds a file to remove on an interrupt, and gives the slot that untracks
// it. False when memory runs out. A file is tracked before it is created:
// removing a name not yet made is harmless.
bool track_file(const std::string& path, size_t& slot);

// Stops tracking a file (it was renamed into place, or removed).
void untrack_file(size_t slot);

// The same for a folder the run made, tracked once it is made (an empty
// folder left is harmless). Folders are removed after the files, the last
// made first, and only when empty.
bool track_folder(const std::string& path);
void untrack_folder(const std::string& path);

}  // namespace ls11

// What ls11 tells the user: its results on standard output, whose every
// write is checked, errors on standard error as "ls11: FILE: reason" (with
// control characters in names escaped), and a progress line for long work,
// shown when the command line asks for it (by default when standard error
// is a terminal).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ls11 {

void report_error(const std::string& file, const std::string& reason);

// `what` and the system's words for the errno value `error`: "cannot write
// the file: No space left on device".
std::string with_reason(const std::string& what, int error);

// Writes results to standard output. A failure is remembered for
// finish_standard_output; the text is dropped.
void print_result(const std::string& text);

// Writes bytes to standard output and flushes them; false, with the failure
// remembered, when they did not all reach it.
bool print_result_bytes(const void* data, size_t size);

// Flushes standard output. False, after saying why on standard error, when
// anything printed did not reach it (a full disk); a reader that went away
// (a broken pipe, with SIGPIPE ignored) ends the run quietly.
bool finish_standard_output();

bool stderr_is_terminal();
// Whether the progress line is shown; off until chosen.
void choose_progress(bool shown);

// Shows "ls11: LABEL: N%" on standard error, rewritten at most a few times
// a second; nothing when progress is not chosen.
void show_progress(const std::string& label, uint64_t done, uint64_t total);
// Shows "ls11: TEXT" the same way, for work whose progress is not known.
void show_activity(const std::string& text);
// Removes the progress line, if one is shown.
void end_progress();

}  // namespace ls11

// What ls11 tells the user besides its results: errors on standard error as
// "ls11: FILE: reason", and a progress line for long work, shown when the
// command line asks for it (by default when standard error is a terminal).
#pragma once

#include <cstdint>
#include <string>

void report_error(const std::string& file, const std::string& reason);

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

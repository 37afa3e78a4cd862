// Runs a tool as a separate process in a given folder and captures what it
// printed, so end-to-end tests can compare whole outputs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct ToolRun {
  std::string out;
  std::string err;
  int exit_status = -1;  // -1: did not exit normally
  long peak_kib = -1;    // peak resident memory (POSIX only)
};

ToolRun run_tool(const std::string& program, const std::vector<std::string>& arguments,
                 const std::string& folder);

// The same in two steps, for tests that act while the tool runs (two at
// once, or an interrupt). `stdout_path`, when given, receives standard
// output instead of ToolRun::out.
struct ToolProcess {
  intptr_t id = -1;  // the process id on POSIX, a process handle on Windows
  std::string capture;
  std::string out_path;
};
ToolProcess start_tool(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& folder, const std::string& stdout_path = "");
ToolRun finish_tool(ToolProcess& process);

// Makes a fresh empty folder under `parent` and puts its path in `folder`;
// false when none can be made there.
bool make_folder_under(const std::filesystem::path& parent, std::string& folder);
// A fresh empty folder under the system's temporary directory.
std::string make_temp_folder();
void remove_tree(const std::string& path);

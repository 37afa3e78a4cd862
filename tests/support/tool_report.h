// The standard output unls11 gives for a batch, built from the expected
// report lines, so end-to-end tests can compare whole outputs.
#pragma once

#include <string>
#include <vector>

struct ReportLine {
  std::string name;
  std::string message;
};

// One "name : message" line per file, then the summary line; a file counts
// as succeeded when its message is "OK.".
std::string expected_report(const std::vector<ReportLine>& lines);

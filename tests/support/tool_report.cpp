#include "support/tool_report.h"

std::string expected_report(const std::vector<ReportLine>& lines) {
  std::string out;
  size_t succeeded = 0;
  for (const ReportLine& line : lines) {
    out += line.name + " : " + line.message + "\n";
    if (line.message == "OK.") ++succeeded;
  }
  out += "\nTotal targets: " + std::to_string(lines.size()) +
         ", Succeeded: " + std::to_string(succeeded) +
         ", Failed: " + std::to_string(lines.size() - succeeded) + "\n";
  return out;
}

#include "support/convert_bytes.h"

#include <filesystem>

#include "support/allocation_probe.h"
#include "support/run_tool.h"
#include "unls11/convert_file.h"

using namespace ls11;

Conversion convert_bytes(const Bytes& file) {
  const std::string folder = make_temp_folder();
  const std::string input = folder + "/input.ls11";
  const std::string output = input + ".DEC";
  Conversion c;
  if (write_file_bytes(input, file)) {
    g_status = LS11_OK;
    reset_largest_array_allocation();
    c.succeeded = convert_file(input.c_str(), output.c_str());
    c.largest_array_allocation = largest_array_allocation();
    c.status = g_status;
    c.output_exists = std::filesystem::exists(output);
    c.output = read_file_bytes(output);
  }
  remove_tree(folder);
  return c;
}

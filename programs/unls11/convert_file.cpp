#include "unls11/convert_file.h"

#include "unls11/convert.h"

namespace ls11 {

int g_status = LS11_OK;

bool convert_file(const char* input_path, const char* output_path) {
  const ls11_status status = convert_to_file(input_path, output_path);
  if (status == LS11_OK) return true;
  g_status = status;
  return false;
}

}  // namespace ls11

// Paths in the tests are UTF-8 strings, as in the tools. std::filesystem
// reads a plain std::string in the system's narrow code page on Windows,
// which cannot hold every name, so conversions go through these.
#pragma once

#include <filesystem>
#include <string>

inline std::filesystem::path utf8_path(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string path_utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

#include "common/text.h"

#include <cstdio>
#include <cstring>
#include <vector>

std::string Formatted(const char* format, const std::string& text) {
  std::vector<char> buffer(std::strlen(format) + text.size() + 1);
  std::snprintf(buffer.data(), buffer.size(), format, text.c_str());
  return buffer.data();
}

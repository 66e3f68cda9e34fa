// Text helpers of the program's messages.
#pragma once
#include <string>

// `format` with its one "%s" replaced by `text` (as printf does, "%%" gives "%").
std::string Formatted(const char* format, const std::string& text);

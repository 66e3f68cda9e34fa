// Text for the record: code points made the program's 8-bit text. On Windows that
// is the ANSI code page (what the fields show); elsewhere ISO-8859-1. A character
// the 8-bit text cannot hold becomes "?".
#pragma once
#include <cstdint>
#include <string>
#include <vector>

std::string NarrowText(const std::vector<uint32_t>& codePoints);

// The 8-bit text of the formats that store it (ID3v1, RIFF INFO): on Windows the
// ANSI code page (what other programs of the system read and write there),
// elsewhere ISO-8859-1. The record's own text is UTF-8.
#pragma once
#include <string>

// UTF-8 as 8-bit text; a character the 8-bit text cannot hold becomes "?".
std::string NarrowText(const std::string& utf8);
// 8-bit text as UTF-8.
std::string WidenText(const std::string& eightBit);

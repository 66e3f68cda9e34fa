// Text helpers of the program's messages.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// `format` with its one "%s" replaced by `text` (as printf does, "%%" gives "%").
std::string Formatted(const char* format, const std::string& text);

// Text inside the program is UTF-8.
constexpr uint32_t kReplacementCharacter = 0xFFFD;
// UTF-8 as code points; every ill-formed sequence (the longest prefix that could
// have begun a valid one) becomes U+FFFD.
void DecodeUtf8(const uint8_t* s, size_t size, std::vector<uint32_t>& out);
std::vector<uint32_t> CodePointsOf(const std::string& utf8);
// Code points as UTF-8; a surrogate or a value above U+10FFFF becomes U+FFFD.
std::string Utf8Of(const std::vector<uint32_t>& codePoints);
// The number of characters (code points) of UTF-8 text.
size_t CharacterCount(const std::string& utf8);
// The text cut after `characters` characters (never inside one).
std::string CutToCharacters(const std::string& utf8, size_t characters);

#include "common/text.h"

#include <cstdio>
#include <cstring>
#include <vector>

std::string Formatted(const char* format, const std::string& text) {
  std::vector<char> buffer(std::strlen(format) + text.size() + 1);
  std::snprintf(buffer.data(), buffer.size(), format, text.c_str());
  return buffer.data();
}

void DecodeUtf8(const uint8_t* s, size_t size, std::vector<uint32_t>& out) {
  size_t i = 0;
  while (i < size) {
    const uint8_t lead = s[i];
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    size_t following;
    uint32_t cp;
    uint8_t low = 0x80, high = 0xBF;  // the range of the next byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      following = 1;
      cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      following = 2;
      cp = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;   // no overlong forms
      if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      following = 3;
      cp = lead & 0x07;
      if (lead == 0xF0) low = 0x90;   // no overlong forms
      if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
      out.push_back(kReplacementCharacter);
      ++i;
      continue;
    }
    size_t j = i + 1;
    bool valid = true;
    for (size_t k = 0; k < following; ++k, ++j) {
      if (j >= size || s[j] < low || s[j] > high) {
        valid = false;
        break;
      }
      cp = (cp << 6) | (s[j] & 0x3F);
      low = 0x80;
      high = 0xBF;
    }
    out.push_back(valid ? cp : kReplacementCharacter);
    i = j;
  }
}

std::vector<uint32_t> CodePointsOf(const std::string& utf8) {
  std::vector<uint32_t> out;
  DecodeUtf8(reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size(), out);
  return out;
}

std::string Utf8Of(const std::vector<uint32_t>& codePoints) {
  std::string out;
  for (uint32_t cp : codePoints) {
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = kReplacementCharacter;
    if (cp < 0x80) {
      out += char(cp);
    } else if (cp < 0x800) {
      out += char(0xC0 | (cp >> 6));
      out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += char(0xE0 | (cp >> 12));
      out += char(0x80 | ((cp >> 6) & 0x3F));
      out += char(0x80 | (cp & 0x3F));
    } else {
      out += char(0xF0 | (cp >> 18));
      out += char(0x80 | ((cp >> 12) & 0x3F));
      out += char(0x80 | ((cp >> 6) & 0x3F));
      out += char(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

std::string CutToCharacters(const std::string& utf8, size_t characters) {
  size_t count = 0;
  for (size_t i = 0; i < utf8.size(); ++i) {
    // A character begins at every byte that is not a continuation byte.
    if ((uint8_t(utf8[i]) & 0xC0) != 0x80 && count++ == characters) return utf8.substr(0, i);
  }
  return utf8;
}

size_t CharacterCount(const std::string& utf8) {
  size_t count = 0;
  for (char c : utf8) count += (uint8_t(c) & 0xC0) != 0x80;
  return count;
}

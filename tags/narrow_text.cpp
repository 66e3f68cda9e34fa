#include "tags/narrow_text.h"

#include <vector>

#include "common/text.h"

#ifdef _WIN32
#include <windows.h>

std::string NarrowText(const std::string& utf8) {
  std::wstring wide;
  // No code page holds a character beyond the first 65,536: one "?" each.
  for (uint32_t cp : CodePointsOf(utf8)) wide += wchar_t(cp && cp < 0x10000 ? cp : '?');
  if (wide.empty()) return std::string();
  // No best fit: a character the code page lacks is "?", not a look-alike.
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()),
                                    nullptr, 0, "?", nullptr);
  std::string out(size_t(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), &out[0], n,
                        "?", nullptr);
  return out;
}

std::string WidenText(const std::string& eightBit) {
  if (eightBit.empty()) return std::string();
  const int n = MultiByteToWideChar(CP_ACP, 0, eightBit.data(), int(eightBit.size()), nullptr, 0);
  std::wstring wide(size_t(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, eightBit.data(), int(eightBit.size()), &wide[0], n);
  std::vector<uint32_t> codePoints;
  for (size_t i = 0; i < wide.size(); ++i) {
    uint32_t unit = uint16_t(wide[i]);
    // The double-byte code pages (Japanese, Chinese, Korean) never give surrogates;
    // a pair is joined all the same.
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < wide.size() && uint16_t(wide[i + 1]) >= 0xDC00 &&
        uint16_t(wide[i + 1]) <= 0xDFFF)
      unit = 0x10000 + ((unit - 0xD800) << 10) + (uint16_t(wide[++i]) - 0xDC00);
    codePoints.push_back(unit);
  }
  return Utf8Of(codePoints);
}

#else

std::string NarrowText(const std::string& utf8) {
  std::string out;
  for (uint32_t cp : CodePointsOf(utf8)) out += (cp >= 1 && cp <= 0xFF) ? char(cp) : '?';
  return out;
}

std::string WidenText(const std::string& eightBit) {
  std::vector<uint32_t> codePoints(eightBit.begin(), eightBit.end());
  for (uint32_t& cp : codePoints) cp &= 0xFF;
  return Utf8Of(codePoints);
}

#endif

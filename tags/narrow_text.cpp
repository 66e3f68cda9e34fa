#include "tags/narrow_text.h"

#ifdef _WIN32
#include <windows.h>

std::string NarrowText(const std::vector<uint32_t>& codePoints) {
  std::wstring wide;
  // No code page holds a character beyond the first 65,536: one "?" each.
  for (uint32_t cp : codePoints) wide += wchar_t(cp && cp < 0x10000 ? cp : '?');
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

#else

std::string NarrowText(const std::vector<uint32_t>& codePoints) {
  std::string out;
  out.reserve(codePoints.size());
  for (uint32_t cp : codePoints) out += (cp >= 1 && cp <= 0xFF) ? char(cp) : '?';
  return out;
}

#endif

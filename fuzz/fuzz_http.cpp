// The HTTP response as a server sends it: the status line and header tests of the
// download, and what the version check reads from the text; also the same bytes as
// a URL.
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/http_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The client keeps at most 511 bytes, up to the first zero, for the version check.
  const std::string raw(reinterpret_cast<const char*>(data), size);
  const std::string response = raw.substr(0, raw.find('\0')).substr(0, 511);
  size_t start = 0;
  bool first = true;
  while (start < raw.size()) {
    size_t end = raw.find('\n', start);
    if (end == std::string::npos) end = raw.size();
    std::string line = raw.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > size_t(kHttpTextMax)) line.resize(kHttpTextMax);
    if (first) {
      IsSuccessStatus(line);
      first = false;
    } else {
      ContentLengthOf(line);
    }
    start = end + 1;
  }
  const int version = ServerVersion(response);
  std::string address;
  if (InfoAddress(response, &address) && version > 100) IsWebAddress(address);
  const UrlParts url = SplitUrl(raw);
  RequestText(url);
  if (url.hostText.size() > size_t(kHttpTextMax)) __builtin_trap();
  return 0;
}

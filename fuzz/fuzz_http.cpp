// The HTTP response as a server sends it: the download's reading of the status line
// and the headers, and what the version check reads from the text; also the same bytes as
// a URL.
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/http_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The client keeps at most 511 bytes, up to the first zero, for the version check.
  const std::string raw(reinterpret_cast<const char*>(data), size);
  const std::string response = raw.substr(0, raw.find('\0')).substr(0, 511);
  // The head as the download reads it, byte by byte, until it ends or is refused.
  ResponseHead head;
  for (size_t i = 0; i < raw.size(); ++i) {
    const ResponseHead::Event event = head.Take(raw[i]);
    if (event == ResponseHead::Event::Complete || event == ResponseHead::Event::Refused ||
        event == ResponseHead::Event::TooLong)
      break;
    if (i > ResponseHead::kMaxBytes) __builtin_trap();  // a head is never read without end
  }
  if (head.ContentLength() < 0) __builtin_trap();
  const int version = ServerVersion(response);
  std::string address;
  if (InfoAddress(response, &address) && version > 100) IsWebAddress(address);
  const UrlParts url = SplitUrl(raw);
  RequestText(url);
  if (url.hostText.size() > size_t(kHttpTextMax)) __builtin_trap();
  return 0;
}

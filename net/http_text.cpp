#include "net/http_text.h"

#include "common/path.h"

#include <cstdlib>
#include <cstring>

UrlParts SplitUrl(const std::string& url) {
  UrlParts parts;
  size_t i = 0;
  std::string host;
  while (i < url.size()) {
    if (url[i] == '/') {
      if (i + 1 < url.size() && url[i + 1] == '/') {
        i += 2;
        host.clear();
        continue;
      }
      break;
    }
    host += url[i++];
  }
  parts.path = url.substr(i);
  if (host.size() > size_t(kHttpTextMax)) host.resize(kHttpTextMax);
  parts.hostText = host;
  const size_t colon = host.find(':');
  if (colon == std::string::npos) {
    parts.name = host;
  } else {
    parts.name = host.substr(0, colon);
    parts.port = std::atoi(host.c_str() + colon + 1);
  }
  return parts;
}

std::string RequestText(const UrlParts& url) {
  return "GET " + url.path + " HTTP/1.0\r\nHost: " + url.hostText + "\r\n\r\n";
}

bool IsSuccessStatus(const std::string& statusLine) {
  if (statusLine.size() < 4) return false;
  for (int i = 0; i < 4; ++i) {
    const char c = statusLine[i];
    if ((c >= 'a' && c <= 'z' ? char(c - 32) : c) != "HTTP"[i]) return false;
  }
  if (statusLine.size() <= 9) return false;
  const int status = std::atoi(statusLine.substr(9, 3).c_str());
  return status >= 200 && status <= 399;
}

int64_t ContentLengthOf(const std::string& headerLine) {
  static const char kPrefix[] = "Content-Length: ";
  if (headerLine.compare(0, sizeof kPrefix - 1, kPrefix) != 0) return -1;
  return std::atoll(headerLine.c_str() + sizeof kPrefix - 1);
}

int VersionNumberOf(const char* text) {
  const double value = std::atof(text) * 100.0;
  if (!(value > -2147483648.0 && value < 2147483647.0)) return value > 0 ? INT32_MAX : INT32_MIN;
  return int(value);
}

int ServerVersion(const std::string& response) {
  const size_t at = response.find("version=");
  if (at == std::string::npos) return -1;
  return VersionNumberOf(response.c_str() + at + 8);
}

bool InfoAddress(const std::string& response, std::string* address) {
  const size_t at = response.find("info=");
  if (at == std::string::npos) return false;
  const size_t start = at + 5;
  const size_t end = response.find('&', start);
  *address = response.substr(start, end == std::string::npos ? std::string::npos : end - start);
  return true;
}

bool IsWebAddress(const std::string& address) {
  const std::string lower = LowerCase(address.substr(0, 8));
  return lower.compare(0, 7, "http://") == 0 || lower.compare(0, 8, "https://") == 0;
}

ResponseHead::Event ResponseHead::Take(char c) {
  if (++bytes_ > kMaxBytes) return Event::TooLong;
  if (c == '\r') return Event::None;
  if (c != '\n') {
    if (line_.size() < size_t(kHttpTextMax)) line_ += c;
    return Event::None;
  }
  const std::string line = std::move(line_);
  line_.clear();
  if (++lines_ > kMaxLines) return Event::TooLong;
  if (lines_ == 1) return IsSuccessStatus(line) ? Event::StatusOk : Event::Refused;
  if (line.empty()) return Event::Complete;
  const int64_t announced = ContentLengthOf(line);
  if (announced >= 0) length_ = announced;
  return Event::None;
}

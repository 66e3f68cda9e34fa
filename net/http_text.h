// The text side of the HTTP client and of the version check: URL splitting, the
// request, the status line and header tests, and what a version server answers.
#pragma once
#include <cstdint>
#include <string>

constexpr int kHttpTextMax = 259;  // host text and header lines are kept up to this

struct UrlParts {
  std::string hostText;  // the name and, when the URL gives one, ":port"
  std::string name;      // the host name or dotted address
  int port = 80;
  std::string path;      // from the first single '/' on; empty without one
};

// "scheme://host:port/path": everything up to a "//" is dropped, whatever it is.
UrlParts SplitUrl(const std::string& url);

// "GET <path> HTTP/1.0\r\nHost: <host text>\r\n\r\n".
std::string RequestText(const UrlParts& url);

// "HTTP" (any case) in front and a status of 200 … 399 at characters 9 to 11.
bool IsSuccessStatus(const std::string& statusLine);

// The length of a line that begins exactly with "Content-Length: "; −1 otherwise.
int64_t ContentLengthOf(const std::string& headerLine);

// A version text times 100, truncated ("1.15" gives 114, as in double precision).
int VersionNumberOf(const char* text);

// The server's version behind the first "version=" of the response; −1 without one.
int ServerVersion(const std::string& response);
// The address behind the first "info=" up to the first '&'; false without "info=".
bool InfoAddress(const std::string& response, std::string* address);
// Whether the version check may open the address: only web pages.
bool IsWebAddress(const std::string& address);

// The status line and the headers of a response, taken a received byte at a time
// exactly as the client reads them: lines end at '\n', '\r' is dropped, a line keeps
// at most 259 characters. The head ends at its empty line; a server that never ends
// it is given up on after 100 lines or 16 KB in all.
class ResponseHead {
 public:
  static constexpr int kMaxLines = 100;
  static constexpr size_t kMaxBytes = 16384;

  enum class Event {
    None,       // the byte was taken; more to come
    StatusOk,   // the status line ended and says success (200 … 399)
    Refused,    // the status line ended and says anything else
    Complete,   // the empty line after the headers: the body follows
    TooLong,    // more lines or bytes than a head may have
  };
  // Takes the next received byte; after Refused, Complete or TooLong nothing more
  // is to be given.
  Event Take(char c);

  // The last "Content-Length: " line's value; 0 when none was announced.
  int64_t ContentLength() const { return length_; }

 private:
  std::string line_;
  int lines_ = 0;
  size_t bytes_ = 0;
  int64_t length_ = 0;
};

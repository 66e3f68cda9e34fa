#include "protocol.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace driver {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Reads one word starting at `pos`; `optionNameEnd` is set when it began as `name=`.
bool ReadWord(const std::string& line, size_t* pos, std::string* word, size_t* optionNameEnd) {
  word->clear();
  *optionNameEnd = std::string::npos;
  size_t i = *pos;
  bool nameSoFar = true;  // only lower-case letters and '_' read yet, unquoted
  while (i < line.size() && !IsBlank(line[i])) {
    char c = line[i];
    if (c == '"') {
      nameSoFar = false;
      ++i;
      while (true) {
        if (i >= line.size()) return false;
        c = line[i++];
        if (c == '"') break;
        if (c != '\\') {
          *word += c;
          continue;
        }
        if (i >= line.size()) return false;
        char e = line[i++];
        switch (e) {
          case 'n': *word += '\n'; break;
          case 'r': *word += '\r'; break;
          case 't': *word += '\t'; break;
          case '\\': *word += '\\'; break;
          case '"': *word += '"'; break;
          case 'x': {
            if (i + 1 >= line.size()) return false;
            int hi = HexDigit(line[i]), lo = HexDigit(line[i + 1]);
            if (hi < 0 || lo < 0) return false;
            *word += static_cast<char>(hi * 16 + lo);
            i += 2;
            break;
          }
          default: return false;
        }
      }
      continue;
    }
    if (nameSoFar) {
      if (c == '=' && !word->empty()) {
        *optionNameEnd = word->size();
        nameSoFar = false;
      } else if (!((c >= 'a' && c <= 'z') || c == '_')) {
        nameSoFar = false;
      }
    }
    *word += c;
    ++i;
  }
  *pos = i;
  return true;
}

}  // namespace

bool ParseNumber(const std::string& text, long long* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  // Hexadecimal values keep their bits, whatever the top bit.
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    unsigned long long u = strtoull(text.c_str(), &end, 16);
    *value = static_cast<long long>(u);
  } else {
    *value = strtoll(text.c_str(), &end, 10);
  }
  return end && *end == '\0';
}

bool Args::Parse(const std::string& line) {
  name_.clear();
  words_.clear();
  options_.clear();
  error_.clear();
  size_t pos = 0;
  bool first = true;
  while (true) {
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos >= line.size()) break;
    std::string word;
    size_t nameEnd;
    if (!ReadWord(line, &pos, &word, &nameEnd)) return false;
    if (first) {
      name_ = word;
      first = false;
    } else if (nameEnd != std::string::npos) {
      options_.emplace_back(word.substr(0, nameEnd), word.substr(nameEnd + 1));
    } else {
      words_.push_back(word);
    }
  }
  return true;
}

const std::string& Args::Word(size_t i) const {
  static const std::string empty;
  return i < words_.size() ? words_[i] : empty;
}

void Args::Fail(const std::string& why) {
  if (error_.empty()) error_ = why;
}

// A handle as the driver prints it (hexadecimal with "0x", or decimal), all its bits.
HWND Args::Handle(size_t i) {
  const std::string& text = Word(i);
  char* end = nullptr;
  unsigned long long value = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    value = strtoull(text.c_str() + 2, &end, 16);
  else if (!text.empty())
    value = strtoull(text.c_str(), &end, 10);
  if (text.empty() || !end || *end != '\0') {
    Fail("expected a window handle as argument " + std::to_string(i + 1));
    return nullptr;
  }
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
}

HWND Args::Window(size_t i) {
  HWND hwnd = Handle(i);
  if (hwnd && !IsWindow(hwnd)) Fail("no such window: " + words_[i]);
  return hwnd;
}

long long Args::Number(size_t i) {
  long long value = 0;
  if (i >= words_.size() || !ParseNumber(words_[i], &value)) {
    Fail("expected a number as argument " + std::to_string(i + 1));
    return 0;
  }
  return value;
}

std::string Args::Text(size_t i) {
  if (i >= words_.size()) {
    Fail("expected a text as argument " + std::to_string(i + 1));
    return std::string();
  }
  return words_[i];
}

bool Args::Has(const char* option) const {
  for (const auto& o : options_)
    if (o.first == option) return true;
  return false;
}

std::string Args::Option(const char* option, const char* fallback) const {
  for (const auto& o : options_)
    if (o.first == option) return o.second;
  return fallback;
}

long Args::OptionNumber(const char* option, long fallback) {
  for (const auto& o : options_) {
    if (o.first != option) continue;
    long long value = 0;
    if (!ParseNumber(o.second, &value)) {
      Fail(std::string("option ") + option + " needs a number");
      return fallback;
    }
    return static_cast<long>(value);
  }
  return fallback;
}

std::vector<std::string> Args::Options(const char* option) const {
  std::vector<std::string> all;
  for (const auto& o : options_)
    if (o.first == option) all.push_back(o.second);
  return all;
}

std::string Quote(const char* text, size_t length) {
  std::string out = "\"";
  for (size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c >= 0x7f) {
          char hex[8];
          snprintf(hex, sizeof hex, "\\x%02x", c);
          out += hex;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
  return out;
}

void Reply::Separate() {
  if (!fields_.empty()) fields_ += ' ';
}

Reply& Reply::Number(long long value) {
  Separate();
  fields_ += std::to_string(value);
  return *this;
}

Reply& Reply::Unsigned(unsigned long value) {
  Separate();
  fields_ += std::to_string(value);
  return *this;
}

Reply& Reply::Handle(const void* handle) {
  char text[24];
  snprintf(text, sizeof text, "0x%llx",
           static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(handle)));
  Separate();
  fields_ += text;
  return *this;
}

Reply& Reply::Text(const std::string& text) { return Text(text.data(), text.size()); }

Reply& Reply::Text(const char* text, size_t length) {
  Separate();
  fields_ += Quote(text, length);
  return *this;
}

Reply& Reply::NextRecord() {
  Separate();
  fields_ += ';';
  return *this;
}

void Reply::Fail(const std::string& why) {
  if (failed_) return;
  failed_ = true;
  error_ = why;
}

std::string Reply::Line() const {
  if (failed_) return "err " + Quote(error_.data(), error_.size());
  return fields_.empty() ? "ok" : "ok " + fields_;
}

}  // namespace driver

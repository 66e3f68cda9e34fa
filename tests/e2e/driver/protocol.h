// The driver's line protocol: one command per input line, one reply per command.
//
// A line is a list of words separated by blanks. A word may be written in double
// quotes, with \\ \" \n \r \t and \xNN escapes inside; a quoted word may hold blanks.
// A word that starts with lower-case letters and "=" outside quotes is an option
// (`timeout=500`, `caption="Exit Lirva?"`); every other word is positional.
//
// A reply is "ok" or "err" followed by fields: numbers bare, window handles as 0x...,
// texts always quoted and escaped so that the reply stays on one line and in ASCII
// (bytes from 0x80 up travel as \xNN). A bare ";" separates the records of a list.
#pragma once
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace driver {

class Args {
 public:
  // False when the line has an unterminated quote or a bad escape.
  bool Parse(const std::string& line);

  const std::string& Name() const { return name_; }
  size_t Count() const { return words_.size(); }
  const std::string& Word(size_t i) const;

  // Positional values; a missing or malformed value records an error.
  HWND Window(size_t i);  // a handle of a window that exists
  HWND Handle(size_t i);  // any handle, existing or not
  long long Number(size_t i);  // wide enough for a WPARAM or LPARAM of either build
  std::string Text(size_t i);

  bool Has(const char* option) const;
  std::string Option(const char* option, const char* fallback = "") const;
  long OptionNumber(const char* option, long fallback);
  // Every value of an option that may be given several times (`env=`).
  std::vector<std::string> Options(const char* option) const;

  // The first error met while reading values, or empty.
  const std::string& Error() const { return error_; }
  // Records an error unless one is there already.
  void Fail(const std::string& why);

 private:
  std::string name_;
  std::vector<std::string> words_;
  std::vector<std::pair<std::string, std::string>> options_;
  std::string error_;
};

// Parses "123", "-5", "0x1f"; false for anything else.
bool ParseNumber(const std::string& text, long long* value);

class Reply {
 public:
  Reply& Number(long long value);
  Reply& Unsigned(unsigned long value);
  Reply& Handle(const void* handle);
  Reply& Text(const std::string& text);
  Reply& Text(const char* text, size_t length);
  // Starts the next record of a list.
  Reply& NextRecord();
  void Fail(const std::string& why);
  bool Failed() const { return failed_; }
  // The whole reply line without its line end.
  std::string Line() const;

 private:
  void Separate();
  bool failed_ = false;
  std::string fields_;
  std::string error_;
};

// The quoted, escaped form of a text.
std::string Quote(const char* text, size_t length);

}  // namespace driver

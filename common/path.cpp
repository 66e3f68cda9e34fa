#include "common/path.h"

#include "common/text.h"

namespace {
bool IsSeparator(char c) { return c == '/' || c == '\\'; }

size_t LastSeparator(const std::string& path) { return path.find_last_of("/\\"); }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

std::string DirectoryOf(const std::string& path) {
  size_t sep = LastSeparator(path);
  return sep == std::string::npos ? std::string() : path.substr(0, sep);
}

std::string FileNameOf(const std::string& path) {
  size_t sep = LastSeparator(path);
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string ExtensionOf(const std::string& path) {
  size_t dot = path.find_last_of('.');
  size_t sep = LastSeparator(path);
  if (dot == std::string::npos || dot == 0) return std::string();
  if (sep != std::string::npos && dot < sep) return std::string();
  return path.substr(dot);
}

std::string FileTitleOf(const std::string& path) {
  std::string name = FileNameOf(path);
  size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || dot == 0) return name;
  return name.substr(0, dot);
}

std::string JoinPath(const std::string& directory, const std::string& name) {
  return JoinPath(directory, name, std::string());
}

std::string JoinPath(const std::string& directory, const std::string& name,
                     const std::string& extra) {
  // Counted in characters: paths are UTF-8.
  if (CharacterCount(directory) > kMaxPath - 1) return directory;
  std::string out = directory;
  if (!out.empty() && !IsSeparator(out.back())) out += '\\';
  out += name;
  out += extra;
  return CutToCharacters(out, kMaxPath);
}

std::string LowerCase(const std::string& text) {
  std::string lower(text);
  for (char& c : lower) c = Lower(c);
  return lower;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// Helpers on 8-bit paths of at most 259 characters; "/" and "\" both separate.
#pragma once
#include <string>

constexpr size_t kMaxPath = 259;  // characters of a path or a value (UTF-8 text)

// The path up to, not including, its last separator; empty when there is none.
std::string DirectoryOf(const std::string& path);
// The part after the last separator.
std::string FileNameOf(const std::string& path);
// From the last "." after the last separator to the end, dot included; empty when
// there is none or when that dot is the path's first character.
std::string ExtensionOf(const std::string& path);
// FileNameOf cut at its last "." unless that dot is the name's first character.
std::string FileTitleOf(const std::string& path);
// directory + "\" (unless empty or already ending in a separator) + name, cut at 259
// characters; a directory longer than 258 characters comes back unchanged.
std::string JoinPath(const std::string& directory, const std::string& name);
// As above with `extra` (an extension, say) appended right behind the name.
std::string JoinPath(const std::string& directory, const std::string& name,
                     const std::string& extra);

// Letter-case-insensitive comparison of ASCII text.
bool EqualsNoCase(const std::string& a, const std::string& b);
// The text with ASCII capitals made small: equal for texts EqualsNoCase finds equal.
std::string LowerCase(const std::string& text);

// The system's wide-character text and the program's UTF-8, converted at every
// call that takes or gives text a person typed or a file name.
#pragma once
#include <string>

std::wstring Wide(const std::string& utf8);
std::string Utf8(const wchar_t* wide, int length = -1);
inline std::string Utf8(const std::wstring& wide) { return Utf8(wide.data(), int(wide.size())); }

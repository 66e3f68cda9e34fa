#include "common/win32/settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/text.h"
#include "common/win32/registry_key.h"
#include "common/win32/wide.h"

namespace {

bool IsTextType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// The text of `size` bytes of UTF-16 value data, which may or may not end in a
// zero, as UTF-8 cut at 259 characters.
std::string TextOfValue(const wchar_t* data, DWORD size) {
  const size_t units = size / sizeof(wchar_t);
  size_t length = 0;
  while (length < units && data[length]) ++length;
  return CutToCharacters(Utf8(data, int(length)), kSettingsTextMax);
}

}  // namespace

std::string SettingsKeyPath(const char* area) {
  char path[MAX_PATH];
  snprintf(path, sizeof path, "Software\\Vantoral\\Lirva\\%s", area);
  return path;
}

REGSAM RegistryViewOf(HKEY root) {
#ifdef _WIN64
  if (root == HKEY_LOCAL_MACHINE) return KEY_WOW64_32KEY;
#endif
  (void)root;
  return 0;
}

bool ReadRegistryText(HKEY root, const char* keyPath, const char* name, std::string* text, REGSAM view) {
  RegistryKey key;
  if (RegOpenKeyExW(root, Wide(keyPath).c_str(), 0, KEY_QUERY_VALUE | view, key.Out()) != ERROR_SUCCESS)
    return false;
  // Values are read whole (their size asked first) and kept up to 259 characters.
  const std::wstring valueName = Wide(name);
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      !IsTextType(type))
    return false;
  std::vector<wchar_t> whole(size / sizeof(wchar_t) + 1, L'\0');
  DWORD wholeSize = DWORD(whole.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(whole.data()),
                       &wholeSize) != ERROR_SUCCESS ||
      !IsTextType(type))
    return false;
  *text = TextOfValue(whole.data(), wholeSize);
  return true;
}

bool ReadSettingValue(HKEY root, const char* keyPath, const char* name, std::string* text) {
  return ReadRegistryText(root, keyPath, name, text, RegistryViewOf(root));
}

std::string ReadSettingText(HKEY root, const char* keyPath, const char* name,
                            const char* defaultText) {
  std::string text;
  return ReadSettingValue(root, keyPath, name, &text) ? text : std::string(defaultText);
}

void WriteSettingText(HKEY root, const char* keyPath, const char* name, const char* text) {
  RegistryKey key;
  if (RegCreateKeyExW(root, Wide(keyPath).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE | RegistryViewOf(root), nullptr, key.Out(), nullptr) != ERROR_SUCCESS)
    return;
  // Stored as the system's own text, so every program reads it back in any script.
  const std::wstring value = Wide(text);
  RegSetValueExW(key.get(), Wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

int NumberFromSettingText(const std::string& text, int defaultValue) {
  if (text.empty()) return defaultValue;
  return static_cast<int>(strtol(text.c_str(), nullptr, 10));
}

namespace {
void WriteNumber(HKEY root, const char* area, const char* name, int value) {
  char text[16];
  snprintf(text, sizeof text, "%d", value);
  WriteSettingText(root, SettingsKeyPath(area).c_str(), name, text);
}

int ReadNumber(HKEY root, const char* area, const char* name, int defaultValue) {
  return NumberFromSettingText(ReadSettingText(root, SettingsKeyPath(area).c_str(), name, ""),
                               defaultValue);
}
}  // namespace

std::string ReadMachineText(const char* area, const char* name, const char* defaultText) {
  return ReadSettingText(HKEY_LOCAL_MACHINE, SettingsKeyPath(area).c_str(), name, defaultText);
}

void WriteMachineText(const char* area, const char* name, const char* text) {
  WriteSettingText(HKEY_LOCAL_MACHINE, SettingsKeyPath(area).c_str(), name, text);
}

int ReadMachineNumber(const char* area, const char* name, int defaultValue) {
  return ReadNumber(HKEY_LOCAL_MACHINE, area, name, defaultValue);
}

void WriteMachineNumber(const char* area, const char* name, int value) {
  WriteNumber(HKEY_LOCAL_MACHINE, area, name, value);
}

std::string ReadMainWindowText(const char* name, const char* defaultText) {
  return ReadSettingText(HKEY_CURRENT_USER, SettingsKeyPath(kMainWindowArea).c_str(), name,
                         defaultText);
}

void WriteMainWindowText(const char* name, const char* text) {
  WriteSettingText(HKEY_CURRENT_USER, SettingsKeyPath(kMainWindowArea).c_str(), name, text);
}

int ReadMainWindowNumber(const char* name, int defaultValue) {
  return ReadNumber(HKEY_CURRENT_USER, kMainWindowArea, name, defaultValue);
}

void WriteMainWindowNumber(const char* name, int value) {
  WriteNumber(HKEY_CURRENT_USER, kMainWindowArea, name, value);
}

int ReadUserNumber(const char* area, const char* name, int defaultValue) {
  return ReadNumber(HKEY_CURRENT_USER, area, name, defaultValue);
}

std::string ReadServerSetting(const ServerSetting& server) {
  const std::string text = ReadMachineText(kSettingsArea, server.name, "");
  return text.empty() ? server.defaultText : text;
}

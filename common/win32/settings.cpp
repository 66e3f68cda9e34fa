#include "common/win32/settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/win32/registry_key.h"

namespace {

bool IsTextType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// The text of `size` bytes of value data, which may or may not end in a zero,
// cut to what a 260-byte buffer holds.
std::string TextOfValue(const char* data, DWORD size) {
  size_t length = strnlen(data, size);
  if (length > static_cast<size_t>(kSettingsTextMax)) length = kSettingsTextMax;
  return std::string(data, length);
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
  if (RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE | view, key.Out()) != ERROR_SUCCESS)
    return false;
  char buffer[kSettingsTextMax + 1];
  DWORD type = 0;
  DWORD size = sizeof buffer;
  LONG status =
      RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  if (status == ERROR_SUCCESS) {
    if (!IsTextType(type)) return false;
    *text = TextOfValue(buffer, size);
    return true;
  }
  if (status != ERROR_MORE_DATA || !IsTextType(type)) return false;
  // A longer text than the buffer holds keeps its first 259 characters; the
  // buffer's contents are undefined after a short read, so read it whole once.
  std::vector<char> whole(size + 1, '\0');
  DWORD wholeSize = size;
  if (RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(whole.data()),
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
  if (RegCreateKeyExA(root, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE | RegistryViewOf(root), nullptr,
                      key.Out(), nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                 static_cast<DWORD>(strlen(text) + 1));
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

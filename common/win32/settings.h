// The settings store: text values in the registry, one key per area below
// "Software\Vantoral\Lirva", under the user root or the machine root. Nothing
// else in the program touches the registry for its own settings.
#pragma once
#include <windows.h>

#include <string>

constexpr int kSettingsTextMax = 259;  // values are read into 260-byte buffers

// Areas and the root each lives under.
constexpr const char* kMainWindowArea = "MainWindow";  // user
constexpr const char* kFindWindowArea = "FindWindow";  // user
constexpr const char* kSettingsArea = "Settings";      // machine
constexpr const char* kPlayerArea = "Player";          // machine

// The values with their defaults.
// User, "MainWindow": the main window's restore rectangle and whether it was
// maximised ("Maximized" is absent until the first close).
constexpr const char* kWindowXValue = "X";
constexpr const char* kWindowYValue = "Y";
constexpr const char* kWindowWidthValue = "Width";
constexpr const char* kWindowHeightValue = "Height";
constexpr const char* kMaximizedValue = "Maximized";
constexpr int kDefaultWindowX = 160;
constexpr int kDefaultWindowY = 80;
constexpr int kDefaultWindowWidth = 500;
constexpr int kDefaultWindowHeight = 500;
// User, "FindWindow": the tab selected at start (read only).
constexpr const char* kTabValue = "Tab";
constexpr int kDefaultTab = 0;
// Machine, "Settings".
constexpr const char* kLoadFromFolderValue = "LoadFromFolder";  // text, default empty
constexpr const char* kRelatedPCheckValue = "RelatedPCheck";    // text, default empty
constexpr const char* kRelatedPDateValue = "RelatedPDate";      // seconds since 1970
constexpr int kDefaultRelatedPDate = 0;
constexpr const char* kVCheckDateValue = "VCheckDate";  // seconds since 1970
constexpr int kDefaultVCheckDate = 0;
constexpr const char* kLastCheckVersionValue = "LastCheckVersion";  // version times 100
constexpr int kDefaultLastCheckVersion = 100;
// The maker's servers: each a text value (absent or empty for its default).
struct ServerSetting {
  const char* name;
  const char* defaultText;
};
constexpr ServerSetting kVersionHost = {"VersionHost", "versions.vantoral.example"};
constexpr ServerSetting kDownloadHost = {"DownloadHost", "download.vantoral.example"};
constexpr ServerSetting kWebSite = {"WebSite", "http://www.vantoral.example/"};
// Machine, "Player".
constexpr const char* kVolumeDBValue = "VolumeDB";
constexpr int kDefaultVolumeDB = 0;
constexpr const char* kDeviceValue = "Device";
constexpr int kDefaultDevice = 0;

// "Software\Vantoral\Lirva\<area>".
std::string SettingsKeyPath(const char* area);

// The registry view in which a key under `root` is opened. On 64-bit Windows a
// 32-bit program sees the 32-bit view of the machine's "Software" key, so the
// 64-bit build opens machine-wide keys in that view too, and both builds share
// one set of values. The 32-bit build asks for no view (as Windows 2000 needs).
REGSAM RegistryViewOf(HKEY root);

// The two operations on the registry. Reading gives the stored text, at most 259
// characters, or `defaultText` when the key or the value can't be opened or read
// or does not hold text. Writing creates the key when missing and ignores errors.
std::string ReadSettingText(HKEY root, const char* keyPath, const char* name,
                            const char* defaultText);
void WriteSettingText(HKEY root, const char* keyPath, const char* name, const char* text);
// The same read, false (and `text` untouched) when the key or the value is missing.
bool ReadSettingValue(HKEY root, const char* keyPath, const char* name, std::string* text);
// The one registry text reader: as ReadSettingValue, in the given view (0: the
// process's own, where the system's folders and the uninstall entry live).
bool ReadRegistryText(HKEY root, const char* keyPath, const char* name, std::string* text, REGSAM view);

// Numbers are decimal text; the leading number of the text is taken, and only an
// absent or empty value gives the default.
int NumberFromSettingText(const std::string& text, int defaultValue);

// Machine root, any area ("Settings", "Player").
std::string ReadMachineText(const char* area, const char* name, const char* defaultText = "");
void WriteMachineText(const char* area, const char* name, const char* text);
int ReadMachineNumber(const char* area, const char* name, int defaultValue);
void WriteMachineNumber(const char* area, const char* name, int value);

// Machine root, "Settings": a server's value, or its default when absent or empty.
std::string ReadServerSetting(const ServerSetting& server);

// User root, "MainWindow".
std::string ReadMainWindowText(const char* name, const char* defaultText = "");
void WriteMainWindowText(const char* name, const char* text);
int ReadMainWindowNumber(const char* name, int defaultValue);
void WriteMainWindowNumber(const char* name, int value);

// User root, any area ("FindWindow").
int ReadUserNumber(const char* area, const char* name, int defaultValue);

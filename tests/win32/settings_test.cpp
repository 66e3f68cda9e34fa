// The settings store against the real registry of the test prefix, and the main
// window's placement on a real window.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/win32/settings.h"
#include "app/win32/window_placement.h"

namespace {

const char kMainWindowKey[] = "Software\\Vantoral\\Lirva\\MainWindow";
const char kFindWindowKey[] = "Software\\Vantoral\\Lirva\\FindWindow";
const char kSettingsKey[] = "Software\\Vantoral\\Lirva\\Settings";
const char kPlayerKey[] = "Software\\Vantoral\\Lirva\\Player";

void ClearAreas() {
  for (const char* path : {kMainWindowKey, kFindWindowKey, kSettingsKey, kPlayerKey}) {
    RegDeleteKeyA(HKEY_CURRENT_USER, path);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path, RegistryViewOf(HKEY_LOCAL_MACHINE), 0);
  }
}

// Every byte stored, after "sz:" for REG_SZ; "<absent>" when there is no value.
// Read in the program's own view of `root` unless a view is given.
std::string ReadRaw(HKEY root, const char* path, const char* name, REGSAM view = ~0u) {
  HKEY key;
  if (view == ~0u) view = RegistryViewOf(root);
  if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) return "<absent>";
  char data[1024];
  DWORD size = sizeof data, type = 0;
  LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return "<absent>";
  return (type == REG_SZ ? "sz:" : "other:") + std::string(data, size);
}

void WriteRaw(HKEY root, const char* path, const char* name, DWORD type, const std::string& bytes) {
  HKEY key;
  RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_SET_VALUE | RegistryViewOf(root), nullptr, &key,
                  nullptr);
  RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                 static_cast<DWORD>(bytes.size()));
  RegCloseKey(key);
}

// How a REG_SZ text is stored: the text and its terminating zero.
std::string Sz(const std::string& text) { return "sz:" + text + '\0'; }

class Settings : public testing::Test {
 protected:
  void SetUp() override { ClearAreas(); }
  void TearDown() override { ClearAreas(); }
};

}  // namespace

TEST_F(Settings, WritesTextAndNumbersAsRegSzWithTerminatingZeroUnderTheirRoot) {
  WriteMachineText(kSettingsArea, kLoadFromFolderValue, "C:\\Music\\New");
  WriteMachineNumber(kPlayerArea, kVolumeDBValue, -12);
  WriteMainWindowNumber(kWindowWidthValue, 640);
  WriteMainWindowText(kMaximizedValue, "1");

  EXPECT_EQ(ReadRaw(HKEY_LOCAL_MACHINE, kSettingsKey, "LoadFromFolder"), Sz("C:\\Music\\New"));
  EXPECT_EQ(ReadRaw(HKEY_LOCAL_MACHINE, kPlayerKey, "VolumeDB"), Sz("-12"));
  EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, kMainWindowKey, "Width"), Sz("640"));
  EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, kMainWindowKey, "Maximized"), Sz("1"));
  EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, kPlayerKey, "VolumeDB"), "<absent>");
  EXPECT_EQ(ReadRaw(HKEY_LOCAL_MACHINE, kMainWindowKey, "Width"), "<absent>");

  EXPECT_EQ(ReadMachineText(kSettingsArea, kLoadFromFolderValue), "C:\\Music\\New");
  EXPECT_EQ(ReadMachineNumber(kPlayerArea, kVolumeDBValue, kDefaultVolumeDB), -12);
  EXPECT_EQ(ReadMainWindowNumber(kWindowWidthValue, kDefaultWindowWidth), 640);

  // Both builds keep machine-wide values in the 32-bit view of the machine's
  // "Software" key, where the 32-bit program on 64-bit Windows finds them.
  EXPECT_EQ(ReadRaw(HKEY_LOCAL_MACHINE, kPlayerKey, "VolumeDB", KEY_WOW64_32KEY), Sz("-12"));
  EXPECT_EQ(ReadRaw(HKEY_LOCAL_MACHINE, kPlayerKey, "VolumeDB", KEY_WOW64_64KEY), "<absent>");
}

TEST_F(Settings, AbsentOrEmptyValuesGiveDefaultsAndNumbersAreTheirLeadingDigits) {
  EXPECT_EQ(ReadMachineNumber(kSettingsArea, kLastCheckVersionValue, kDefaultLastCheckVersion),
            100);
  EXPECT_EQ(ReadMachineText(kSettingsArea, kRelatedPCheckValue, "none"), "none");
  WriteMachineText(kSettingsArea, kLastCheckVersionValue, "");
  EXPECT_EQ(ReadMachineNumber(kSettingsArea, kLastCheckVersionValue, kDefaultLastCheckVersion),
            100);
  DWORD five = 5;  // not text: unreadable
  WriteRaw(HKEY_LOCAL_MACHINE, kPlayerKey, "Device", REG_DWORD,
           std::string(reinterpret_cast<char*>(&five), 4));
  EXPECT_EQ(ReadMachineNumber(kPlayerArea, kDeviceValue, 9), 9);

  struct Case {
    const char* stored;
    int read;
  } cases[] = {{"-7", -7}, {" 12", 12}, {"12abc", 12}, {"abc", 0}, {"2147483647", 2147483647}};
  for (const Case& c : cases) {
    WriteRaw(HKEY_CURRENT_USER, kFindWindowKey, "Tab", REG_SZ, std::string(c.stored) + '\0');
    EXPECT_EQ(ReadUserNumber(kFindWindowArea, kTabValue, 99), c.read) << c.stored;
  }
}

TEST_F(Settings, LongValuesKeep259CharactersAndUnterminatedTextReads) {
  std::string text = std::string(259, 'k') + std::string(41, 'x');
  WriteRaw(HKEY_LOCAL_MACHINE, kSettingsKey, "LoadFromFolder", REG_SZ, text + '\0');
  EXPECT_EQ(ReadMachineText(kSettingsArea, kLoadFromFolderValue), text.substr(0, 259));

  WriteRaw(HKEY_LOCAL_MACHINE, kSettingsKey, "LoadFromFolder", REG_SZ, "C:\\A");  // no zero
  EXPECT_EQ(ReadMachineText(kSettingsArea, kLoadFromFolderValue), "C:\\A");
}

// ---------------------------------------------------------------------------
// Window placement

namespace {

class PlacementWindow : public Settings {
 protected:
  void SetUp() override {
    Settings::SetUp();
    window_ = CreateWindowExA(0, "STATIC", "Placement", WS_OVERLAPPEDWINDOW, 30, 40, 200, 150,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(window_);
    GetWindowRect(GetDesktopWindow(), &desktop_);
  }
  void TearDown() override {
    DestroyWindow(window_);
    Settings::TearDown();
  }
  void StoreRect(int x, int y, int width, int height) {
    WriteMainWindowNumber("X", x);
    WriteMainWindowNumber("Y", y);
    WriteMainWindowNumber("Width", width);
    WriteMainWindowNumber("Height", height);
  }
  // The window's rectangle after applying the stored placement.
  RECT Restored() {
    RestoreWindowPlacement(window_);
    RECT r;
    GetWindowRect(window_, &r);
    return r;
  }
  std::string Stored(const char* name) { return ReadRaw(HKEY_CURRENT_USER, kMainWindowKey, name); }
  HWND window_ = nullptr;
  RECT desktop_;
};

bool operator==(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != 0; }

}  // namespace

TEST_F(PlacementWindow, OpensAtTheDefaultsOrFittedToTheDesktop) {
  EXPECT_TRUE(Restored() == (RECT{160, 80, 660, 580}));
  EXPECT_FALSE(IsZoomed(window_));

  StoreRect(0, 0, 3000, 3000);
  EXPECT_TRUE(Restored() == desktop_);
  StoreRect(desktop_.right - 100, desktop_.bottom - 50, 300, 200);
  EXPECT_TRUE(Restored() ==
              (RECT{desktop_.right - 300, desktop_.bottom - 200, desktop_.right, desktop_.bottom}));
  StoreRect(-40, -30, 300, 200);
  EXPECT_TRUE(Restored() == (RECT{0, 0, 300, 200}));
}

TEST_F(PlacementWindow, MaximizedTextDecidesAndKeepsTheStoredRectUnfittedForRestore) {
  for (const char* text : {"0", "", "1", "yes"}) {
    ShowWindow(window_, SW_RESTORE);
    WriteMainWindowText("Maximized", text);
    RestoreWindowPlacement(window_);
    EXPECT_EQ(IsZoomed(window_) != FALSE, text[0] != '\0' && text[0] != '0') << text;
  }
  StoreRect(-50, 20, 300, 250);  // fitting would move it right by 50 pixels
  RestoreWindowPlacement(window_);
  WINDOWPLACEMENT wp = {};
  wp.length = sizeof wp;
  GetWindowPlacement(window_, &wp);
  EXPECT_TRUE(IsZoomed(window_));
  EXPECT_TRUE(wp.rcNormalPosition == (RECT{-50, 20, 250, 270}));
}

TEST_F(PlacementWindow, ClosingStoresWhatTheShowStateAllows) {
  // Normal, hanging off the right edge: the width is cut there.
  MoveWindow(window_, desktop_.right - 100, 50, 400, 300, FALSE);
  ShowWindow(window_, SW_SHOWNORMAL);
  StoreWindowPlacement(window_);
  EXPECT_EQ(Stored("Maximized"), Sz("0"));
  EXPECT_EQ(Stored("X"), Sz(std::to_string(desktop_.right - 100)));
  EXPECT_EQ(Stored("Y"), Sz("50"));
  EXPECT_EQ(Stored("Width"), Sz("100"));
  EXPECT_EQ(Stored("Height"), Sz("300"));

  ShowWindow(window_, SW_MAXIMIZE);  // only the flag changes
  StoreWindowPlacement(window_);
  EXPECT_EQ(Stored("Maximized"), Sz("1"));
  EXPECT_EQ(Stored("Width"), Sz("100"));

  ClearAreas();
  ShowWindow(window_, SW_MINIMIZE);  // nothing at all
  StoreWindowPlacement(window_);
  EXPECT_EQ(Stored("Maximized"), "<absent>");
  EXPECT_EQ(Stored("X"), "<absent>");
}

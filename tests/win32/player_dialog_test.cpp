// The player dialog in this process, on a WAV file played into the capture sink:
// what its meter, slider and waveform hold and paint, the device volume that the
// slider sets, and the settings it leaves behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "common/win32/settings.h"
#include "audio/frame_time.h"
#include "playback/engine_plan.h"
#include "playback/player_plan.h"
#include "playback/win32/level_controls.h"
#include "playback/win32/player_dialog.h"
#include "resources/resource.h"
#include "tests/native/test_files.h"
#include "test_pump.h"

namespace {

// A loud 16-bit stereo WAV: a square wave at three quarters of full scale.
Bytes LoudWave(int frames) {
  std::vector<int16_t> samples;
  for (int i = 0; i < frames; ++i) samples.insert(samples.end(), 2, int16_t((i / 50) % 2 ? 24000 : -24000));
  return PcmWave(2, 44100, 16, Pcm16(samples));
}

// A 16-bit stereo WAV whose loudness rises and falls every 0.37 s, so that every
// column of the waveform has its own height.
Bytes SawtoothLoudness(int frames) {
  std::vector<int16_t> samples;
  for (int i = 0; i < frames; ++i) {
    const int level = 600 + (i % 16317) * 2;
    samples.insert(samples.end(), 2, int16_t((i / 50) % 2 ? level : -level));
  }
  return PcmWave(2, 44100, 16, Pcm16(samples));
}

// Every pixel of a window's client area as the screen shows it.
std::vector<uint32_t> WindowPixels(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = client.right;
  info.bmiHeader.biHeight = -client.bottom;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC screen = GetDC(window);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, client.right, client.bottom, screen, 0, 0, SRCCOPY);
  GdiFlush();
  const uint32_t* first = static_cast<const uint32_t*>(bits);
  std::vector<uint32_t> pixels(first, first + size_t(client.right) * client.bottom);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, screen);
  return pixels;
}

// The player dialog of `player`, created modeless and shown, as the editor shows it.
HWND ShowPlayer(PlayerDialog& player) {
  HWND dialog = CreateDialogParamA(ProgramInstance(), DLG_PLAYER, nullptr, SharedDialogProc,
                                   reinterpret_cast<LPARAM>(&player));
  if (dialog) ShowWindow(dialog, SW_SHOW);
  return dialog;
}

// Counts the pixels of one row of a window's client area by colour class.
struct RowColours {
  int green = 0, red = 0, black = 0;
};
RowColours CountRow(HWND window, int y, int from, int to) {
  RowColours counts;
  HDC dc = GetDC(window);
  for (int x = from; x < to; ++x) {
    const COLORREF c = GetPixel(dc, x, y);
    if (c == RGB(0, 255, 0)) ++counts.green;
    if (c == RGB(255, 0, 0)) ++counts.red;
    if (c == RGB(0, 0, 0)) ++counts.black;
  }
  ReleaseDC(window, dc);
  return counts;
}

// The distinct sample values among the last 20 ms captured so far.
std::set<int> LastSamples(const char* capture) {
  const Bytes played = ReadFileBytes(capture);
  std::set<int> values;
  for (size_t i = played.size() >= 3528 ? played.size() - 3528 : 0; i + 1 < played.size(); i += 2)
    values.insert(int16_t(played[i] | played[i + 1] << 8));
  return values;
}

TEST(PlayerDialog, MeterSliderAndWaveformWhilePlayingAndTheSettingsItLeaves) {
  const char* capture = std::getenv("LIRVA_CAPTURE_FILE");
  if (!capture || !*capture) GTEST_SKIP() << "needs the capture sink of scripts/test-wine";
  WriteMachineNumber(kPlayerArea, kVolumeDBValue, -5);
  WriteMachineNumber(kPlayerArea, kDeviceValue, 99);  // no longer in the list: the default device
  TempFile wav(LoudWave(44100 * 4), ".wav");
  PlayRequest request;
  MakePlayRequest(request, wav.c_str());
  PlayerDialog player(request);
  HWND dialog = ShowPlayer(player);
  ASSERT_TRUE(dialog);
  HWND meter = GetDlgItem(dialog, IDC_PLAYER_METER);
  HWND slider = GetDlgItem(dialog, IDC_PLAYER_VOLUME);
  HWND wave = GetDlgItem(dialog, IDC_PLAYER_WAVE);
  EXPECT_EQ(SliderValue(slider), -5);
  EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_PLAYER_DEVICE, CB_GETCURSEL, 0, 0), CB_ERR);
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_PLAYER_PLAY), BST_CHECKED);
  PumpFor(700);

  // Playing: two channels on the meter, a loud file drawn at full height.
  EXPECT_EQ(MeterChannelCount(meter), 2);
  EXPECT_GT(MeterLevel(meter, 0), -36);
  EXPECT_TRUE(IsWindowEnabled(wave));
  RECT client;
  GetClientRect(wave, &client);
  int tall = 0;
  HDC dc = GetDC(wave);
  for (int x = 2; x < client.right - 2; ++x)
    if (GetPixel(dc, x, 3) == RGB(102, 255, 102) || GetPixel(dc, x, 3) == RGB(0, 255, 0)) ++tall;
  ReleaseDC(wave, dc);
  EXPECT_GT(tall, (client.right - 4) / 2) << "bars at full height at the top row";

  // The slider follows a drag to either end and tells the dialog, which sets the
  // volume of what plays; the keypad keys move it without a notification.
  RECT track;
  GetClientRect(slider, &track);
  SendMessageA(slider, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageA(slider, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(track.right + 40, 5));
  PumpFor(600);
  EXPECT_EQ(SliderValue(slider), 12);
  EXPECT_EQ(LastSamples(capture), std::set<int>({-24000, 24000})) << "full level: samples as in the file";
  SendMessageA(slider, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(uint16_t(-30), 5));
  PumpFor(600);
  EXPECT_EQ(SliderValue(slider), -36);
  EXPECT_EQ(LastSamples(capture), std::set<int>({0})) << "silent at -36 dB";
  SendMessageA(slider, WM_LBUTTONUP, 0, MAKELPARAM(uint16_t(-30), 5));
  SetFocus(slider);
  SendMessageA(slider, WM_KEYDOWN, VK_ADD, 1);
  SendMessageA(slider, WM_KEYDOWN, VK_ADD, 1);
  PumpFor(600);
  EXPECT_EQ(SliderValue(slider), -34);
  EXPECT_EQ(LastSamples(capture), std::set<int>({0})) << "keys change the value only";

  // Stopped: an empty bar.
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_PLAYER_STOP, BN_CLICKED), 0);
  PumpFor(100);
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_PLAYER_STOP), BST_CHECKED);
  EXPECT_EQ(MeterChannelCount(meter), 1);
  EXPECT_EQ(MeterLevel(meter, 0), -36);

  // A click in the waveform while stopped moves the shown position there.
  SendMessageA(wave, WM_LBUTTONUP, 0, MAKELPARAM(40, 10));
  PumpFor(50);
  char shown[32];
  GetDlgItemTextA(dialog, IDC_PLAYER_TIME, shown, sizeof shown);
  int hours, minutes, seconds, hundredths;
  ASSERT_EQ(std::sscanf(shown, "%d:%d:%d.%d", &hours, &minutes, &seconds, &hundredths), 4) << shown;
  const int shownMs = ((hours * 60 + minutes) * 60 + seconds) * 1000 + hundredths * 10;
  EXPECT_GT(player.CursorFrame(), 0);
  EXPECT_NEAR(shownMs, framesToMs(player.CursorFrame(), 44100), 10);

  // The meter's bars: 0 dB is green to three quarters and no red, +6 dB adds red;
  // a ninth channel is not stored.
  ChannelLevels levels;
  levels.count = 9;
  for (int i = 0; i < 9; ++i) levels.level[i] = int8_t(i == 1 ? 6 : 0);
  SetMeterLevels(meter, levels);
  UpdateWindow(meter);
  EXPECT_EQ(MeterChannelCount(meter), 8);
  GetClientRect(meter, &client);
  const int w = client.right - 1, h = client.bottom - 1;
  const PixelSpan band0 = meterBand(0, 8, w, h), band1 = meterBand(1, 8, w, h);
  if (band0.bottom > band0.top + 1 && band1.bottom > band1.top + 1) {
    const RowColours zero = CountRow(meter, band0.top + 1, 0, w);
    const RowColours six = CountRow(meter, band1.top + 1, 0, w);
    EXPECT_GT(zero.green, w / 3);
    EXPECT_EQ(zero.red, 0);
    EXPECT_GT(six.red, 0);
    EXPECT_GT(six.green, w / 3);
  }
  // Every channel keeps its own level, whichever of its neighbours changed with it.
  for (int i = 0; i < 8; ++i) EXPECT_EQ(MeterLevel(meter, i), i == 1 ? 6 : 0) << i;
  levels.level[3] = -20;
  levels.level[4] = -10;
  levels.level[5] = -5;
  levels.level[6] = 100;
  SetMeterLevels(meter, levels);
  const int expected[8] = {0, 6, 0, -20, -10, -5, 12, 0};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(MeterLevel(meter, i), expected[i]) << i;
  // Changed bands are painted at once, as a full repaint paints them.
  EXPECT_FALSE(GetUpdateRect(meter, nullptr, FALSE));
  const std::vector<uint32_t> changedAtOnce = WindowPixels(meter);
  InvalidateRect(meter, nullptr, FALSE);
  UpdateWindow(meter);
  EXPECT_TRUE(changedAtOnce == WindowPixels(meter)) << "the bands painted at once differ from a repaint";
  // The same levels again invalidate nothing.
  ValidateRect(meter, nullptr);
  SetMeterLevels(meter, levels);
  EXPECT_FALSE(GetUpdateRect(meter, nullptr, FALSE));

  SendMessageA(slider, WM_KEYDOWN, VK_SUBTRACT, 1);
  DestroyWindow(dialog);
  EXPECT_EQ(player.WaveWindow(), nullptr) << "the view lets go of its destroyed window";
  EXPECT_EQ(ReadMachineNumber(kPlayerArea, kVolumeDBValue, 99), -35);
  EXPECT_EQ(ReadMachineNumber(kPlayerArea, kDeviceValue, 99), -1) << "no selection";
}

// While it follows play the waveform moves what it has drawn and paints only what
// changed: after many reports the picture is the one a full repaint gives.
TEST(PlayerDialog, FollowingPlayShowsWhatAFullRepaintShows) {
  const char* capture = std::getenv("LIRVA_CAPTURE_FILE");
  if (!capture || !*capture) GTEST_SKIP() << "needs the capture sink of scripts/test-wine";
  TempFile wav(SawtoothLoudness(44100 * 6), ".wav");
  PlayRequest request;
  MakePlayRequest(request, wav.c_str());
  PlayerDialog player(request);
  HWND dialog = ShowPlayer(player);
  ASSERT_TRUE(dialog);
  HWND wave = GetDlgItem(dialog, IDC_PLAYER_WAVE);
  // Past the first second the view scrolls on every report.
  ASSERT_TRUE(PumpUntil([&] { return player.CursorFrame() > 44100 * 5 / 2; }, 10000));
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_PLAYER_STOP, BN_CLICKED), 0);
  ASSERT_TRUE(PumpUntil([&] { return player.WaveIdle() && !GetUpdateRect(wave, nullptr, FALSE); }, 5000));
  const std::vector<uint32_t> followed = WindowPixels(wave);
  InvalidateRect(wave, nullptr, FALSE);
  UpdateWindow(wave);
  const std::vector<uint32_t> repainted = WindowPixels(wave);
  ASSERT_EQ(followed.size(), repainted.size());
  RECT client;
  GetClientRect(wave, &client);
  int differing = 0, firstX = -1, firstY = -1;
  for (size_t i = 0; i < followed.size(); ++i)
    if (followed[i] != repainted[i] && differing++ == 0) {
      firstX = int(i % client.right);
      firstY = int(i / client.right);
    }
  EXPECT_EQ(differing, 0) << "pixels that differ, the first at " << firstX << "," << firstY;
  std::set<uint32_t> colours(repainted.begin(), repainted.end());
  EXPECT_GE(colours.size(), 3u) << "background, bars and cursor";

  // The columns computed while following, each pass reading on where the last one
  // stopped, are those computed afresh from the file.
  WaveformView& view = player.Waveform();
  const WaveMapping shown = view.mapping();
  std::vector<int> following, afresh;
  for (int i = 0; i < view.width(); ++i) following.push_back(view.column(i));
  view.request(shown.start + 44100 * 4, shown.length);
  ASSERT_TRUE(PumpUntil([&] { return player.WaveIdle(); }, 5000));
  view.request(shown.start, shown.length);
  ASSERT_TRUE(PumpUntil([&] { return player.WaveIdle(); }, 5000));
  for (int i = 0; i < view.width(); ++i) afresh.push_back(view.column(i));
  EXPECT_EQ(following, afresh);
  DestroyWindow(dialog);
}

// The name box shows a file's name as the editor's list does.
TEST(PlayerDialog, DisplayNameIsTheFileTitle) {
  PlayRequest request;
  const char* cases[][2] = {{"C:\\Music\\Song.One.mp3", "Song.One"}, {"C:\\Music\\.wav", ".wav"},
                            {"C:\\Music\\a:b.wav", "a:b"}, {"D:/x/Take 2", "Take 2"}};
  for (auto& c : cases) {
    MakePlayRequest(request, c[0]);
    EXPECT_EQ(request.displayName, c[1]) << c[0];
  }
}

}  // namespace

#include "playback/win32/level_controls.h"

#include <algorithm>
#include <utility>

#include "playback/player_plan.h"
#include "common/win32/handles.h"
#include "resource.h"
#include "ui/dialog.h"
#include "ui/own_dc_paint.h"

namespace {

// Meter extra bytes: the channel count, eight levels, the bitmaps and brushes.
constexpr int kMeterCount = 0;
constexpr int kMeterGreenBitmap = 18;
constexpr int kMeterRedBitmap = 22;
constexpr int kMeterGreenBrush = 26;
constexpr int kMeterRedBrush = 30;
constexpr int kMeterExtra = 34;
int MeterLevelOffset(int channel) { return 2 + 2 * channel; }

// Slider extra bytes.
constexpr int kSliderValue = 0;
constexpr int kSliderMaximum = 2;
constexpr int kSliderMinimum = 4;
constexpr int kSliderReserved = 8;
constexpr int kKnobLeft = 12;
constexpr int kKnobTop = 14;
constexpr int kKnobBottom = 16;
constexpr int kSliderExtra = 18;

int Word(HWND window, int offset) { return static_cast<WORD>(GetWindowWord(window, offset)); }
// The low byte of a word, read as a signed dB value.
int SignedByte(HWND window, int offset) { return static_cast<signed char>(Word(window, offset) & 0xFF); }
void SetWord(HWND window, int offset, int value) { SetWindowWord(window, offset, static_cast<WORD>(value)); }

// GDI handles keep their meaning in 32 bits in both builds.
HGDIOBJ Handle32(HWND window, int offset) {
  return reinterpret_cast<HGDIOBJ>(static_cast<LONG_PTR>(GetWindowLongA(window, offset)));
}
void SetHandle32(HWND window, int offset, HGDIOBJ handle) {
  SetWindowLongA(window, offset, static_cast<LONG>(reinterpret_cast<LONG_PTR>(handle)));
}

void Fill(HDC dc, int left, int top, int right, int bottom, COLORREF color) {
  if (right <= left || bottom <= top) return;
  RECT rect = {left, top, right, bottom};
  SetBkColor(dc, color);
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

// Fills the part of [left, right) × [top, bottom) that lies in `clip`.
void FillClipped(HDC dc, const RECT& clip, int left, int top, int right, int bottom, HBRUSH brush) {
  RECT part = {std::max(left, int(clip.left)), std::max(top, int(clip.top)), std::min(right, int(clip.right)),
               std::min(bottom, int(clip.bottom))};
  if (part.right > part.left && part.bottom > part.top) FillRect(dc, &part, brush);
}

// ---- Level meter ------------------------------------------------------------------

void PaintMeter(HWND window, const OwnDcPaint& paint) {
  HDC dc = paint.dc();
  if (!dc) return;
  const RECT& box = paint.box();
  const int count = Word(window, kMeterCount);
  if (count == 0 || !IsWindowEnabled(window)) {
    FillRect(dc, &box, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    return;
  }
  RECT client;
  GetClientRect(window, &client);
  const int w = client.right - 1;
  const int h = client.bottom - 1;
  const int shown = std::min(count, kMeterChannels);
  HBRUSH green = static_cast<HBRUSH>(Handle32(window, kMeterGreenBrush));
  HBRUSH red = static_cast<HBRUSH>(Handle32(window, kMeterRedBrush));
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  for (int i = 0; i < shown; ++i) {
    const int db = static_cast<short>(Word(window, MeterLevelOffset(i)));
    const PixelSpan band = meterBand(i, shown, w, h);
    const MeterBar bar = meterBar(db, w);
    SetBrushOrgEx(dc, 0, band.top, nullptr);
    FillClipped(dc, box, 0, band.top, bar.green, band.bottom, green);
    FillClipped(dc, box, bar.green, band.top, bar.red, band.bottom, red);
    FillClipped(dc, box, bar.red, band.top, w, band.bottom, black);
  }
  if (box.bottom >= client.bottom) {
    HGDIOBJ old = SelectObject(dc, GetStockObject(WHITE_PEN));
    POINT edge[3] = {{0, client.bottom - 1}, {client.right - 1, client.bottom - 1}, {client.right - 1, 0}};
    Polyline(dc, edge, 3);
    SelectObject(dc, old);
  }
}

LRESULT CALLBACK MeterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      HBITMAP green = LoadBitmapA(ProgramInstance(), BMP_DBGREEN);
      HBITMAP red = LoadBitmapA(ProgramInstance(), BMP_DBRED);
      SetHandle32(window, kMeterGreenBitmap, green);
      SetHandle32(window, kMeterRedBitmap, red);
      SetHandle32(window, kMeterGreenBrush, green ? CreatePatternBrush(green) : CreateSolidBrush(RGB(0, 255, 0)));
      SetHandle32(window, kMeterRedBrush, red ? CreatePatternBrush(red) : CreateSolidBrush(RGB(255, 0, 0)));
      return 0;
    }
    case WM_DESTROY:
      for (int offset : {kMeterGreenBrush, kMeterRedBrush, kMeterGreenBitmap, kMeterRedBitmap}) {
        if (HGDIOBJ object = Handle32(window, offset)) DeleteObject(object);
        SetHandle32(window, offset, nullptr);
      }
      return 0;
    case WM_ENABLE:
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_PAINT:
      PaintMeter(window, OwnDcPaint(window));
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// ---- Volume slider -----------------------------------------------------------------

struct Track {
  RECT rect;
  int minimum, maximum;
  int xOf(int value) const { return sliderX(value, minimum, maximum, rect.left, rect.right - rect.left); }
};

Track TrackOf(HWND window) {
  Track track;
  GetClientRect(window, &track.rect);
  track.rect.top += 2;
  track.rect.bottom -= 2;
  track.rect.right -= 1;
  track.minimum = SignedByte(window, kSliderMinimum);
  track.maximum = SignedByte(window, kSliderMaximum);
  return track;
}

void PaintSlider(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  const Track track = TrackOf(window);
  const RECT& t = track.rect;
  const RECT& update = paint.rcPaint;
  const bool enabled = IsWindowEnabled(window) != FALSE;
  const auto color = [enabled](COLORREF c) { return enabled ? c : RGB(128, 128, 128); };
  const int value = SignedByte(window, kSliderValue);
  const int xv = track.xOf(value);
  const int x1 = value < 0 ? xv : track.xOf(0);
  // Below 0 dB (or up to the value): green.
  if (x1 > update.left) {
    Fill(dc, t.left, t.top, x1, t.bottom, color(RGB(153, 204, 102)));
    const COLORREF border = color(RGB(102, 153, 51));
    Fill(dc, 0, 0, x1, 2, border);
    Fill(dc, 0, t.bottom, x1, t.bottom + 2, border);
    Fill(dc, 0, 0, 1, t.bottom + 2, border);
  }
  int end = x1;
  // Above 0 dB: red.
  if (value >= 0) {
    if (x1 - 1 < update.right && xv > update.left) {
      Fill(dc, x1 - 1, t.top, xv, t.bottom, color(RGB(192, 0, 85)));
      const COLORREF border = color(RGB(135, 10, 22));
      Fill(dc, x1 - 1, 0, xv, 2, border);
      Fill(dc, x1 - 1, t.bottom, xv, t.bottom + 2, border);
    }
    end = xv;
  }
  // The rest of the track.
  if (end - 1 < update.right) {
    Fill(dc, end - 1, t.top, t.right, t.bottom, color(RGB(167, 174, 166)));
    const COLORREF border = color(RGB(113, 123, 111));
    Fill(dc, end - 1, 0, t.right, 2, border);
    Fill(dc, end - 1, t.bottom, t.right, t.bottom + 2, border);
    Fill(dc, t.right, 0, t.right + 1, t.bottom + 2, border);
  }
  // The knob.
  const int left = sliderKnobLeft(xv, t.left, t.right);
  const int top = t.top - 1;
  const int bottom = t.bottom + 1;
  const bool lit = GetFocus() == window || GetCapture() == window;
  Fill(dc, left, top, left + 12, bottom, lit ? RGB(204, 204, 204) : RGB(230, 230, 230));
  SetWord(window, kKnobLeft, left);
  SetWord(window, kKnobTop, top);
  SetWord(window, kKnobBottom, bottom);
  Fill(dc, left + 11, top, left + 12, bottom, RGB(75, 81, 84));
  Fill(dc, left, bottom - 1, left + 12, bottom, RGB(75, 81, 84));
  Fill(dc, left, top - 1, left + 12, top, RGB(113, 123, 111));
  Fill(dc, left + 4, top + 3, left + 5, bottom - 3, RGB(136, 143, 147));
  Fill(dc, left + 6, top + 3, left + 7, bottom - 3, RGB(136, 143, 147));
  EndPaint(window, &paint);
}

bool OnKnob(HWND window, int x, int y) {
  const int left = static_cast<short>(Word(window, kKnobLeft));
  return x >= left && x <= left + 12 && y >= static_cast<short>(Word(window, kKnobTop)) &&
         y <= static_cast<short>(Word(window, kKnobBottom));
}

void InvalidateKnob(HWND window) {
  const int left = static_cast<short>(Word(window, kKnobLeft));
  RECT rect = {left, 0, left + 13, 0};
  RECT client;
  GetClientRect(window, &client);
  rect.bottom = client.bottom;
  InvalidateRect(window, &rect, FALSE);
}

void Capture(HWND window) {
  SetCapture(window);
  HCURSOR hand = LoadCursorA(nullptr, MAKEINTRESOURCEA(32649));  // IDC_HAND
  SetCursor(hand ? hand : LoadCursorA(nullptr, MAKEINTRESOURCEA(32645)));  // IDC_SIZENS
  InvalidateKnob(window);
}

void Release(HWND window) {
  ReleaseCapture();
  InvalidateKnob(window);
}

LRESULT CALLBACK SliderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      SetWord(window, kSliderValue, 0);
      SetWord(window, kSliderMaximum, kMeterMaxDb);
      SetWord(window, kSliderMinimum, kMeterMinDb);
      SetWindowLongA(window, kSliderReserved, 0);
      return 0;
    case WM_SIZE:
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_PAINT:
      PaintSlider(window);
      return 0;
    case WM_NCHITTEST:
      return HTCLIENT;
    case WM_KEYDOWN:
      if (GetFocus() == window && (wParam == VK_ADD || wParam == VK_SUBTRACT)) {
        SetSliderValue(window, SliderValue(window) + (wParam == VK_ADD ? 1 : -1));
        return 0;
      }
      break;
    case WM_LBUTTONDOWN:
      Capture(window);
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == window) Release(window);
      return 0;
    case WM_MOUSEMOVE: {
      const int x = static_cast<short>(LOWORD(lParam));
      const int y = static_cast<short>(HIWORD(lParam));
      if (GetCapture() != window) {
        if (OnKnob(window, x, y)) Capture(window);
      } else if (wParam == MK_LBUTTON) {
        RECT client;
        GetClientRect(window, &client);
        const int before = SliderValue(window);
        SetSliderValue(window, sliderValueAt(x, client.right, SignedByte(window, kSliderMinimum),
                                             SignedByte(window, kSliderMaximum)));
        if (SliderValue(window) != before) {
          PostMessageA(GetParent(window), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), kSliderChanged),
                       reinterpret_cast<LPARAM>(window));
        }
      } else if (!(wParam & MK_LBUTTON) && !OnKnob(window, x, y)) {
        Release(window);
      }
      return 0;
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

void RegisterLevelControls() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  WNDCLASSA meter = {};
  meter.style = CS_OWNDC | CS_VREDRAW | CS_HREDRAW;  // 0x23
  meter.lpfnWndProc = MeterProc;
  meter.cbWndExtra = kMeterExtra;
  meter.hInstance = ProgramInstance();
  meter.lpszClassName = CLASS_DBDISPLAY;
  RegisterClassA(&meter);
  WNDCLASSA slider = {};
  slider.style = CS_VREDRAW | CS_HREDRAW;  // 3
  slider.lpfnWndProc = SliderProc;
  slider.cbWndExtra = kSliderExtra;
  slider.hInstance = ProgramInstance();
  slider.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  slider.lpszClassName = CLASS_DBEDIT;
  RegisterClassA(&slider);
}

void SetMeterLevels(HWND meter, const ChannelLevels& levels) {
  RECT client;
  GetClientRect(meter, &client);
  const int w = client.right - 1;
  const int h = client.bottom - 1;
  const int count = std::min<int>(levels.count, kMeterChannels);
  int olds[kMeterChannels], dbs[kMeterChannels];
  for (int i = 0; i < count; ++i) {
    olds[i] = static_cast<short>(Word(meter, MeterLevelOffset(i)));
    dbs[i] = clampMeterDb(levels.level[i]);
  }
  // Storing a word and invalidating are round trips to Wine's server each, and the
  // levels change on every report: two neighbouring channels that both changed are
  // stored as one long, and the changed parts of the bands are painted together at
  // once rather than invalidated (which would cost the invalidation, a WM_PAINT and
  // its update-region requests: five round trips a report).
  Region changed;
  for (int i = 0; i < count; ++i) {
    if (dbs[i] == olds[i]) continue;
    if (i % 2 == 0 && i + 1 < count && dbs[i + 1] != olds[i + 1])
      SetWindowLongA(meter, MeterLevelOffset(i), LONG(MAKELONG(WORD(dbs[i]), WORD(dbs[i + 1]))));
    else if (i % 2 == 0 || dbs[i - 1] == olds[i - 1])
      SetWord(meter, MeterLevelOffset(i), dbs[i]);
    const PixelSpan change = meterChange(i, count, w, h, olds[i], dbs[i]);
    Region band(CreateRectRgn(change.left, change.top, change.right, change.bottom));
    if (changed)
      CombineRgn(changed.get(), changed.get(), band.get(), RGN_OR);
    else
      changed = std::move(band);
  }
  if (Word(meter, kMeterCount) != count) {
    SetWord(meter, kMeterCount, count);
    InvalidateRect(meter, nullptr, FALSE);
  } else if (changed && IsWindowVisible(meter)) {
    PaintMeter(meter, OwnDcPaint(meter, std::move(changed)));
  }
}

int MeterChannelCount(HWND meter) { return Word(meter, kMeterCount); }
int MeterLevel(HWND meter, int channel) { return static_cast<short>(Word(meter, MeterLevelOffset(channel))); }

int SliderValue(HWND slider) { return SignedByte(slider, kSliderValue); }

void SetSliderValue(HWND slider, int db) {
  const Track track = TrackOf(slider);
  const int value = std::clamp(db, track.minimum, track.maximum);
  const int old = SliderValue(slider);
  SetWord(slider, kSliderValue, value);
  RECT client;
  GetClientRect(slider, &client);
  // x measured over the track between client left + 1 and client right − 1.
  const int width = client.right - 2;
  const int lowX = sliderX(std::min(old, value), track.minimum, track.maximum, 1, width);
  const int highX = sliderX(std::max(old, value), track.minimum, track.maximum, 1, width);
  RECT strip = {lowX - 12, 0, highX + 12, client.bottom};
  InvalidateRect(slider, &strip, TRUE);
}

// The player window's arithmetic that needs no window: the time text, the
// position bar's scroll codes, the waveform view's mapping and scrolling, and the
// geometry of the level meter and the volume slider.
#pragma once
#include <cstdint>

// "h:mm:ss.hh" of a position in milliseconds, rounded to the nearest hundredth
// (negative times show as 0). `text` holds at least 32 characters.
void formatPlayTime(int32_t ms, char* text);

// The position bar's value, 0 … 100, for a position within a length.
int positionBarValue(int32_t positionMs, int32_t lengthMs);

// What a scroll code of the position bar asks for.
struct PositionBarMove {
  enum Kind { None, Seek, JumpStart, JumpEnd } kind;
  int32_t ms;  // for Seek
};
PositionBarMove positionBarMove(int code, int thumb, int32_t positionMs, int32_t lengthMs);

// ---- The waveform view --------------------------------------------------------

constexpr int kMaxWaveColumns = 2048;

// Columns of a client area: its width less the two border columns, 1 … 2048.
int waveColumnsOfWidth(int clientWidth);

// The value of a column from the peak of its frames (work samples): 0 … 255.
uint8_t waveColumnValue(int32_t peak);

// Which frames the view shows and where they are drawn.
struct WaveMapping {
  int32_t start = 0;
  int32_t length = 0;  // 0: nothing computed yet
  int32_t origin = 0;  // start × scale: the pixel offset of the view
  double scale = 1.0;  // pixels per frame
  int width = 1;       // columns

  // −1 when nothing is shown or the frame lies left of the view; at most width.
  int xOf(int64_t frame) const;
  int32_t frameOf(int x) const;
};

// The columns to compute after the view moved to (start, length), and how far
// the picture already drawn moves (dx > 0: to the right).
struct WaveUpdate {
  int lo = 0;
  int hi = 0;
  int dx = 0;
  bool scrolled = false;  // the picture and the columns moved by dx
};
// Moves the mapping and, when the view scrolled, the column values with it.
// `windowPresent` false: nothing is computed for a view without a window.
WaveUpdate updateWaveView(WaveMapping& view, uint8_t* columns, int32_t start, int32_t length,
                          bool windowPresent);

// ---- The level meter and the volume slider -------------------------------------

constexpr int kMeterMinDb = -36;
constexpr int kMeterMaxDb = 12;
constexpr int kMeterChannels = 8;

int clampMeterDb(int db);

struct PixelSpan {
  int left, top, right, bottom;
};

// Channel `channel` of `count` in a meter of inner size w × h: the band's rows.
PixelSpan meterBand(int channel, int count, int w, int h);
// The part of a band that changes when its level goes from `oldDb` to `newDb`.
PixelSpan meterChange(int channel, int count, int w, int h, int oldDb, int newDb);
// The ends of a band's green part and of its red part (xr = xg when no red).
struct MeterBar {
  int green;
  int red;
};
MeterBar meterBar(int db, int w);

// The slider's track x of a value (track from `left` over `width` pixels).
int sliderX(int value, int minimum, int maximum, int left, int width);
// The value of a pointer at x over a client area `clientWidth` wide.
int sliderValueAt(int x, int clientWidth, int minimum, int maximum);
// The knob's left edge for a value at x on the track [left, right].
int sliderKnobLeft(int x, int left, int right);

// The waveform control "LWaveWindow": two seconds of audio around the play
// position, one peak bar per pixel column, with the play cursor and the scrubbed
// snippet highlighted. A low-priority worker reads the file through its own
// source and computes the columns; a view that moves by less than its width
// scrolls and computes only the newly exposed columns.
#pragma once

#include <vector>
#include <windows.h>

#include "audio/audio_source.h"
#include "common/win32/handles.h"
#include "ui/own_dc_paint.h"
#include "playback/player_plan.h"
#include "playback/win32/worker_thread.h"

// Notification code of a click in the view (in WM_COMMAND to the parent).
constexpr UINT kWaveClicked = 2;

class WaveformView : private WorkerThread {
 public:
  WaveformView();
  ~WaveformView() override;

  // Takes the control over: its user slot points here, the layout comes from its
  // client area, and it stays disabled until the worker starts.
  void attach(HWND window);
  // The window shown in; null once it was destroyed.
  HWND window() const { return window_; }
  void layout();
  void setFileLength(int32_t frames);
  // Starts computing from `source` (the view keeps a reference) unless it is not
  // Ok; the first request then recomputes everything.
  void startWorker(AudioSource* source);
  void stopWorker();
  bool isRunning() const { return Running(); }
  void setCursor(int32_t frame, int32_t length);
  int32_t cursor();
  // Asks the worker for the frames [start, start + length).
  void request(int32_t start, int32_t length);
  // Both at once, as when following play: the worker moves the cursor with the
  // view, so that the window is scrolled and repainted once for both.
  void follow(int32_t frame, int32_t cursorLength, int32_t start, int32_t length);
  // Waits up to `timeoutMs` for the worker to finish the request made last and
  // paints what it changed at once, in this same wake of the user-interface thread;
  // past the time-out the worker marks the columns for WM_PAINT as usual.
  void paintFollowed(DWORD timeoutMs);

  // What the view shows, for tests and measurements.
  int width() const { return mapping_.width; }
  uint8_t column(int index) const { return columns_[index]; }
  WaveMapping mapping();
  // Whether the worker has served the last request made.
  bool idle();

 protected:
  void Run() override;
  const wchar_t* Name() const override { return L"lirva waveform"; }
  void OnStopRequested() override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void paint(const OwnDcPaint& ps);
  // The colour of pixel (x, y) of the picture, which paint() draws.
  uint32_t pixel(int x, int y, bool enabled, int cx0, int cx1, int fx0, int fx1) const;
  void invalidateColumns(int x0, int x1);
  // The pixels of columns x0 … x1 (either order).
  RECT columnsRect(int x0, int x1) const;
  void addColumns(HRGN region, int x0, int x1) const;
  // Hands the worker the frames [start, start + length); requestLock_ held.
  void postRequest(int32_t start, int32_t length);

  HWND window_ = nullptr;
  uint8_t columns_[kMaxWaveColumns] = {};
  WaveMapping mapping_;
  int32_t cursor_ = 0;
  int32_t cursorLength_ = 0;
  int32_t fileLength_ = 0;
  int height_ = 1;
  CriticalSection paintLock_;
  Pen cursorPen_, outsidePen_, outsideBarPen_, highlightPen_, highlightBarPen_, backgroundPen_, barPen_;
  // The pens' colours as 0x00RRGGBB pixels, and the pixels of a paint.
  uint32_t cursorPixel_, outsidePixel_, outsideBarPixel_, highlightPixel_, highlightBarPixel_, backgroundPixel_,
      barPixel_;
  std::vector<uint32_t> paintPixels_;
  SourceRef source_;
  int32_t requestStart_ = 0;
  int32_t requestLength_ = 0;
  bool cursorPending_ = false;  // a cursor for the worker to move (follow)
  int32_t pendingCursor_ = 0;
  int32_t pendingCursorLength_ = 0;
  CriticalSection requestLock_;
  // Signalled under the request lock when a request is made. A condition variable
  // rather than an event: under Wine an event's signal, wait and reset are round
  // trips to its server, ten times a second each while playing; this waits and wakes
  // within the process.
  CONDITION_VARIABLE requestMade_ = CONDITION_VARIABLE_INIT;
  // Under the paint lock: the user-interface thread waiting in paintFollowed, and the
  // region the worker handed to it instead of invalidating.
  bool uiWaiting_ = false;
  Region handedOver_;
  uint32_t requestSerial_ = 0;  // under the request lock: requests made
  uint32_t servedSerial_ = 0;   // under the paint lock: the request the worker last served
  CONDITION_VARIABLE handOver_ = CONDITION_VARIABLE_INIT;
};

#include "playback/win32/waveform_view.h"

#include <algorithm>
#include <vector>

#include "audio/samples.h"
#include "resource.h"
#include "ui/dialog.h"
#include "ui/own_dc_paint.h"

namespace {
constexpr int kChunkFrames = 8192;
// Frames kept from the end of what the worker read last (more than a column of the
// player's view holds).
constexpr int kTailFrames = 1024;

void RegisterWaveWindowClass(WNDPROC procedure) {
  static bool registered = false;
  if (registered) return;
  registered = true;
  WNDCLASSA windowClass = {};
  windowClass.style = CS_OWNDC | CS_VREDRAW | CS_HREDRAW;  // 0x23
  windowClass.lpfnWndProc = procedure;
  windowClass.cbWndExtra = 4;
  windowClass.hInstance = ProgramInstance();
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  windowClass.lpszClassName = CLASS_WAVEWINDOW;
  RegisterClassA(&windowClass);
}

// A pen's colour as a pixel of a 32-bit DIB (0x00RRGGBB).
uint32_t PenPixel(HPEN pen) {
  LOGPEN logical = {};
  if (!pen || GetObjectW(pen, sizeof logical, &logical) != sizeof logical) return 0;
  const COLORREF c = logical.lopnColor;
  return uint32_t(GetRValue(c)) << 16 | uint32_t(GetGValue(c)) << 8 | GetBValue(c);
}

constexpr uint32_t kWhitePixel = 0xFFFFFF;
constexpr uint32_t kBlackPixel = 0;
constexpr uint32_t kGreyPixel = 0x808080;  // GRAY_BRUSH
}  // namespace

WaveformView::WaveformView()
    : cursorPen_(CreatePen(PS_SOLID, 1, RGB(0, 255, 0))),
      outsidePen_(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNFACE))),
      outsideBarPen_(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_GRAYTEXT))),
      highlightPen_(CreatePen(PS_SOLID, 1, RGB(255, 255, 189))),
      highlightBarPen_(CreatePen(PS_SOLID, 1, RGB(0, 128, 0))),
      backgroundPen_(CreatePen(PS_SOLID, 1, RGB(0, 0, 0))),
      barPen_(CreatePen(PS_SOLID, 1, RGB(102, 255, 102))) {
  cursorPixel_ = PenPixel(cursorPen_.get());
  outsidePixel_ = PenPixel(outsidePen_.get());
  outsideBarPixel_ = PenPixel(outsideBarPen_.get());
  highlightPixel_ = PenPixel(highlightPen_.get());
  highlightBarPixel_ = PenPixel(highlightBarPen_.get());
  backgroundPixel_ = PenPixel(backgroundPen_.get());
  barPixel_ = PenPixel(barPen_.get());
  RegisterWaveWindowClass(WindowProc);
}

WaveformView::~WaveformView() {
  stopWorker();
  if (window_) SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
}

void WaveformView::attach(HWND window) {
  window_ = window;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  layout();
  EnableWindow(window, FALSE);
}

void WaveformView::layout() {
  if (!window_) return;
  RECT client;
  GetClientRect(window_, &client);
  Lock lock(paintLock_);
  mapping_.width = waveColumnsOfWidth(client.right);
  height_ = client.bottom - 1;
}

WaveMapping WaveformView::mapping() {
  Lock lock(paintLock_);
  return mapping_;
}

bool WaveformView::idle() {
  uint32_t requested;
  {
    Lock lock(requestLock_);
    requested = requestSerial_;
  }
  Lock lock(paintLock_);
  return servedSerial_ == requested;
}

RECT WaveformView::columnsRect(int x0, int x1) const {
  return {std::min(x0, x1) + 1, 0, std::max(x0, x1) + 2, height_ + 1};
}

void WaveformView::invalidateColumns(int x0, int x1) {
  if (!window_) return;
  const RECT rect = columnsRect(x0, x1);
  InvalidateRect(window_, &rect, FALSE);
}

void WaveformView::addColumns(HRGN region, int x0, int x1) const {
  const RECT rect = columnsRect(x0, x1);
  const Region columns(CreateRectRgnIndirect(&rect));
  CombineRgn(region, region, columns.get(), RGN_OR);
}

void WaveformView::setFileLength(int32_t frames) {
  int oldX, newX;
  {
    Lock lock(paintLock_);
    oldX = mapping_.xOf(fileLength_);
    fileLength_ = frames;
    newX = mapping_.xOf(frames);
  }
  invalidateColumns(oldX, newX);
}

void WaveformView::startWorker(AudioSource* source) {
  uint32_t requested;
  stopWorker();
  {
    Lock lock(requestLock_);
    requestStart_ = requestLength_ = 0;
    requested = requestSerial_;
  }
  if (!source || source->status() != SourceStatus::Ok) return;
  source_ = SourceRef(source);
  if (window_) SetWindowLongA(window_, GWL_STYLE, GetWindowLongA(window_, GWL_STYLE) & ~WS_DISABLED);
  {
    Lock lock(paintLock_);
    mapping_.length = 0;
    servedSerial_ = requested;  // nothing is asked of the new worker yet
  }
  Start(THREAD_PRIORITY_LOWEST);
}

void WaveformView::stopWorker() {
  // The source goes only once the worker has ended.
  StopAndWait(5000);
  source_.reset();
  if (window_) EnableWindow(window_, FALSE);
}

void WaveformView::setCursor(int32_t frame, int32_t length) {
  int oldX0, oldX1, newX0, newX1;
  {
    Lock lock(paintLock_);
    oldX0 = mapping_.xOf(cursor_);
    oldX1 = mapping_.xOf(int64_t(cursor_) + cursorLength_);
    cursor_ = frame;
    cursorLength_ = length;
    newX0 = mapping_.xOf(frame);
    newX1 = mapping_.xOf(int64_t(frame) + length);
  }
  invalidateColumns(newX0, newX1);
  invalidateColumns(oldX0, oldX1);
}

int32_t WaveformView::cursor() {
  {
    Lock lock(requestLock_);
    if (cursorPending_) return pendingCursor_;
  }
  Lock lock(paintLock_);
  return cursor_;
}

void WaveformView::postRequest(int32_t start, int32_t length) {
  ++requestSerial_;
  requestStart_ = start;
  requestLength_ = length;
  WakeConditionVariable(&requestMade_);
}

void WaveformView::request(int32_t start, int32_t length) {
  Lock lock(requestLock_);
  postRequest(start, length);
}

void WaveformView::follow(int32_t frame, int32_t cursorLength, int32_t start, int32_t length) {
  Lock lock(requestLock_);  // the worker sees the cursor and the request together
  cursorPending_ = true;
  pendingCursor_ = frame;
  pendingCursorLength_ = cursorLength;
  postRequest(start, length);
}

void WaveformView::OnStopRequested() {
  Lock lock(requestLock_);
  WakeAllConditionVariable(&requestMade_);
}

void WaveformView::Run() {
  AudioSource& source = *source_;
  const int channels = std::max(1, source.channels());
  std::vector<int32_t> buffer(size_t(channels) * kChunkFrames);
  // The last frames read, up to the source's position: when the view moves on by a
  // report, the first column to compute begins a little before where reading
  // stopped (the last column drawn is computed again), and those frames are taken
  // from here instead of seeking back (an MP3 seek decodes several frames again).
  std::vector<int32_t> tail(size_t(channels) * kTailFrames);
  int tailFrames = 0;
  const auto keepTail = [&](const int32_t* samples, int frames) {
    const int keep = std::min(frames, kTailFrames);
    const int old = std::min(tailFrames, kTailFrames - keep);
    if (tailFrames > old)
      std::copy(tail.begin() + (tailFrames - old) * channels, tail.begin() + tailFrames * channels, tail.begin());
    std::copy(samples + (frames - keep) * channels, samples + frames * channels, tail.begin() + old * channels);
    tailFrames = old + keep;
  };
  int32_t lastStart = 0, lastLength = 0;
  while (!StopRequested()) {
    int32_t start, length, newCursor = 0, newCursorLength = 0;
    bool same, moveCursor;
    uint32_t serial;
    {
      Lock lock(requestLock_);
      serial = requestSerial_;
      start = requestStart_;
      length = requestLength_;
      moveCursor = cursorPending_;
      newCursor = pendingCursor_;
      newCursorLength = pendingCursorLength_;
      cursorPending_ = false;
      same = start == lastStart && length == lastLength;
    }
    if (same && !moveCursor) {
      {
        Lock lock(paintLock_);
        servedSerial_ = serial;  // nothing changes: served as it stands
      }
      Lock lock(requestLock_);
      requestLock_.SleepUntil(requestMade_, INFINITE, [&] { return StopRequested() || requestSerial_ != serial; });
      continue;
    }
    WaveUpdate update;
    WaveMapping view;
    // What the cursor's move leaves to repaint: where it was (wherever the scroll
    // took those pixels) and where it is.
    Region repaint(CreateRectRgn(0, 0, 0, 0));
    {
      Lock lock(paintLock_);
      if (!same) update = updateWaveView(mapping_, columns_, start, length, window_ != nullptr);
      view = mapping_;
      if (moveCursor) {
        addColumns(repaint.get(), view.xOf(cursor_), view.xOf(int64_t(cursor_) + cursorLength_));
        cursor_ = newCursor;
        cursorLength_ = newCursorLength;
        addColumns(repaint.get(), view.xOf(newCursor), view.xOf(int64_t(newCursor) + newCursorLength));
      }
      // What is still to be painted moves with the picture; a paint due elsewhere
      // (the frame's left line when the window has just been shown) stays.
      const Region pending(CreateRectRgn(0, 0, 0, 0));
      bool invalid = window_ && (update.scrolled || update.hi > update.lo) &&
                     GetUpdateRgn(window_, pending.get(), FALSE) > NULLREGION;
      const RECT strip = columnsRect(update.lo, update.hi);
      if (update.scrolled && window_) {
        RECT area = {1, 1, view.width + 1, height_};
        const Region areaRegion(CreateRectRgnIndirect(&area));
        // Scrolled with ScrollDC: ScrollWindowEx also asks Wine's server for the
        // caret's thread and the update region on every report. A cache device
        // context, not the view's own: a GDI call on a device context fails while
        // another thread is in one on the same context. What the scroll could not
        // bring from the screen besides the strip to compute (parts under another
        // window) is invalidated; a scroll that failed, all of the area.
        const Region exposed(CreateRectRgn(0, 0, 0, 0));
        bool scrolled = false;
        if (HDC dc = GetDCEx(window_, nullptr, DCX_CACHE)) {
          scrolled = ScrollDC(dc, update.dx, 0, &area, &area, exposed.get(), nullptr);
          ReleaseDC(window_, dc);
        }
        if (!scrolled) SetRectRgn(exposed.get(), area.left, area.top, area.right, area.bottom);
        const Region stripRegion(CreateRectRgnIndirect(&strip));
        if (CombineRgn(exposed.get(), exposed.get(), stripRegion.get(), RGN_DIFF) > NULLREGION) {
          InvalidateRgn(window_, exposed.get(), FALSE);
          invalid = true;
        }
        if (invalid && CombineRgn(pending.get(), pending.get(), areaRegion.get(), RGN_AND) > NULLREGION) {
          OffsetRgn(pending.get(), update.dx, 0);
          CombineRgn(pending.get(), pending.get(), areaRegion.get(), RGN_AND);
          InvalidateRgn(window_, pending.get(), FALSE);
        }
      }
      // The columns to compute are painted once they are computed: they are taken
      // out of what is due now.
      if (invalid && update.hi > update.lo) ValidateRect(window_, &strip);
    }
    const int lo = std::clamp(update.lo, 0, view.width);
    const int hi = std::clamp(update.hi, 0, std::min(view.width, kMaxWaveColumns));
    if (lo < hi) {
      const int64_t back = int64_t(source.position()) - view.frameOf(lo);
      if (back < 0 || back > tailFrames) {
        source.seek(view.frameOf(lo));
        tailFrames = 0;
      }
    }
    for (int c = lo; c < hi && !StopRequested(); ++c) {
      int32_t peak = 0;
      const int32_t end = view.frameOf(c + 1);
      // The column's frames before the source's position are in the tail.
      const int64_t back = int64_t(source.position()) - view.frameOf(c);
      if (back > 0) {
        const int64_t past = std::max<int64_t>(int64_t(source.position()) - end, 0);
        if (back > past)
          peak = peakOf(channels, &tail[size_t(tailFrames - back) * channels], int(back - past));
      }
      int64_t n = int64_t(end) - source.position();
      while (n > 0) {
        const int k = int(std::min<int64_t>(n, kChunkFrames));
        source.read(buffer.data(), k);
        keepTail(buffer.data(), k);
        peak = std::max(peak, peakOf(channels, buffer.data(), k));
        n -= k;
      }
      columns_[c] = waveColumnValue(peak);
    }
    if (lo < hi) addColumns(repaint.get(), lo, hi);
    Lock lock(paintLock_);
    servedSerial_ = serial;
    if (window_ && uiWaiting_) {
      if (handedOver_)
        CombineRgn(handedOver_.get(), handedOver_.get(), repaint.get(), RGN_OR);
      else
        handedOver_ = std::move(repaint);
      WakeConditionVariable(&handOver_);
    } else if (window_) {
      InvalidateRgn(window_, repaint.get(), FALSE);
    }
    lastStart = start;
    lastLength = length;
  }
}

// The picture: columns 1 … width, each a line from row 1 to the row above the
// bottom frame line, of the background colour above and below a bar centred on the
// middle row; the cursor's first column a line of the cursor colour; columns outside
// the file and those the cursor spans in their own colours. Around them the frame:
// black on the top and left, white on the bottom and right.
uint32_t WaveformView::pixel(int x, int y, bool enabled, int cx0, int cx1, int fx0, int fx1) const {
  const int width = mapping_.width;
  const int height = height_;
  if ((x == 0 && y < height) || (y == 0 && x < width + 1)) return kBlackPixel;
  if ((x == width + 1 && y < height) || y == height) return kWhitePixel;
  if (!enabled) return kGreyPixel;
  const int e = x - 1;
  if (e == cx0) return cursorPixel_;
  uint32_t background = backgroundPixel_, bar = barPixel_;
  if (e < fx0 || e > fx1) {
    background = outsidePixel_;
    bar = outsideBarPixel_;
  } else if (cx0 <= e && e < cx1) {
    background = highlightPixel_;
    bar = highlightBarPixel_;
  }
  const int mid = height >> 1;
  const int o = (columns_[e] * height) >> 9;
  return y >= mid - o && y < mid + o + 1 ? bar : background;
}

void WaveformView::paintFollowed(DWORD timeoutMs) {
  if (!isRunning()) return;
  uint32_t serial;
  {
    Lock lock(requestLock_);
    serial = requestSerial_;
  }
  // The region is painted before the lock is let go: the worker's next scroll would
  // move the pixels it covers.
  Lock lock(paintLock_);
  if (!window_) return;
  uiWaiting_ = true;
  paintLock_.SleepUntil(handOver_, timeoutMs, [&] { return servedSerial_ == serial; });
  uiWaiting_ = false;
  if (handedOver_) paint(OwnDcPaint(window_, std::move(handedOver_)));
}

// The caller holds the paint lock, taken before the region to paint: the worker
// scrolls under it, and pixels it moved after their region was taken but before
// they were painted would stay stale.
void WaveformView::paint(const OwnDcPaint& ps) {
  HDC dc = ps.dc();
  if (!dc) return;
  const RECT& update = ps.box();
  // Disabled, the view is grey within its frame (and wherever else it is painted).
  const bool enabled = IsWindowEnabled(window_);
  if (!enabled) FillRect(dc, &update, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
  // The pixels of the update box are computed here and handed to GDI in one call:
  // drawn as lines, a report's columns took some two hundred GDI calls, each a
  // switch into Wine's graphics driver and a lock of the device context.
  const int width = mapping_.width;
  const int height = height_;
  const int left = std::max(int(update.left), 0), top = std::max(int(update.top), 0);
  const int right = std::min(int(update.right), width + 2), bottom = std::min(int(update.bottom), height + 1);
  if (right <= left || bottom <= top) return;
  int cx0 = mapping_.xOf(cursor_);
  const int cx1 = mapping_.xOf(int64_t(cursor_) + cursorLength_);
  if (cx0 == width) cx0 = width - 1;
  const int fx0 = mapping_.xOf(0);
  const int fx1 = mapping_.xOf(fileLength_);
  const int w = right - left, h = bottom - top;
  paintPixels_.resize(size_t(w) * h);
  for (int y = top; y < bottom; ++y) {
    uint32_t* row = &paintPixels_[size_t(y - top) * w];
    for (int x = left; x < right; ++x) row[x - left] = pixel(x, y, enabled, cx0, cx1, fx0, fx1);
  }
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  SetDIBitsToDevice(dc, left, top, DWORD(w), DWORD(h), 0, 0, 0, UINT(h), paintPixels_.data(), &info,
                    DIB_RGB_COLORS);
}

LRESULT CALLBACK WaveformView::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    return 0;
  }
  WaveformView* view = reinterpret_cast<WaveformView*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!view) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_NCDESTROY: {
      // The window goes before the view: nothing of the view may reach it after.
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      Lock lock(view->paintLock_);
      view->window_ = nullptr;
      break;
    }
    case WM_SIZE:
      view->layout();
      break;
    case WM_ENABLE:
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_PAINT: {
      Lock lock(view->paintLock_);
      view->paint(OwnDcPaint(window));
      return 0;
    }
    case WM_LBUTTONUP: {
      const int x = static_cast<short>(LOWORD(lParam));
      int32_t frame;
      {
        Lock lock(view->paintLock_);
        frame = view->mapping_.frameOf(x);
      }
      view->setCursor(frame, 0);
      PostMessageA(GetParent(window), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), kWaveClicked),
                   reinterpret_cast<LPARAM>(window));
      return 0;
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

#include "playback/win32/waveform_view.h"

#include <algorithm>
#include <vector>

#include "audio/samples.h"
#include "resource.h"
#include "ui/dialog.h"
#include "ui/own_dc_paint.h"

namespace {
constexpr int kChunkFrames = 8192;

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

void VerticalLine(HDC dc, HPEN pen, int x, int y0, int y1) {
  if (y1 <= y0) return;
  SelectObject(dc, pen);
  MoveToEx(dc, x, y0, nullptr);
  LineTo(dc, x, y1);
}
}  // namespace

WaveformView::WaveformView()
    : cursorPen_(CreatePen(PS_SOLID, 1, RGB(0, 255, 0))),
      outsidePen_(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNFACE))),
      outsideBarPen_(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_GRAYTEXT))),
      highlightPen_(CreatePen(PS_SOLID, 1, RGB(255, 255, 189))),
      highlightBarPen_(CreatePen(PS_SOLID, 1, RGB(0, 128, 0))),
      backgroundPen_(CreatePen(PS_SOLID, 1, RGB(0, 0, 0))),
      barPen_(CreatePen(PS_SOLID, 1, RGB(102, 255, 102))),
      requestEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
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

bool WaveformView::idle() { return served_ != 0; }

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
  stopWorker();
  {
    Lock lock(requestLock_);
    requestStart_ = requestLength_ = 0;
  }
  if (!source || source->status() != SourceStatus::Ok) return;
  source_ = SourceRef(source);
  if (window_) SetWindowLongA(window_, GWL_STYLE, GetWindowLongA(window_, GWL_STYLE) & ~WS_DISABLED);
  {
    Lock lock(paintLock_);
    mapping_.length = 0;
  }
  served_ = 1;
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
  requestStart_ = start;
  requestLength_ = length;
  served_ = 0;
  SetEvent(requestEvent_.get());
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

void WaveformView::Run() {
  AudioSource& source = *source_;
  const int channels = std::max(1, source.channels());
  std::vector<int32_t> buffer(size_t(channels) * kChunkFrames);
  int32_t lastStart = 0, lastLength = 0;
  while (!StopRequested()) {
    int32_t start, length, newCursor = 0, newCursorLength = 0;
    bool same, moveCursor;
    {
      Lock lock(requestLock_);
      start = requestStart_;
      length = requestLength_;
      moveCursor = cursorPending_;
      newCursor = pendingCursor_;
      newCursorLength = pendingCursorLength_;
      cursorPending_ = false;
      same = start == lastStart && length == lastLength;
      if (same && !moveCursor) served_ = 1;
    }
    if (same && !moveCursor) {
      WaitAndReset(requestEvent_.get(), INFINITE);
      continue;
    }
    WaveUpdate update;
    WaveMapping view;
    // What the cursor's move leaves to repaint: where it was (wherever the scroll
    // took those pixels) and where it is.
    const Region repaint(CreateRectRgn(0, 0, 0, 0));
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
      if (update.scrolled) {
        RECT area = {1, 1, view.width + 1, height_};
        // Given no region for what the scroll uncovers, Wine invalidates the whole
        // window (and so repaints all of it on every report); the strip is computed
        // and invalidated below in any case.
        const Region uncovered(CreateRectRgn(0, 0, 0, 0));
        ScrollWindowEx(window_, update.dx, 0, &area, &area, uncovered.get(), nullptr, 0);
      }
      // The columns to compute are painted once they are computed. Only they are
      // marked valid: a paint still due elsewhere (the frame's left line when the
      // window has just been shown) must not be lost.
      if (update.hi > update.lo && window_) {
        const RECT strip = columnsRect(update.lo, update.hi);
        ValidateRect(window_, &strip);
      }
    }
    const int lo = std::clamp(update.lo, 0, view.width);
    const int hi = std::clamp(update.hi, 0, std::min(view.width, kMaxWaveColumns));
    if (lo < hi) source.seek(view.frameOf(lo));
    for (int c = lo; c < hi && !StopRequested(); ++c) {
      int32_t peak = 0;
      int64_t n = int64_t(view.frameOf(c + 1)) - source.position();
      while (n > 0) {
        const int k = int(std::min<int64_t>(n, kChunkFrames));
        source.read(buffer.data(), k);
        peak = std::max(peak, peakOf(channels, buffer.data(), k));
        n -= k;
      }
      columns_[c] = waveColumnValue(peak);
    }
    if (lo < hi) addColumns(repaint.get(), lo, hi);
    Lock lock(paintLock_);
    if (window_) InvalidateRgn(window_, repaint.get(), FALSE);
    lastStart = start;
    lastLength = length;
  }
}

void WaveformView::paint() {
  // The lock is taken first: the worker scrolls under it, and pixels it moved after
  // their region was taken here but before they were painted would stay stale.
  Lock lock(paintLock_);
  const OwnDcPaint ps(window_);
  HDC dc = ps.dc();
  const RECT& update = ps.box();
  const int width = mapping_.width;
  const int height = height_;
  if (!IsWindowEnabled(window_)) {
    FillRect(dc, &update, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
  } else {
    int cx0 = mapping_.xOf(cursor_);
    const int cx1 = mapping_.xOf(int64_t(cursor_) + cursorLength_);
    if (cx0 == width) cx0 = width - 1;
    const int fx0 = mapping_.xOf(0);
    const int fx1 = mapping_.xOf(fileLength_);
    const int mid = height >> 1;
    const int first = std::max(int(update.left) - 1, 0);
    const int last = std::min(int(update.right) - 1, width);
    for (int e = first; e < last; ++e) {
      const int x = e + 1;
      if (e == cx0) {
        VerticalLine(dc, cursorPen_.get(), x, 1, height);
        continue;
      }
      HPEN background = backgroundPen_.get(), bar = barPen_.get();
      if (e < fx0 || e > fx1) {
        background = outsidePen_.get();
        bar = outsideBarPen_.get();
      } else if (cx0 <= e && e < cx1) {
        background = highlightPen_.get();
        bar = highlightBarPen_.get();
      }
      const int o = (columns_[e] * height) >> 9;
      VerticalLine(dc, background, x, 1, mid - o);
      VerticalLine(dc, bar, x, std::max(mid - o, 1), std::min(mid + o + 1, height));
      VerticalLine(dc, background, x, mid + o + 1, height);
    }
  }
  if (update.bottom > height) {
    SelectObject(dc, GetStockObject(WHITE_PEN));
    MoveToEx(dc, 0, height, nullptr);
    LineTo(dc, width + 2, height);
  }
  if (update.right > width + 1) {
    SelectObject(dc, GetStockObject(WHITE_PEN));
    MoveToEx(dc, width + 1, 0, nullptr);
    LineTo(dc, width + 1, height);
  }
  SelectObject(dc, GetStockObject(BLACK_PEN));
  if (update.top == 0) {
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, width + 1, 0);
  }
  if (update.left == 0) {
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, 0, height);
  }
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
    case WM_PAINT:
      view->paint();
      return 0;
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

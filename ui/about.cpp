#include "ui/about.h"

#include <cstring>

#include "resource.h"
#include "common/win32/handles.h"

namespace {

constexpr char kClassName[] = CLASS_ABOUTWINDOW;
constexpr char kProductName[] = "Lirva";
constexpr char kVersionLine[] = "Lirva v 1.00";
constexpr UINT kTextFormat = DT_NOPREFIX | DT_WORDBREAK;

HINSTANCE gPictureModule = nullptr;

HINSTANCE PictureModule() { return gPictureModule ? gPictureModule : ProgramInstance(); }

HFONT MakeTextFont(int weight) {
  return CreateFontA(16, 0, 0, 0, weight, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, nullptr);
}

void DrawPicture(HDC dc, const RECT& client, const Picture& picture) {
  if (!picture.bitmap()) return;
  MemoryDc memory(dc);
  if (!memory) return;
  Selected selected(memory.get(), picture.bitmap());
  BitBlt(dc, 0, 0, client.right - client.left, client.bottom - client.top, memory.get(), 0, 0,
         SRCCOPY);
}

// Name and version on the left under the picture, the distributor block on the
// right beside them.
void DrawTexts(HDC dc, SIZE pictureSize) {
  const RECT textArea = {2, pictureSize.cy + 1, pictureSize.cx - 4, pictureSize.cy + 83};
  RECT rect = textArea;

  // Declared before the selection, so freed after the old font is back.
  Font bold(MakeTextFont(FW_BOLD)), normal(MakeTextFont(FW_NORMAL));
  Selected selected(dc, bold.get());
  rect.top += DrawTextA(dc, kProductName, -1, &rect, kTextFormat);

  SelectObject(dc, normal.get());
  DrawTextA(dc, kVersionLine, -1, &rect, kTextFormat);

  char distributor[MAX_PATH] = "";
  LoadStringA(ProgramInstance(), IDS_DISTRIBUTOR, distributor, sizeof distributor);
  rect = textArea;
  DrawTextA(dc, distributor, -1, &rect, kTextFormat | DT_RIGHT);
}

void DrawSeparator(HDC dc, const RECT& client) {
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
  MoveToEx(dc, client.left, client.bottom - 1, nullptr);
  LineTo(dc, client.right, client.bottom - 1);
  SelectObject(dc, oldPen);
}

void Paint(HWND window, char mode) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT client;
  GetClientRect(window, &client);
  Picture picture = LoadPicture(IDR_ABOUTPICTURE);
  DrawPicture(dc, client, picture);
  DrawTexts(dc, picture.Size());
  if (mode == 1) DrawSeparator(dc, client);
  EndPaint(window, &ps);
}

// The window is ours only once its user data points at a mode flag: 1 about
// box (stays, has a separator), 0 splash (closes itself).
LRESULT CALLBACK AboutWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* mode = reinterpret_cast<const char*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!mode) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_PAINT:
      Paint(window, *mode);
      return 0;
    case WM_TIMER:
    case WM_LBUTTONDOWN:
      if (*mode == 0) DestroyWindow(window);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

SIZE PictureSize() { return LoadPicture(IDR_ABOUTPICTURE).Size(); }

}  // namespace

// ---------------------------------------------------------------------------
// The picture

Picture::Picture(Picture&& other) noexcept : picture_(other.picture_), bitmap_(other.bitmap_) {
  other.picture_ = nullptr;
  other.bitmap_ = nullptr;
}

Picture& Picture::operator=(Picture&& other) noexcept {
  if (this != &other) {
    Release();
    picture_ = other.picture_;
    bitmap_ = other.bitmap_;
    other.picture_ = nullptr;
    other.bitmap_ = nullptr;
  }
  return *this;
}

void Picture::Release() {
  if (picture_) picture_->Release();
  picture_ = nullptr;
  bitmap_ = nullptr;
}

SIZE Picture::Size() const {
  BITMAP info;
  if (!bitmap_ || !GetObjectA(bitmap_, sizeof info, &info)) return SIZE{kNoPictureWidth, 0};
  return SIZE{info.bmWidth, info.bmHeight};
}

void SetPictureModule(HINSTANCE module) { gPictureModule = module; }

Picture LoadPicture(int resourceId) {
  HINSTANCE module = PictureModule();
  HRSRC resource =
      FindResourceA(module, MAKEINTRESOURCEA(resourceId), MAKEINTRESOURCEA(RT_LIRVA_PICTURE));
  if (!resource) return Picture();
  DWORD size = SizeofResource(module, resource);
  HGLOBAL loaded = LoadResource(module, resource);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes || size == 0) return Picture();

  // OLE reads the picture from a stream, and the stream wants movable memory.
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!memory) return Picture();
  void* target = GlobalLock(memory);
  if (!target) {
    GlobalFree(memory);
    return Picture();
  }
  memcpy(target, bytes, size);
  GlobalUnlock(memory);

  IPicture* picture = nullptr;
  IStream* stream = nullptr;
  if (SUCCEEDED(CreateStreamOnHGlobal(memory, FALSE, &stream))) {
    if (FAILED(OleLoadPicture(stream, static_cast<LONG>(size), FALSE, IID_IPicture,
                              reinterpret_cast<void**>(&picture))))
      picture = nullptr;
    stream->Release();
  }
  GlobalFree(memory);
  if (!picture) return Picture();

  OLE_HANDLE handle = 0;
  if (FAILED(picture->get_Handle(&handle)) || !handle) {
    picture->Release();
    return Picture();
  }
  return Picture(picture, reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)));
}

// ---------------------------------------------------------------------------
// The window class and the splash

bool RegisterAboutWindowClass() {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = AboutWindowProc;
  windowClass.cbWndExtra = 4;
  windowClass.hInstance = ProgramInstance();
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = kClassName;
  return RegisterClassA(&windowClass) != 0;
}

void ShowSplash(SplashState& state, HWND owner) {
  // The handle may be stale once the splash has closed itself; only a window
  // that still points at this state is the earlier splash.
  if (state.window && IsWindow(state.window) &&
      GetWindowLongPtrA(state.window, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(&state.mode))
    DestroyWindow(state.window);
  state.window = nullptr;

  RegisterAboutWindowClass();
  SIZE size = PictureSize();
  RECT desktop;
  GetWindowRect(GetDesktopWindow(), &desktop);
  int width = size.cx + 4;
  int height = size.cy + 88;
  HWND window = CreateWindowExA(0, kClassName, "", WS_POPUP | WS_VISIBLE | WS_DLGFRAME,
                                (desktop.right - width) / 2, (desktop.bottom - height) / 2, width,
                                height, owner, nullptr, ProgramInstance(), nullptr);
  if (!window) return;
  state.window = window;
  state.mode = 0;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state.mode));
  UpdateWindow(window);
  SetTimer(window, kSplashTimerId, kSplashMilliseconds, nullptr);
}

// ---------------------------------------------------------------------------
// The about box

void AboutDialog::OnInitDialog() {
  HWND pictureWindow = Item(IDC_ABOUT_PICTURE);
  mode_ = 1;
  SetWindowLongPtrA(pictureWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&mode_));

  SIZE size = PictureSize();
  RECT unit = {0, 0, 0, 10};
  MapDialogRect(hwnd(), &unit);
  int u = unit.bottom;

  MoveWindow(Item(IDOK), size.cx - 106, size.cy + 96, 100, u + 9, TRUE);
  MoveWindow(pictureWindow, 0, 0, size.cx, size.cy + 88, TRUE);

  // The frame keeps its thickness: the window grows by what the client must.
  RECT window, client;
  GetWindowRect(hwnd(), &window);
  GetClientRect(hwnd(), &client);
  int frameWidth = (window.right - window.left) - client.right;
  int frameHeight = (window.bottom - window.top) - client.bottom;
  MoveWindow(hwnd(), window.left, window.top, size.cx + frameWidth, size.cy + u + 112 + frameHeight,
             TRUE);
}

void ShowAboutBox(HWND owner) {
  RegisterAboutWindowClass();
  AboutDialog dialog;
  RunModal(dialog, DLG_ABOUT, owner);
}

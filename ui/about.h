// The about box and the splash window: the program's picture with its name,
// version and distributor text, drawn by the "LAW" window class.
#pragma once
#include <windows.h>
// (the OLE picture interface needs the definitions above)
#include <ocidl.h>
#include <olectl.h>

#include "ui/dialog.h"

// The about picture, a JPEG in the program's resources, decoded by OLE. The
// object owns the picture; the bitmap belongs to it and goes with it.
class Picture {
 public:
  Picture() = default;
  Picture(IPicture* picture, HBITMAP bitmap) : picture_(picture), bitmap_(bitmap) {}
  Picture(Picture&& other) noexcept;
  Picture& operator=(Picture&& other) noexcept;
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;
  ~Picture() { Release(); }

  HBITMAP bitmap() const { return bitmap_; }
  // Width and height of the bitmap; 300 x 0 when there is no picture, so that
  // the texts still get a place to be drawn.
  SIZE Size() const;
  void Release();

 private:
  IPicture* picture_ = nullptr;
  HBITMAP bitmap_ = nullptr;
};

constexpr int kNoPictureWidth = 300;

// The picture of resource type 800 (RT_LIRVA_PICTURE) with this id; empty when
// the resource is missing or can't be decoded.
Picture LoadPicture(int resourceId);

// Where pictures are loaded from: the program's module unless set otherwise (a
// module without the picture shows how the windows look when it is missing).
void SetPictureModule(HINSTANCE module);

// Registers the "LAW" class; registering it again fails without harm.
bool RegisterAboutWindowClass();

// Held by the main window: the splash's mode flag, then its window.
struct SplashState {
  char mode = 0;
  HWND window = nullptr;
};

constexpr UINT_PTR kSplashTimerId = 1;
constexpr UINT kSplashMilliseconds = 7000;

// Shows the splash centred on the desktop, owned by `owner`; it closes itself
// after 7 seconds or when clicked. An earlier splash still open goes first.
void ShowSplash(SplashState& state, HWND owner);

// The about box: lays itself out around the picture; OK and Escape close it.
class AboutDialog : public DialogBase {
 public:
  void OnInitDialog() override;

 private:
  char mode_ = 1;
};

// Runs the about box modally over `owner`.
void ShowAboutBox(HWND owner);

// Bitmap and icon buttons. Common controls 6 draw a button's bitmap through an
// image list with a transparent colour; older ones take a plain bitmap whose
// background was mapped to the 3-D colours when it was loaded.
#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>

#include "common/win32/handles.h"
#include "ui/controls.h"

namespace {
ControlsGeneration generation = ControlsGeneration::Unknown;

constexpr char kOldProcProperty[] = "OCb";
constexpr COLORREF kMaskColour = RGB(192, 192, 192);
// The main window's tag button, the only icon button.

ControlsGeneration TestGeneration() {
  const Library library(LoadLibraryA("comctl32.dll"));
  if (!library) return ControlsGeneration::Old;
  auto getVersion = reinterpret_cast<DLLGETVERSIONPROC>(
      reinterpret_cast<void*>(GetProcAddress(library.get(), "DllGetVersion")));
  DLLVERSIONINFO version = {};
  version.cbSize = sizeof(version);
  return getVersion && SUCCEEDED(getVersion(&version)) && version.dwMajorVersion > 5 ? ControlsGeneration::New
                                                                                       : ControlsGeneration::Old;
}

HINSTANCE InstanceOf(HWND window) {
  return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
}

// Whatever image the button holds goes with it.
void DestroyImages(HWND button) {
  BUTTON_IMAGELIST list = {};
  if (SendMessageA(button, BCM_GETIMAGELIST, 0, reinterpret_cast<LPARAM>(&list)) &&
      list.himl) {
    ImageList_Destroy(list.himl);
  }
  // Some button procedures hand out their one image whatever type is asked for,
  // so the object's own type decides how it is destroyed.
  HGDIOBJ image = reinterpret_cast<HGDIOBJ>(SendMessageA(button, BM_GETIMAGE, IMAGE_BITMAP, 0));
  if (image && GetObjectType(image) == OBJ_BITMAP) {
    DeleteObject(image);
    return;
  }
  HICON icon = reinterpret_cast<HICON>(SendMessageA(button, BM_GETIMAGE, IMAGE_ICON, 0));
  if (icon && GetObjectType(icon) != OBJ_BITMAP) DestroyIcon(icon);
}

LRESULT CALLBACK ImageButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC previous = reinterpret_cast<WNDPROC>(GetPropA(button, kOldProcProperty));
  if (message == WM_DESTROY) {
    DestroyImages(button);
    SetWindowLongPtrA(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    RemovePropA(button, kOldProcProperty);
  }
  return CallWindowProcA(previous, button, message, wParam, lParam);
}

void SubclassOnce(HWND button) {
  if (GetPropA(button, kOldProcProperty)) return;
  SetPropA(button, kOldProcProperty,
           reinterpret_cast<HANDLE>(GetWindowLongPtrA(button, GWLP_WNDPROC)));
  SetWindowLongPtrA(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ImageButtonProc));
}

bool SetImageList(HWND button, HINSTANCE instance, LPCSTR bitmapName) {
  HBITMAP bitmap = LoadBitmapA(instance, bitmapName);
  if (!bitmap) return false;
  BITMAP size;
  GetObjectA(bitmap, sizeof(size), &size);
  HIMAGELIST list = ImageList_Create(size.bmWidth, size.bmHeight, ILC_COLORDDB | ILC_MASK, 1, 0);
  if (list) ImageList_AddMasked(list, bitmap, kMaskColour);
  DeleteObject(bitmap);
  if (!list) return false;

  BUTTON_IMAGELIST old = {};
  if (SendMessageA(button, BCM_GETIMAGELIST, 0, reinterpret_cast<LPARAM>(&old)) && old.himl) {
    ImageList_Destroy(old.himl);
  }
  BUTTON_IMAGELIST images = {};
  images.himl = list;
  images.uAlign = BUTTON_IMAGELIST_ALIGN_CENTER;
  SendMessageA(button, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&images));
  InvalidateRect(button, nullptr, TRUE);
  return true;
}

bool SetPlainBitmap(HWND button, HINSTANCE instance, LPCSTR bitmapName) {
  HANDLE bitmap = LoadImageA(instance, bitmapName, IMAGE_BITMAP, 0, 0,
                             LR_LOADMAP3DCOLORS | LR_LOADTRANSPARENT);
  if (!bitmap) return false;
  LRESULT old = SendMessageA(button, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
  if (old) DeleteObject(reinterpret_cast<HGDIOBJ>(old));
  return true;
}
}  // namespace

bool NewCommonControls() {
  if (generation == ControlsGeneration::Unknown) generation = TestGeneration();
  return generation == ControlsGeneration::New;
}

void ForceControlsGeneration(ControlsGeneration forced) { generation = forced; }

bool SetButtonBitmap(HWND dialog, int controlId, LPCSTR bitmapName) {
  HWND button = GetDlgItem(dialog, controlId);
  if (!button) return false;
  HINSTANCE instance = InstanceOf(dialog);
  bool done = NewCommonControls() ? SetImageList(button, instance, bitmapName)
                                  : SetPlainBitmap(button, instance, bitmapName);
  SubclassOnce(button);
  return done;
}

bool SetButtonIcon(HWND dialog, int controlId, LPCSTR iconName) {
  HWND button = GetDlgItem(dialog, controlId);
  if (!button) return false;
  // Width and height 0 without LR_DEFAULTSIZE: the size stored in the resource.
  HANDLE icon = LoadImageA(InstanceOf(dialog), iconName, IMAGE_ICON, 0, 0, 0);
  if (!icon) return false;
  LRESULT old = SendMessageA(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
  if (old) DestroyIcon(reinterpret_cast<HICON>(old));
  SubclassOnce(button);
  return true;
}

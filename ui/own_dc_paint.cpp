#include "ui/own_dc_paint.h"

#include <utility>

OwnDcPaint::OwnDcPaint(HWND window) : window_(window), region_(CreateRectRgn(0, 0, 0, 0)) {
  if (GetUpdateRgn(window, region_.get(), FALSE) > NULLREGION) {
    ValidateRgn(window, region_.get());
    GetRgnBox(region_.get(), &box_);
  }
  Begin();
}

OwnDcPaint::OwnDcPaint(HWND window, Region region) : window_(window), region_(std::move(region)) {
  if (!region_) return;
  GetRgnBox(region_.get(), &box_);
  Begin();
}

void OwnDcPaint::Begin() {
  dc_ = GetDC(window_);
  // The clip is the update region (empty when nothing was invalid): nothing else is
  // drawn over, as with BeginPaint.
  if (dc_) SelectClipRgn(dc_, region_.get());
}

OwnDcPaint::~OwnDcPaint() {
  if (!dc_) return;
  SelectClipRgn(dc_, nullptr);
  ReleaseDC(window_, dc_);
}

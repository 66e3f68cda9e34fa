#include "ui/own_dc_paint.h"

OwnDcPaint::OwnDcPaint(HWND window) : window_(window), region_(CreateRectRgn(0, 0, 0, 0)) {
  if (GetUpdateRgn(window, region_.get(), FALSE) > NULLREGION) {
    ValidateRgn(window, region_.get());
    GetRgnBox(region_.get(), &box_);
  }
  dc_ = GetDC(window);
  // The clip is the update region (empty when nothing was invalid): nothing else is
  // drawn over, as with BeginPaint.
  if (dc_) SelectClipRgn(dc_, region_.get());
}

OwnDcPaint::~OwnDcPaint() {
  if (!dc_) return;
  SelectClipRgn(dc_, nullptr);
  ReleaseDC(window_, dc_);
}

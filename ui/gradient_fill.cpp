#include "ui/gradient_fill.h"

COLORREF ScaleColour(COLORREF colour, double factor) {
  auto scale = [factor](BYTE channel) {
    int value = static_cast<int>(channel * factor);
    return static_cast<BYTE>(value > 255 ? 255 : value);
  };
  return RGB(scale(GetRValue(colour)), scale(GetGValue(colour)), scale(GetBValue(colour)));
}

void FillVerticalGradient(HDC dc, int left, int right, int height, COLORREF top,
                          COLORREF bottom) {
  if (height <= 0) return;
  double red = GetRValue(top), green = GetGValue(top), blue = GetBValue(top);
  const double redStep = (GetRValue(bottom) - red) / height;
  const double greenStep = (GetGValue(bottom) - green) / height;
  const double blueStep = (GetBValue(bottom) - blue) / height;
  for (int y = 0; y < height; ++y) {
    Brush brush(CreateSolidBrush(
        RGB(static_cast<BYTE>(red), static_cast<BYTE>(green), static_cast<BYTE>(blue))));
    RECT row = {left, y, right, y + 1};
    FillRect(dc, &row, brush.get());
    red += redStep;
    green += greenStep;
    blue += blueStep;
  }
}

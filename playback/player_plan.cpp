#include "playback/player_plan.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

void formatPlayTime(int32_t ms, char* text) {
  const int64_t u = int64_t(std::max<int32_t>(ms, 0)) + 5;
  std::snprintf(text, 32, "%d:%.2d:%.2d.%.2d", int(u / 3600000), int(u / 60000 % 60), int(u / 1000 % 60),
                int(u % 1000 / 10));
}

int positionBarValue(int32_t positionMs, int32_t lengthMs) {
  if (lengthMs <= 0) return 0;
  return int(double(positionMs) / double(lengthMs) * 100.0);
}

PositionBarMove positionBarMove(int code, int thumb, int32_t positionMs, int32_t lengthMs) {
  switch (code) {
    case 0:  // SB_LINELEFT
    case 2:  // SB_PAGELEFT
      return {PositionBarMove::Seek, positionMs >= 2000 ? positionMs - 2000 : 0};
    case 1:  // SB_LINERIGHT
    case 3:  // SB_PAGERIGHT
      return {PositionBarMove::Seek, int32_t(std::min<int64_t>(int64_t(positionMs) + 2000, INT32_MAX))};
    case 4:  // SB_THUMBPOSITION
    case 5:  // SB_THUMBTRACK
      return {PositionBarMove::Seek, int32_t(double(thumb) * 0.01 * double(lengthMs))};
    case 6: return {PositionBarMove::JumpStart, 0};
    case 7: return {PositionBarMove::JumpEnd, 0};
    default: return {PositionBarMove::None, 0};
  }
}

int waveColumnsOfWidth(int clientWidth) { return std::clamp(clientWidth - 2, 1, kMaxWaveColumns); }

uint8_t waveColumnValue(int32_t peak) { return peak > 255 * 1024 ? 255 : uint8_t(std::max(peak, 0) >> 10); }

int WaveMapping::xOf(int64_t frame) const {
  if (length <= 0) return -1;
  const int64_t x = int64_t(double(frame) * scale) - origin;
  return x < 0 ? -1 : int(std::min<int64_t>(x, width));
}

int32_t WaveMapping::frameOf(int x) const { return int32_t(double(int64_t(x) + origin) / scale); }

WaveUpdate updateWaveView(WaveMapping& view, uint8_t* columns, int32_t start, int32_t length,
                          bool windowPresent) {
  WaveUpdate update;
  const int width = view.width;
  if (length != view.length) {
    view.start = start;
    view.length = length;
    if (length > 0) {
      view.scale = double(std::max(width, 8)) / double(length);
      view.origin = int32_t(view.scale * double(start));
    }
    update.lo = 0;
    update.hi = width;
    return update;
  }
  const int forward = view.xOf(start);  // under the old origin
  const int32_t oldStart = view.start;
  view.start = start;
  view.origin = int32_t(double(start) * view.scale);
  const int dx = forward > 0 ? -forward : view.xOf(oldStart);
  if (!windowPresent || dx == 0) return update;
  update.dx = dx;
  if (-width < dx && dx < width) {
    update.scrolled = true;
    if (dx < 0) {
      const int keep = std::max(width + dx - 1, 0);
      for (int i = 0; i < keep; ++i) columns[i] = columns[i - dx];
      update.lo = keep;
      update.hi = width;
    } else {
      const int low = std::min(dx + 1, width);
      for (int i = width - 1; i >= low; --i) columns[i] = columns[i - dx];
      update.lo = 0;
      update.hi = low;
    }
  } else {
    update.lo = 0;
    update.hi = width;
  }
  return update;
}

int clampMeterDb(int db) { return std::clamp(db, kMeterMinDb, kMeterMaxDb); }

PixelSpan meterBand(int channel, int count, int w, int h) {
  return {0, channel * h / count, w, (channel * h + h) / count};
}

PixelSpan meterChange(int channel, int count, int w, int h, int oldDb, int newDb) {
  const PixelSpan band = meterBand(channel, count, w, h);
  return {(std::min(oldDb, newDb) + 36) * w / 48, band.top, (std::max(oldDb, newDb) + 36) * w / 48 + 1,
          band.bottom};
}

MeterBar meterBar(int db, int w) {
  const int green = db < 0 ? w * (db + 36) / 48 : w * 36 / 48;
  return {green, db > 0 ? (db + 36) * w / 48 : green};
}

int sliderX(int value, int minimum, int maximum, int left, int width) {
  const int range = maximum - minimum > 0 ? maximum - minimum : 1;
  return left + (value - minimum) * width / range;
}

int sliderValueAt(int x, int clientWidth, int minimum, int maximum) {
  const int wc = clientWidth > 0 ? clientWidth : 1;
  return minimum + std::min(std::max(x, 0), wc) * (maximum - minimum) / wc;
}

int sliderKnobLeft(int x, int left, int right) {
  int knob = x - 6;
  if (knob + 12 >= right) knob = right - 13;
  if (knob <= left) knob = left + 1;
  return knob;
}

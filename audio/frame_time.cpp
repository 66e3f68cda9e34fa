#include "audio/frame_time.h"

namespace {
int32_t held(int64_t v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return int32_t(v);
}
}  // namespace

int32_t framesToMs(int32_t frames, int32_t rate, int32_t unchanged) {
  if (rate <= 0) return unchanged;
  int64_t f = frames;
  return held((f / rate) * 1000 + ((f % rate) * 1000) / rate);
}

int32_t msToFrames(int32_t ms, int32_t rate) {
  int64_t r = rate;
  return held(r * (ms / 1000) + (r * (ms % 1000)) / 1000);
}

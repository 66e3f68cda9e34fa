// Conversions between sample frames and milliseconds, in integer arithmetic that
// cannot overflow on the way (divisions truncate toward zero).
#pragma once
#include <cstdint>

// (frames / rate) × 1000 + ((frames mod rate) × 1000) / rate. With no usable rate
// (≤ 0) nothing is computed and `unchanged` comes back: pass the value that
// should stand.
int32_t framesToMs(int32_t frames, int32_t rate, int32_t unchanged = 0);
// rate × (ms / 1000) + (rate × (ms mod 1000)) / 1000, held to the int32 range.
int32_t msToFrames(int32_t ms, int32_t rate);

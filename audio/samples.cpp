#include "audio/samples.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void pcm16ToWork(const int16_t* in, int32_t* out, int n) {
  for (int i = 0; i < n; ++i) out[i] = int32_t(in[i]) * 16;
}

void pcm8ToWork(const uint8_t* in, int32_t* out, int n) {
  for (int i = 0; i < n; ++i) out[i] = (int32_t(in[i]) - 128) * 4096;
}

void workToPcm16(const int32_t* in, int16_t* out, int n) {
  // Wrapping arithmetic: out-of-range input is the caller's fault, not undefined.
  for (int i = 0; i < n; ++i) out[i] = int16_t(int32_t(uint32_t(in[i]) + 8u) >> 4);
}

int32_t peakOf(int channels, const int32_t* buffer, int frames) {
  // Kept in 32 bits inside the loop; four lanes at a time where SSE2 is there.
  int32_t most = 0, least = 0;
  const int64_t count = int64_t(channels) * frames;
  int64_t i = 0;
#if defined(__SSE2__)
  __m128i most4 = _mm_setzero_si128(), least4 = _mm_setzero_si128();
  for (; i + 4 <= count; i += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(buffer + i));
    const __m128i above = _mm_cmpgt_epi32(v, most4), below = _mm_cmplt_epi32(v, least4);
    most4 = _mm_or_si128(_mm_and_si128(above, v), _mm_andnot_si128(above, most4));
    least4 = _mm_or_si128(_mm_and_si128(below, v), _mm_andnot_si128(below, least4));
  }
  int32_t lanes[8];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), most4);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes + 4), least4);
  for (int k = 0; k < 4; ++k) {
    most = lanes[k] > most ? lanes[k] : most;
    least = lanes[4 + k] < least ? lanes[4 + k] : least;
  }
#endif
  for (; i < count; ++i) {
    most = buffer[i] > most ? buffer[i] : most;
    least = buffer[i] < least ? buffer[i] : least;
  }
  const int64_t peak = most > -int64_t(least) ? most : -int64_t(least);
  return peak > INT32_MAX ? INT32_MAX : int32_t(peak);
}

uint32_t meanSquareOf(const int32_t* buffer, int channel, int frames, int channels) {
  if (frames <= 0) return 0;
  // Squares are summed in two parts, the high bits and the low 13 bits apart, so
  // that a tenth of a second of full-scale audio stays within 32 bits.
  uint32_t high = 0, low = 0;
  const int32_t* p = buffer + channel;
  for (int i = 0; i < frames; ++i, p += channels) {
    uint32_t g = uint32_t(*p >> 5);
    uint32_t square = g * g;
    high += square >> 13;
    low += square & 0x1FFF;
  }
  uint32_t sum = high + (low >> 13);
  uint32_t n = uint32_t(frames);
  return (sum / n) * 8192u + ((sum % n) * 8192u) / n;
}

int8_t levelDb(uint32_t meanSquare) {
  if (meanSquare == 0) return -127;
  constexpr uint32_t kFullScaleSquare = 8388626;
  double db = 10.0 * std::log10(double(meanSquare) * 1.1920903375594525e-7);
  db += meanSquare >= kFullScaleSquare ? 0.5 : -0.5;
  if (db > 127.0) return 127;
  if (db < -127.0) return -127;
  return int8_t(int(db));
}

int32_t mulQ24(int32_t x, int32_t g) {
  int64_t xh = x >> 12, xl = x & 0xFFF;
  int64_t gh = g >> 12, gl = g & 0xFFF;
  return int32_t(uint32_t(((xl * gh) >> 12) + ((xh * gl) >> 12) + xh * gh));
}

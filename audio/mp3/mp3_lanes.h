// Four floats worked on as one value: the decoder's filterbanks run four
// independent transforms at once, one in each lane. SSE2 where the compiler targets
// it; elsewhere four plain floats with the same operations in the same order, so
// that both give the same samples (LIRVA_PLAIN_LANES chooses the plain ones).
#pragma once
#include <cstdint>

#include "audio/audio_source.h"

#if defined(__SSE2__) && !defined(LIRVA_PLAIN_LANES)
#define LIRVA_SSE2_LANES 1
#include <emmintrin.h>
#endif

#ifndef LIRVA_INLINE
#define LIRVA_INLINE inline __attribute__((always_inline))
#endif

namespace lanes {

#if LIRVA_SSE2_LANES
struct F4 {
  __m128 v;
};
LIRVA_INLINE F4 operator+(F4 a, F4 b) { return {_mm_add_ps(a.v, b.v)}; }
LIRVA_INLINE F4 operator-(F4 a, F4 b) { return {_mm_sub_ps(a.v, b.v)}; }
LIRVA_INLINE F4 operator*(F4 a, F4 b) { return {_mm_mul_ps(a.v, b.v)}; }
LIRVA_INLINE F4 operator-(F4 a) { return {_mm_xor_ps(a.v, _mm_set1_ps(-0.0f))}; }
LIRVA_INLINE F4 splat(float f) { return {_mm_set1_ps(f)}; }
LIRVA_INLINE F4 lanes4(float a, float b, float c, float d) { return {_mm_setr_ps(a, b, c, d)}; }
LIRVA_INLINE F4 zero4() { return {_mm_setzero_ps()}; }
LIRVA_INLINE F4 load4(const float* p) { return {_mm_loadu_ps(p)}; }
LIRVA_INLINE void store4(float* p, F4 a) { _mm_storeu_ps(p, a.v); }
// (d, c, b, a) from (a, b, c, d).
LIRVA_INLINE F4 reversed(F4 a) { return {_mm_shuffle_ps(a.v, a.v, _MM_SHUFFLE(0, 1, 2, 3))}; }
LIRVA_INLINE void transpose(F4& a, F4& b, F4& c, F4& d) { _MM_TRANSPOSE4_PS(a.v, b.v, c.v, d.v); }
// Whether the n floats at p (n a multiple of 4) are all ±0.
LIRVA_INLINE bool allZero(const float* p, int n) {
  __m128i bits = _mm_setzero_si128();
  for (int i = 0; i < n; i += 4) bits = _mm_or_si128(bits, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
  bits = _mm_slli_epi32(bits, 1);  // the sign bits out
  return _mm_movemask_epi8(_mm_cmpeq_epi32(bits, _mm_setzero_si128())) == 0xFFFF;
}
// Work samples: NaN to 0, saturated at ±limit, truncated towards zero.
LIRVA_INLINE void storeSamples(int32_t* out, F4 a) {
  const __m128 limit = _mm_set1_ps(float(kDecoderPeakLimit));
  __m128 v = _mm_and_ps(a.v, _mm_cmpord_ps(a.v, a.v));
  v = _mm_min_ps(_mm_max_ps(v, _mm_sub_ps(_mm_setzero_ps(), limit)), limit);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_cvttps_epi32(v));
}
#else
struct F4 {
  float v[4];
};
LIRVA_INLINE F4 operator+(F4 a, F4 b) { return {{a.v[0] + b.v[0], a.v[1] + b.v[1], a.v[2] + b.v[2], a.v[3] + b.v[3]}}; }
LIRVA_INLINE F4 operator-(F4 a, F4 b) { return {{a.v[0] - b.v[0], a.v[1] - b.v[1], a.v[2] - b.v[2], a.v[3] - b.v[3]}}; }
LIRVA_INLINE F4 operator*(F4 a, F4 b) { return {{a.v[0] * b.v[0], a.v[1] * b.v[1], a.v[2] * b.v[2], a.v[3] * b.v[3]}}; }
LIRVA_INLINE F4 operator-(F4 a) { return {{-a.v[0], -a.v[1], -a.v[2], -a.v[3]}}; }
LIRVA_INLINE F4 splat(float f) { return {{f, f, f, f}}; }
LIRVA_INLINE F4 lanes4(float a, float b, float c, float d) { return {{a, b, c, d}}; }
LIRVA_INLINE F4 zero4() { return splat(0.0f); }
LIRVA_INLINE F4 load4(const float* p) { return {{p[0], p[1], p[2], p[3]}}; }
LIRVA_INLINE void store4(float* p, F4 a) {
  for (int i = 0; i < 4; ++i) p[i] = a.v[i];
}
LIRVA_INLINE F4 reversed(F4 a) { return {{a.v[3], a.v[2], a.v[1], a.v[0]}}; }
LIRVA_INLINE void transpose(F4& a, F4& b, F4& c, F4& d) {
  F4 r[4] = {a, b, c, d};
  for (int i = 0; i < 4; ++i) a.v[i] = r[i].v[0], b.v[i] = r[i].v[1], c.v[i] = r[i].v[2], d.v[i] = r[i].v[3];
}
LIRVA_INLINE bool allZero(const float* p, int n) {
  for (int i = 0; i < n; ++i)
    if (p[i] != 0) return false;
  return true;
}
LIRVA_INLINE void storeSamples(int32_t* out, F4 a) {
  for (int i = 0; i < 4; ++i) {
    const float v = a.v[i];
    out[i] = !(v == v) ? 0
             : v >= float(kDecoderPeakLimit)  ? kDecoderPeakLimit
             : v <= -float(kDecoderPeakLimit) ? -kDecoderPeakLimit
                                              : int32_t(v);
  }
}
#endif

}  // namespace lanes

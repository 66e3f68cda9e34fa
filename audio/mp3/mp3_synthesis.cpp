// The polyphase synthesis filterbank: 32 subband samples per channel and time slot
// become 32 PCM frames of work samples, with the standard's synthesis window
// (mp3_tables.cpp).
//
// A granule's 18 time slots (of each channel) are matrixed four at a time, one in
// each lane (mp3_lanes.h), then windowed slot by slot with the 32 outputs four
// lanes at a time.
#include <cmath>

#include "audio/audio_source.h"
#include "audio/mp3/mp3_lanes.h"
#include "audio/mp3/mp3_layer3.h"
#include "audio/mp3/mp3_tables.h"

namespace {

using namespace lanes;

// Factors 1 / (2 cos((2k + 1) π / 2N)) of the DCT's halving steps, N = 32 … 2.
struct DctFactors {
  float f[6][16];  // row log2(N)
  DctFactors() {
    for (int n = 2, row = 1; n <= 32; n *= 2, ++row)
      for (int k = 0; k < n / 2; ++k) f[row][k] = float(0.5 / std::cos((2 * k + 1) * 3.14159265358979323846 / (2 * n)));
  }
};

const DctFactors kDctFactors;

// X[m] = Σ_k x[k] cos(m (2k + 1) π / 2N), by halving: the sums and the scaled
// differences of mirrored inputs give the even and the odd outputs. Each lane is
// a DCT of its own.
template <int N, int Row>
LIRVA_INLINE void dct(const F4* x, F4* X) {
  if constexpr (N == 1) {
    X[0] = x[0];
  } else {
    const float* f = kDctFactors.f[Row];
    F4 a[N / 2], b[N / 2], A[N / 2], B[N / 2];
#pragma GCC unroll 16
    for (int k = 0; k < N / 2; ++k) {
      a[k] = x[k] + x[N - 1 - k];
      b[k] = (x[k] - x[N - 1 - k]) * splat(f[k]);
    }
    dct<N / 2, Row - 1>(a, A);
    dct<N / 2, Row - 1>(b, B);
#pragma GCC unroll 16
    for (int m = 0; m < N / 2; ++m) {
      X[2 * m] = A[m];
      X[2 * m + 1] = m + 1 < N / 2 ? B[m] + B[m + 1] : B[m];
    }
  }
}

// With X the DCT of S, cos((16 + i)(2k + 1) π / 64) picks X[16 + i] for i ≤ 15,
// 0 at i = 16, −X[48 − i] up to i = 47 and −X[i − 48] above.
LIRVA_INLINE void storeMatrixed(const float X[32], float V[64]) {
  const F4 scale = splat(524288.0f), negative = splat(-524288.0f);
  for (int q = 0; q < 4; ++q) {
    store4(V + 4 * q, load4(X + 16 + 4 * q) * scale);
    store4(V + 48 + 4 * q, load4(X + 4 * q) * negative);
  }
  // V[17 + 4q … 20 + 4q] = −X[31 − 4q … 28 − 4q]; the last also writes V[48] = −X[0] again.
  for (int q = 0; q < 8; ++q) store4(V + 17 + 4 * q, reversed(load4(X + 28 - 4 * q)) * negative);
  V[16] = 0;
}

// Matrixes the four slots of `rows` into V[0 … 3].
void matrixFour(const float* const rows[4], float* const V[4]) {
  F4 x[32], X[32];
  for (int k = 0; k < 32; k += 4) {
    F4 a = load4(rows[0] + k), b = load4(rows[1] + k), c = load4(rows[2] + k), d = load4(rows[3] + k);
    transpose(a, b, c, d);
    x[k] = a, x[k + 1] = b, x[k + 2] = c, x[k + 3] = d;
  }
  dct<32, 5>(x, X);
  float out[4][32];
  for (int k = 0; k < 32; k += 4) {
    F4 a = X[k], b = X[k + 1], c = X[k + 2], d = X[k + 3];
    transpose(a, b, c, d);
    store4(out[0] + k, a), store4(out[1] + k, b), store4(out[2] + k, c), store4(out[3] + k, d);
  }
  for (int l = 0; l < 4; ++l)
    if (V[l]) storeMatrixed(out[l], V[l]);
}

// One slot's 32 outputs from its matrixed vector and the 15 before it: 16
// products each, accumulated in window order.
LIRVA_INLINE void window32(const float* V, const float* D, F4 sum[8]) {
#pragma GCC unroll 8
  for (int q = 0; q < 8; ++q) sum[q] = zero4();
#pragma GCC unroll 8
  for (int i = 0; i < 8; ++i) {
    const float* v0 = V + 128 * i;
    const float* v1 = V + 128 * i + 96;
    const float* d0 = D + 64 * i;
    const float* d1 = D + 64 * i + 32;
#pragma GCC unroll 8
    for (int q = 0; q < 8; ++q)
      sum[q] = sum[q] + (load4(v0 + 4 * q) * load4(d0 + 4 * q) + load4(v1 + 4 * q) * load4(d1 + 4 * q));
  }
}

}  // namespace

void resetSynthesis(SynthesisState* s) {
  s->offset = kSynthesisHistory - 1024 + 64;
  for (int c = 0; c < 2; ++c)
    for (int i = 0; i < kSynthesisHistory; ++i) s->history[c][i] = 0;
}

void synthesisMatrix(const float S[32], float V[64]) {
  const float* rows[4] = {S, S, S, S};
  float* const out[4] = {V, nullptr, nullptr, nullptr};
  matrixFour(rows, out);
}

void synthesiseGranule(SynthesisState* s, const float in[18][2][32], int channels, int32_t* out) {
  synthesiseGranuleWithWindow(s, in, channels, out, kMp3SynthesisWindow);
}

void synthesiseGranuleWithWindow(SynthesisState* s, const float in[18][2][32], int channels, int32_t* out,
                                 const float* D) {
  // The granule's 18 vectors go below the current one; the 15 before them (the
  // window reaches 1,024 values from a vector's start) move up to the buffer's end
  // first when they would not fit.
  if (s->offset < 18 * 64) {
    for (int c = 0; c < channels; ++c)
      for (int i = 0; i < 1024; ++i) s->history[c][kSynthesisHistory - 1024 + i] = s->history[c][s->offset + i];
    s->offset = kSynthesisHistory - 1024;
  }
  const int first = s->offset - 64;  // slot t's vector is at first − 64 t
  s->offset -= 18 * 64;

  // Matrixing, four (slot, channel) pairs at a time; the unused lanes of the last
  // group repeat a row and store nothing.
  const int count = 18 * channels;
  for (int n = 0; n < count; n += 4) {
    const float* rows[4];
    float* V[4];
    for (int l = 0; l < 4; ++l) {
      const int p = n + l < count ? n + l : n;
      const int t = p / channels, c = p % channels;
      rows[l] = in[t][c];
      V[l] = n + l < count ? s->history[c] + first - 64 * t : nullptr;
    }
    matrixFour(rows, V);
  }

  for (int t = 0; t < 18; ++t) {
    int32_t* o = out + t * 32 * channels;
    F4 sum[8];
    if (channels == 1) {
      window32(s->history[0] + first - 64 * t, D, sum);
      for (int q = 0; q < 8; ++q) storeSamples(o + 4 * q, sum[q]);
      continue;
    }
    int32_t samples[2][32];
    for (int c = 0; c < 2; ++c) {
      window32(s->history[c] + first - 64 * t, D, sum);
      for (int q = 0; q < 8; ++q) storeSamples(samples[c] + 4 * q, sum[q]);
    }
    for (int j = 0; j < 32; ++j) {
      o[2 * j] = samples[0][j];
      o[2 * j + 1] = samples[1][j];
    }
  }
}

// The polyphase synthesis filterbank: 32 subband samples per channel and time slot
// become 32 PCM frames of work samples, with the standard's synthesis window
// (mp3_tables.cpp).
#include <cmath>

#include "audio/audio_source.h"
#include "audio/mp3/mp3_layer3.h"
#include "audio/mp3/mp3_tables.h"

namespace {

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
// differences of mirrored inputs give the even and the odd outputs.
template <int N, int Row>
void dct(const float* x, float* X) {
  if constexpr (N == 1) {
    X[0] = x[0];
  } else {
    const float* f = kDctFactors.f[Row];
    float a[N / 2], b[N / 2], A[N / 2], B[N / 2];
    for (int k = 0; k < N / 2; ++k) {
      a[k] = x[k] + x[N - 1 - k];
      b[k] = (x[k] - x[N - 1 - k]) * f[k];
    }
    dct<N / 2, Row - 1>(a, A);
    dct<N / 2, Row - 1>(b, B);
    for (int m = 0; m < N / 2; ++m) {
      X[2 * m] = A[m];
      X[2 * m + 1] = B[m] + (m + 1 < N / 2 ? B[m + 1] : 0.0f);
    }
  }
}

int32_t toWorkSample(float v) {
  if (!(v == v)) return 0;  // NaN
  if (v >= float(kDecoderPeakLimit)) return kDecoderPeakLimit;
  if (v <= -float(kDecoderPeakLimit)) return -kDecoderPeakLimit;
  return int32_t(v);
}

}  // namespace

void resetSynthesis(SynthesisState* s) {
  s->offset = kSynthesisHistory - 1024 + 64;
  for (int c = 0; c < 2; ++c)
    for (int i = 0; i < kSynthesisHistory; ++i) s->history[c][i] = 0;
}

void synthesisMatrix(const float S[32], float V[64]) {
  // With X the DCT of S, cos((16 + i)(2k + 1) π / 64) picks X[16 + i] for i ≤ 15,
  // 0 at i = 16, −X[48 − i] up to i = 47 and −X[i − 48] above.
  float X[32];
  dct<32, 5>(S, X);
  constexpr float kScale = 524288.0f;
  for (int i = 0; i < 16; ++i) V[i] = X[16 + i] * kScale;
  V[16] = 0;
  for (int i = 17; i < 48; ++i) V[i] = -X[48 - i] * kScale;
  for (int i = 48; i < 64; ++i) V[i] = -X[i - 48] * kScale;
}

void synthesiseGranule(SynthesisState* s, const float in[18][2][32], int channels, int32_t* out) {
  synthesiseGranuleWithWindow(s, in, channels, out, kMp3SynthesisWindow);
}

void synthesiseGranuleWithWindow(SynthesisState* s, const float in[18][2][32], int channels, int32_t* out,
                                 const float* D) {
  for (int t = 0; t < 18; ++t) {
    s->offset -= 64;
    if (s->offset < 0) {
      for (int c = 0; c < channels; ++c)
        for (int i = 0; i < 1024; ++i) s->history[c][kSynthesisHistory - 1024 + i] = s->history[c][i];
      s->offset += kSynthesisHistory - 1024;
    }
    for (int c = 0; c < channels; ++c) {
      float* V = s->history[c] + s->offset;
      const float* S = in[t][c];
      synthesisMatrix(S, V);
      // The 16 products of each output, accumulated for all 32 outputs at once
      // so that the inner loop runs over contiguous memory (and vectorises).
      float sum[32] = {};
      for (int i = 0; i < 8; ++i) {
        const float* v0 = V + 128 * i;
        const float* v1 = V + 128 * i + 96;
        const float* d0 = D + 64 * i;
        const float* d1 = D + 64 * i + 32;
        for (int j = 0; j < 32; ++j) sum[j] += v0[j] * d0[j] + v1[j] * d1[j];
      }
      int32_t* o = out + t * 32 * channels + c;
      for (int j = 0; j < 32; ++j) o[j * channels] = toWorkSample(sum[j]);
    }
  }
}

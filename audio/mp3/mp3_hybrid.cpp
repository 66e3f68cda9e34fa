// Stereo processing, alias reduction and the hybrid filterbank (IMDCT with the
// four block windows, overlap-add, frequency inversion).
#include <cmath>

#include "audio/mp3/mp3_lanes.h"
#include "audio/mp3/mp3_layer3.h"

namespace {

using namespace lanes;

constexpr double kPi = 3.14159265358979323846;
constexpr float kSqrtHalf = 0.7071067811865476f;
constexpr int kNoIntensity = -1;

struct HybridTables {
  float cs[8], ca[8];
  float window[4][36];  // block types 0 (long), 1 (start), 2 (short, 12 used), 3 (stop)
  // Only half of the 12-point IMDCT's outputs are independent: x[5 − i] = −x[i]
  // and x[11 − i] = x[6 + i]; the rows kept are i = 0 … 2 and 6 … 8, stored by
  // input line so that one input updates all six sums in one loop.
  float cos12[6][6];  // [m][r]
  // The 36-point IMDCT is an 18-point DCT-IV z with signs (y[i] = z[i + 9] for
  // i < 9, −z[26 − i] below 27, −z[i − 27] above). The DCT-IV is taken through a
  // DCT-II of the inputs times 2cos(π(2n + 1)/72) (then z[k] = U[k] − z[k − 1]),
  // and the DCT-II through one halving step into two 9-point DCT-IIs.
  float dct4Twiddle[18];
  float halving[9];
  float dct9[9][9];  // [n][m] = cos(π(2n + 1)m / 18)
  float mpeg1Ratio[7][2];  // kL, kR by intensity position 0 … 6
  float lsfRatio[2][32][2];
  HybridTables() {
    static constexpr double kC[8] = {-0.6, -0.535, -0.33, -0.185, -0.095, -0.041, -0.0142, -0.0037};
    for (int i = 0; i < 8; ++i) {
      double d = std::sqrt(1.0 + kC[i] * kC[i]);
      cs[i] = float(1.0 / d);
      ca[i] = float(kC[i] / d);
    }
    for (int i = 0; i < 36; ++i) {
      double longW = std::sin(kPi / 36 * (i + 0.5));
      window[0][i] = float(longW);
      window[1][i] = float(i < 18 ? longW : i < 24 ? 1.0 : i < 30 ? std::sin(kPi / 12 * (i - 18 + 0.5)) : 0.0);
      window[3][i] = float(i < 6 ? 0.0 : i < 12 ? std::sin(kPi / 12 * (i - 6 + 0.5)) : i < 18 ? 1.0 : longW);
      window[2][i] = i < 12 ? float(std::sin(kPi / 12 * (i + 0.5))) : 0.0f;
    }
    for (int r = 0; r < 6; ++r) {
      int i = r < 3 ? r : r + 3;
      for (int k = 0; k < 6; ++k) cos12[k][r] = float(std::cos(kPi / 24 * (2 * i + 1 + 6) * (2 * k + 1)));
    }
    for (int n = 0; n < 18; ++n) dct4Twiddle[n] = float(2 * std::cos(kPi * (2 * n + 1) / 72));
    for (int k = 0; k < 9; ++k) halving[k] = float(0.5 / std::cos(kPi * (2 * k + 1) / 36));
    for (int n = 0; n < 9; ++n)
      for (int m = 0; m < 9; ++m) dct9[n][m] = float(std::cos(kPi * (2 * n + 1) * m / 18));
    for (int p = 0; p < 7; ++p) {
      double t = std::tan(p * kPi / 12);
      mpeg1Ratio[p][0] = float(t / (1 + t));
      mpeg1Ratio[p][1] = float(1 / (1 + t));
    }
    for (int s = 0; s < 2; ++s) {
      double i0 = s == 0 ? std::pow(2.0, -0.25) : std::pow(2.0, -0.5);
      for (int p = 0; p < 32; ++p) {
        double kL = 1, kR = 1;
        if (p & 1)
          kL = std::pow(i0, (p + 1) / 2);
        else if (p)
          kR = std::pow(i0, p / 2);
        lsfRatio[s][p][0] = float(kL);
        lsfRatio[s][p][1] = float(kR);
      }
    }
  }
};

const HybridTables& tables() {
  static const HybridTables t;
  return t;
}

// Whether an intensity position codes a ratio. MPEG-1 positions 7 … 15 (the
// 4-bit scalefactors can carry 8 … 15, and the ratio's formula breaks at 9) are
// all taken as "not intensity-coded", like 7 itself; for LSF the largest value
// of the band's scalefactor width is the one that is not coded.
bool intensityCoded(bool lsf, int position, int illegal) {
  return lsf ? position != illegal : position < 7;
}

// z[k] = Σ_n X[n] cos(π(2n + 1)(2k + 1) / 72), k = 0 … 17, in each lane.
LIRVA_INLINE void dct4of18(const HybridTables& t, const F4* X, F4* z) {
  F4 a[9], b[9];
  for (int k = 0; k < 9; ++k) {
    F4 lo = X[k] * splat(t.dct4Twiddle[k]), hi = X[17 - k] * splat(t.dct4Twiddle[17 - k]);
    a[k] = lo + hi;
    b[k] = (lo - hi) * splat(t.halving[k]);
  }
  // The 9-point DCT-IIs through the symmetry of their rows: input n and 8 − n meet
  // with the same cosine, of equal sign in even outputs and opposite in odd ones
  // (input 4 only reaches the even outputs, as ±1).
  F4 A[9], B[10];
  F4 sa[4], da[4], sb[4], db[4];
  for (int n = 0; n < 4; ++n) {
    sa[n] = a[n] + a[8 - n], da[n] = a[n] - a[8 - n];
    sb[n] = b[n] + b[8 - n], db[n] = b[n] - b[8 - n];
  }
  for (int m = 0; m < 9; ++m) {
    const F4* sum = (m & 1) ? da : sa;
    const F4* sumB = (m & 1) ? db : sb;
    F4 x = zero4(), y = zero4();
    if (!(m & 1)) {
      const F4 middle = splat((m & 2) ? -1.0f : 1.0f);  // cos(πm/2)
      x = a[4] * middle;
      y = b[4] * middle;
    }
    for (int n = 0; n < 4; ++n) {
      x = x + sum[n] * splat(t.dct9[n][m]);
      y = y + sumB[n] * splat(t.dct9[n][m]);
    }
    A[m] = x;
    B[m] = y;
  }
  B[9] = zero4();
  F4 previous = A[0] * splat(0.5f);
  z[0] = previous;
  for (int k = 1; k < 18; ++k) {
    F4 U = (k & 1) ? B[k / 2] + B[k / 2 + 1] : A[k / 2];
    previous = U - previous;
    z[k] = previous;
  }
}

// The 36 windowed outputs of a long block (block types 0, 1 and 3) from its 18
// lines; `w` holds each lane's window.
LIRVA_INLINE void longBlock(const HybridTables& t, const F4* X, const F4* w, F4* y) {
  F4 z[18];
  dct4of18(t, X, z);
  for (int i = 0; i < 9; ++i) y[i] = z[i + 9] * w[i];
  for (int i = 9; i < 27; ++i) y[i] = -z[26 - i] * w[i];
  for (int i = 27; i < 36; ++i) y[i] = -z[i - 27] * w[i];
}

// The three overlapped 12-point IMDCTs of a short block, windowed.
LIRVA_INLINE void shortBlock(const HybridTables& t, const F4* X, F4* y) {
  for (int i = 0; i < 36; ++i) y[i] = zero4();
  const float* w = t.window[2];
  for (int k = 0; k < 3; ++k) {
    F4* out = y + 6 + 6 * k;
    F4 sums[6];
    for (int r = 0; r < 6; ++r) sums[r] = zero4();
    for (int m = 0; m < 6; ++m) {
      const F4 x = X[3 * m + k];
      for (int r = 0; r < 6; ++r) sums[r] = sums[r] + x * splat(t.cos12[m][r]);
    }
    for (int r = 0; r < 6; ++r) {
      F4 s = sums[r];
      if (r < 3) {
        out[r] = out[r] + s * splat(w[r]);
        out[5 - r] = out[5 - r] - s * splat(w[5 - r]);
      } else {
        out[r + 3] = out[r + 3] + s * splat(w[r + 3]);
        out[14 - r] = out[14 - r] + s * splat(w[14 - r]);
      }
    }
  }
}

}  // namespace

void stereoProcess(const FrameHeader& h, const GranuleInfo& gi, const Scalefactors& sf, const BandTables& bands,
                   float xr[2][576]) {
  if (h.mode != kModeJointStereo) return;
  const bool ms = h.modeExtension & 2;
  const bool intensity = h.modeExtension & 1;
  float* L = xr[0];
  float* R = xr[1];
  if (!intensity) {
    if (ms)
      for (int i = 0; i < 576; ++i) {
        float l = L[i], r = R[i];
        L[i] = (l + r) * kSqrtHalf;
        R[i] = (l - r) * kSqrtHalf;
      }
    return;
  }
  const bool lsf = isLsf(h);
  int8_t pos[576];
  for (int i = 0; i < 576; ++i) pos[i] = kNoIntensity;
  auto setBand = [&](int first, int end, int step, int sfIndex) {
    int p = sf.value[sfIndex];
    if (!intensityCoded(lsf, p, lsf ? sf.illegalPosition[sfIndex] : 0)) return;
    for (int i = first; i < end; i += step) pos[i] = int8_t(p > 31 ? 31 : p);
  };
  // The last band has no position of its own and takes the band below's when that
  // band is intensity-coded. For LSF, when the intensity region is the last band
  // alone, it takes position 0 (both channels the left one's values), as the
  // reference decoder of the standard does; MPEG-1 leaves it uncoded then.
  auto setLastBand = [&](int first, int end, int step) {
    for (int i = first; i < end; i += step) pos[i] = 0;
  };

  int longBands = 22;
  bool longPartCoded = true;
  if (gi.block_type == 2) {
    bool mixed = gi.mixed_block_flag;
    int firstShort = mixed ? 3 : 0;
    longBands = mixed ? (lsf ? 6 : 8) : 0;
    int sfBase = mixed ? longBands - 9 : 0;
    for (int k = 0; k < 3; ++k) {
      int startBand = firstShort;
      for (int j = 573 + k; j >= bands.shortBounds[firstShort]; j -= 3) {
        if (R[j] != 0) {
          int b = firstShort;
          while (b < 12 && bands.shortBounds[b + 1] <= j) ++b;
          startBand = b + 1;
          break;
        }
      }
      if (startBand > 3) longPartCoded = false;
      for (int b = startBand; b < 13; ++b) {
        if (b == 12 && startBand == 12 && lsf) {
          setLastBand(bands.shortBounds[12] + k, 576, 3);
          break;
        }
        int sfIndex = sfBase + (b < 12 ? b : 11) * 3 + k;
        setBand(bands.shortBounds[b] + k, bands.shortBounds[b + 1], 3, sfIndex);
      }
    }
  }
  if (longBands && longPartCoded) {
    int end = bands.longBounds[longBands];
    int startBand = 0;
    for (int j = end - 1; j >= 0; --j)
      if (R[j] != 0) {
        int b = 0;
        while (b < longBands - 1 && bands.longBounds[b + 1] <= j) ++b;
        startBand = b + 1;
        break;
      }
    for (int b = startBand; b < longBands; ++b) {
      if (b == 21 && startBand == 21 && lsf) {
        setLastBand(bands.longBounds[21], 576, 1);
        break;
      }
      setBand(bands.longBounds[b], bands.longBounds[b + 1], 1, b < 21 ? b : 20);
    }
  }

  const HybridTables& t = tables();
  for (int i = 0; i < 576; ++i) {
    float l = L[i], r = R[i];
    if (pos[i] != kNoIntensity) {
      const float* k = lsf ? t.lsfRatio[gi.intensitySelector & 1][pos[i]] : t.mpeg1Ratio[pos[i]];
      L[i] = l * k[0];
      R[i] = l * k[1];
    } else if (ms) {
      L[i] = (l + r) * kSqrtHalf;
      R[i] = (l - r) * kSqrtHalf;
    }
  }
}

void aliasReduce(const GranuleInfo& gi, const BandTables& bands, float xr[576], int nonzeroLines) {
  int limit = gi.block_type != 2 ? 32 : gi.mixed_block_flag ? bands.shortBounds[3] / 18 : 0;
  const HybridTables& t = tables();
  for (int sb = 0; sb + 1 < limit && 18 * sb + 10 < nonzeroLines; ++sb) {
    float* lo = xr + 18 * sb + 17;
    float* hi = xr + 18 * (sb + 1);
    for (int i = 0; i < 8; ++i) {
      float a = lo[-i], b = hi[i];
      lo[-i] = a * t.cs[i] - b * t.ca[i];
      hi[i] = b * t.cs[i] + a * t.ca[i];
    }
  }
}

void hybridSynthesis(const GranuleInfo& gi, const BandTables& bands, const float xr[576], float overlap[18][32],
                     float out[18][2][32], int ch) {
  const HybridTables& t = tables();
  // With the mixed-block flag the lowest subbands take the normal window, whatever
  // the block type; the others take the block type's window.
  const int normalLimit = gi.mixed_block_flag ? bands.shortBounds[3] / 18 : 0;
  // Odd samples of odd subbands are negated (frequency inversion).
  const F4 inversion = lanes4(1.0f, -1.0f, 1.0f, -1.0f);
  // Four subbands at a time, one in each lane.
  for (int sb = 0; sb < 32; sb += 4) {
    const float* lines = xr + 18 * sb;
    F4 y[36];
    if (allZero(lines, 72)) {
      // Upper subbands are mostly empty: all that is left is the overlap.
      for (int i = 0; i < 36; ++i) y[i] = zero4();
    } else {
      F4 X[18];
      for (int k = 0; k < 16; k += 4) {
        F4 a = load4(lines + k), b = load4(lines + 18 + k), c = load4(lines + 36 + k), d = load4(lines + 54 + k);
        transpose(a, b, c, d);
        X[k] = a, X[k + 1] = b, X[k + 2] = c, X[k + 3] = d;
      }
      for (int k = 16; k < 18; ++k) X[k] = lanes4(lines[k], lines[18 + k], lines[36 + k], lines[54 + k]);
      int type[4];
      int longLanes = 0;
      for (int l = 0; l < 4; ++l) {
        type[l] = sb + l < normalLimit ? 0 : gi.block_type;
        longLanes += type[l] != 2;
      }
      F4 w[36];
      if (longLanes == 4 && type[0] == type[3])
        for (int i = 0; i < 36; ++i) w[i] = splat(t.window[type[0]][i]);
      else if (longLanes)
        for (int i = 0; i < 36; ++i)
          w[i] = lanes4(t.window[type[0]][i], t.window[type[1]][i], t.window[type[2]][i], t.window[type[3]][i]);
      if (longLanes == 4) {
        longBlock(t, X, w, y);
      } else if (longLanes == 0) {
        shortBlock(t, X, y);
      } else {
        // Mixed blocks: the lanes below the limit long, the others short.
        F4 ys[36];
        longBlock(t, X, w, y);
        shortBlock(t, X, ys);
        for (int i = 0; i < 36; ++i) {
          float lo[4], hi[4];
          store4(lo, y[i]);
          store4(hi, ys[i]);
          for (int l = 0; l < 4; ++l)
            if (type[l] == 2) lo[l] = hi[l];
          y[i] = load4(lo);
        }
      }
    }
    for (int i = 0; i < 18; ++i) {
      F4 v = y[i] + load4(overlap[i] + sb);
      store4(overlap[i] + sb, y[18 + i]);
      store4(out[i][ch] + sb, (i & 1) ? v * inversion : v);
    }
  }
}

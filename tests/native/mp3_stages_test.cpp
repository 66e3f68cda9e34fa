// The Layer III stages that can be checked on their own: band tables, reorder
// maps, and the hybrid filterbank's perfect reconstruction across block switching.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "audio/mp3/mp3_layer3.h"

namespace {
constexpr double kPi = 3.14159265358979323846;
}

TEST(Mp3Stages, BandTablesOfEveryRateCoverTheGranuleInRisingSteps) {
  for (int row = 0; row < 9; ++row) {
    const BandTables& t = bandTablesFor(row);
    EXPECT_EQ(t.longBounds[0], 0);
    EXPECT_EQ(t.longBounds[22], 576);
    EXPECT_EQ(t.shortBounds[0], 0);
    EXPECT_EQ(t.shortBounds[13], 576);
    for (int i = 0; i < 22; ++i) EXPECT_LT(t.longBounds[i], t.longBounds[i + 1]) << row;
    for (int i = 0; i < 13; ++i) {
      EXPECT_LT(t.shortBounds[i], t.shortBounds[i + 1]) << row;
      EXPECT_EQ(t.shortBounds[i] % 3, 0);
    }
    // Mixed blocks switch from long to short bands at the same line.
    EXPECT_EQ(t.shortBounds[3], t.longBounds[row == 8 ? 6 : row < 3 ? 8 : 6]) << row;
  }
}

TEST(Mp3Stages, ShortBlocksAreReorderedWindowInterleavedAndMixedBlocksKeepTheirLongPart) {
  ReorderMaps maps;
  buildReorderMaps(0, &maps);  // 44.1 kHz: the first short bands are 4 lines wide
  EXPECT_EQ(maps.map[1][0], 0);
  EXPECT_EQ(maps.map[1][1], 3);  // line 1 of window 0
  EXPECT_EQ(maps.map[1][4], 1);  // line 0 of window 1
  EXPECT_EQ(maps.map[1][8], 2);  // line 0 of window 2
  EXPECT_EQ(maps.map[2][1], 1);  // bands 0-2 of a mixed block are long lines
  EXPECT_EQ(maps.map[2][36 + 4], maps.map[1][36 + 4]);
  for (int m = 0; m < 3; ++m) {
    bool seen[576] = {};
    for (int i = 0; i < 576; ++i) seen[maps.map[m][i]] = true;
    for (bool s : seen) EXPECT_TRUE(s);
  }
}

// The hybrid filterbank inverts the standard's MDCT: a signal taken through the
// forward transform with the block windows of a valid switching sequence comes
// back (at nine times its size) from the IMDCT, the windows and the overlap-add,
// and odd subbands come back with every odd sample negated.
TEST(Mp3Stages, HybridFilterbankReconstructsTheSignalAcrossBlockSwitching) {
  auto window = [](int type, int i) -> double {
    double longW = std::sin(kPi / 36 * (i + 0.5));
    switch (type) {
      case 1: return i < 18 ? longW : i < 24 ? 1 : i < 30 ? std::sin(kPi / 12 * (i - 18 + 0.5)) : 0;
      case 3: return i < 6 ? 0 : i < 12 ? std::sin(kPi / 12 * (i - 6 + 0.5)) : i < 18 ? 1 : longW;
      default: return longW;
    }
  };
  const int types[8] = {0, 1, 2, 2, 3, 0, 1, 3};
  const int granules = 8;
  double s[18 * (granules + 1)];
  for (int n = 0; n < 18 * (granules + 1); ++n) s[n] = std::sin(n * 0.37) + 0.5 * std::cos(n * 1.91 + 0.3);

  const BandTables& bands = bandTablesFor(0);
  float overlap[18][32] = {};
  static float out[18][2][32];
  for (int g = 0; g < granules; ++g) {
    float xr[576] = {};
    const double* block = s + 18 * g;
    if (types[g] != 2) {
      for (int k = 0; k < 18; ++k) {
        double sum = 0;
        for (int i = 0; i < 36; ++i)
          sum += window(types[g], i) * block[i] * std::cos(kPi / 72 * (2 * i + 1 + 18) * (2 * k + 1));
        xr[k] = xr[18 + k] = float(sum);
      }
    } else {
      for (int w = 0; w < 3; ++w)
        for (int m = 0; m < 6; ++m) {
          double sum = 0;
          for (int i = 0; i < 12; ++i)
            sum += std::sin(kPi / 12 * (i + 0.5)) * block[6 + 6 * w + i] *
                   std::cos(kPi / 24 * (2 * i + 1 + 6) * (2 * m + 1));
          xr[3 * m + w] = xr[18 + 3 * m + w] = float(3 * sum);  // short transforms are a third as loud
        }
    }
    GranuleInfo gi;
    gi.block_type = types[g];
    hybridSynthesis(gi, bands, xr, overlap, out, 0);
    if (g == 0) continue;  // nothing overlaps the first granule
    for (int t = 0; t < 18; ++t) {
      EXPECT_NEAR(out[t][0][0], 9 * s[18 * g + t], 2e-5) << "granule " << g << " sample " << t;
      EXPECT_FLOAT_EQ(out[t][0][1], (t & 1) ? -out[t][0][0] : out[t][0][0]);
    }
  }
}

// Intensity stereo: which bands are coded and with which ratio.
TEST(Mp3Stages, IntensityStereoCodesTheBandsAboveTheRightChannelsLastValue) {
  const BandTables& bands = bandTablesFor(0);
  auto run = [&](bool lsf, int modeExtension, int lastRightLine, Scalefactors sf, GranuleInfo gi, float xr[2][576]) {
    FrameHeader h;
    h.version = lsf ? 1 : 0;
    h.mode = kModeJointStereo;
    h.modeExtension = modeExtension;
    for (int i = 0; i < 576; ++i) {
      xr[0][i] = 1.0f;
      xr[1][i] = i <= lastRightLine ? 0.5f : 0.0f;
    }
    stereoProcess(h, gi, sf, bands, xr);
  };
  static float xr[2][576];

  // MPEG-1, right channel silent: every long band is coded; band 21 takes band
  // 20's position; positions 7 and above are not coded (M/S applies there).
  Scalefactors sf;
  for (int b = 0; b < 21; ++b) sf.value[b] = b % 9;
  run(false, 3, -1, sf, GranuleInfo(), xr);
  for (int b = 0; b < 22; ++b) {
    int p = sf.value[b < 21 ? b : 20];
    int line = bands.longBounds[b];
    if (p < 7) {
      double t = std::tan(p * kPi / 12);
      EXPECT_NEAR(xr[0][line], t / (1 + t), 1e-6) << b;
      EXPECT_NEAR(xr[1][line], 1 / (1 + t), 1e-6) << b;
    } else {
      EXPECT_NEAR(xr[0][line], 0.70710678, 1e-6) << b;  // (1 + 0) / √2
      EXPECT_NEAR(xr[1][line], 0.70710678, 1e-6) << b;
    }
  }

  // The right channel's last non-zero line (in band 9) keeps bands 0-9 as they are.
  run(false, 1, bands.longBounds[9] + 1, sf, GranuleInfo(), xr);
  EXPECT_FLOAT_EQ(xr[0][bands.longBounds[9]], 1.0f);
  EXPECT_FLOAT_EQ(xr[1][bands.longBounds[9]], 0.5f);
  EXPECT_NEAR(xr[1][bands.longBounds[10]], 1 / (1 + std::tan(1 * kPi / 12)), 1e-6);  // band 10: position 1

  // LSF: the largest value of a band's scalefactor width means "not coded";
  // odd positions scale the left channel, even ones the right.
  Scalefactors lsfSf;
  for (int b = 0; b < 21; ++b) lsfSf.value[b] = b % 4, lsfSf.illegalPosition[b] = 3;
  GranuleInfo gi;
  gi.intensitySelector = 0;
  run(true, 1, -1, lsfSf, gi, xr);
  const double i0 = std::pow(2.0, -0.25);
  EXPECT_FLOAT_EQ(xr[0][bands.longBounds[0]], 1.0f);                 // position 0: 1, 1
  EXPECT_FLOAT_EQ(xr[1][bands.longBounds[0]], 1.0f);
  EXPECT_NEAR(xr[0][bands.longBounds[1]], i0, 1e-6);                 // position 1
  EXPECT_NEAR(xr[1][bands.longBounds[2]], i0, 1e-6);                 // position 2
  EXPECT_FLOAT_EQ(xr[1][bands.longBounds[3]], 0.0f);                 // position 3: not coded
}

TEST(Mp3Stages, FastMatrixingComputesTheCosineMatrix) {
  unsigned seed = 7;
  for (int trial = 0; trial < 20; ++trial) {
    float S[32], V[64];
    for (float& v : S) seed = seed * 1103515245u + 12345u, v = float(int(seed >> 16) % 2001 - 1000) / 1000.0f;
    if (trial == 0) std::fill(S, S + 32, 0.0f), S[trial % 32] = 1.0f;
    synthesisMatrix(S, V);
    for (int i = 0; i < 64; ++i) {
      double expected = 0;
      for (int k = 0; k < 32; ++k) expected += std::cos((16 + i) * (2 * k + 1) * kPi / 64) * 524288.0 * S[k];
      double magnitude = 0;
      for (float v : S) magnitude += std::fabs(v) * 524288.0;
      EXPECT_NEAR(V[i], expected, 1e-6 * magnitude) << "trial " << trial << " row " << i;  // float rounding
    }
  }
}

// With a window that picks one history entry per output, the output of slot t
// is a row of the matrixing of slot t − 2i (or t − 2i − 1): this checks where the
// history keeps each slot, across the copy-down every 16 slots, and that the
// output is saturated at ±0x200000.
TEST(Mp3Stages, SynthesisHistoryHoldsEachSlotWhereTheWindowReadsIt) {
  for (int half = 0; half < 2; ++half) {
    const int i = 3;
    float window[512] = {};
    for (int j = 0; j < 32; ++j) window[64 * i + 32 * half + j] = 1.0f / 524288.0f;
    SynthesisState state;
    resetSynthesis(&state);
    const int granules = 4;
    static float slots[granules * 18][2][32];
    for (int t = 0; t < granules * 18; ++t)
      for (int c = 0; c < 2; ++c)
        for (int k = 0; k < 32; ++k) slots[t][c][k] = float(((t * 7 + k * 13 + c * 5) % 23) - 11) * 37.0f;
    slots[40][1][5] = 1e9f;  // far beyond the limit
    for (int g = 0; g < granules; ++g) {
      int32_t out[576 * 2];
      static float in[18][2][32];
      for (int t = 0; t < 18; ++t)
        for (int c = 0; c < 2; ++c)
          for (int k = 0; k < 32; ++k) in[t][c][k] = slots[g * 18 + t][c][k];
      synthesiseGranuleWithWindow(&state, in, 2, out, window);
      for (int t = 0; t < 18; ++t) {
        int from = g * 18 + t - 2 * i - half;
        for (int c = 0; c < 2; ++c)
          for (int j = 0; j < 32; ++j) {
            int32_t got = out[(t * 32 + j) * 2 + c];
            if (from < 0) {
              EXPECT_EQ(got, 0);
              continue;
            }
            int row = half ? 32 + j : j;
            double expected = 0;
            double magnitude = 0;
            for (int k = 0; k < 32; ++k) {
              expected += std::cos((16 + row) * (2 * k + 1) * kPi / 64) * slots[from][c][k];
              magnitude += std::fabs(slots[from][c][k]);
            }
            expected = std::clamp(expected, -2097152.0, 2097152.0);
            EXPECT_NEAR(got, expected, 1.0 + 1e-6 * magnitude) << "slot " << g * 18 + t << " output " << j;
          }
      }
    }
  }
}

TEST(Mp3Stages, SynthesisTurnsNaNIntoSilence) {
  float window[512];
  for (int i = 0; i < 512; ++i) window[i] = 1.0f / 524288.0f;
  SynthesisState state;
  resetSynthesis(&state);
  static float in[18][2][32];
  for (auto& slot : in)
    for (auto& channel : slot)
      for (float& v : channel) v = std::nanf("");
  int32_t out[576 * 2];
  synthesiseGranuleWithWindow(&state, in, 2, out, window);
  for (int32_t v : out) EXPECT_EQ(v, 0);
}

// Each code table is a complete prefix code: the code lengths fill the code space
// exactly and no code begins another.
TEST(Mp3Stages, HuffmanTablesAreCompletePrefixCodes) {
  int tables = 0;
  for (int n = 0; n <= 33; ++n) {
    int count = 0;
    const HuffmanCode* codes = huffmanCodes(n, &count);
    if (!codes) continue;
    ++tables;
    uint64_t space = 0;  // in units of 2^-24
    for (int v = 0; v < count; ++v) {
      ASSERT_GE(codes[v].hlen, 1);
      ASSERT_LE(codes[v].hlen, 19);
      ASSERT_LT(codes[v].hcod, 1u << codes[v].hlen) << "table " << n << " value " << v;
      space += uint64_t(1) << (24 - codes[v].hlen);
    }
    EXPECT_EQ(space, uint64_t(1) << 24) << "table " << n;
    for (int a = 0; a < count; ++a)
      for (int b = 0; b < count; ++b) {
        if (a == b || codes[a].hlen > codes[b].hlen) continue;
        EXPECT_NE(codes[b].hcod >> (codes[b].hlen - codes[a].hlen), codes[a].hcod)
            << "table " << n << ": code of " << a << " begins the code of " << b;
      }
  }
  EXPECT_EQ(tables, 31);  // all but 0, 4 and 14
}

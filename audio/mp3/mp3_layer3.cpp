// Side information, scalefactors, requantisation and the band tables of each rate.
#include "audio/mp3/mp3_layer3.h"

#include <cmath>

namespace {

// The scalefactor band boundaries of each rate, in the order 44.1, 48, 32, 22.05,
// 24, 16, 11.025, 12, 8 kHz: long bands, and short bands in lines per window
// (multiplied by 3 when the tables are built). The 11.025 and 12 kHz rows repeat
// the 16 kHz row; 8 kHz has its own.
constexpr int16_t kLongBounds[9][23] = {
    {0, 4, 8, 12, 16, 20, 24, 30, 36, 44, 52, 62, 74, 90, 110, 134, 162, 196, 238, 288, 342, 418, 576},
    {0, 4, 8, 12, 16, 20, 24, 30, 36, 42, 50, 60, 72, 88, 106, 128, 156, 190, 230, 276, 330, 384, 576},
    {0, 4, 8, 12, 16, 20, 24, 30, 36, 44, 54, 66, 82, 102, 126, 156, 194, 240, 296, 364, 448, 550, 576},
    {0, 6, 12, 18, 24, 30, 36, 44, 54, 66, 80, 96, 116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
    {0, 6, 12, 18, 24, 30, 36, 44, 54, 66, 80, 96, 114, 136, 162, 194, 232, 278, 332, 394, 464, 540, 576},
    {0, 6, 12, 18, 24, 30, 36, 44, 54, 66, 80, 96, 116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
    {0, 6, 12, 18, 24, 30, 36, 44, 54, 66, 80, 96, 116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
    {0, 6, 12, 18, 24, 30, 36, 44, 54, 66, 80, 96, 116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
    {0, 12, 24, 36, 48, 60, 72, 88, 108, 132, 160, 192, 232, 280, 336, 400, 476, 566, 568, 570, 572, 574, 576},
};
constexpr int16_t kShortBounds[9][14] = {
    {0, 4, 8, 12, 16, 22, 30, 40, 52, 66, 84, 106, 136, 192},
    {0, 4, 8, 12, 16, 22, 28, 38, 50, 64, 80, 100, 126, 192},
    {0, 4, 8, 12, 16, 22, 30, 42, 58, 78, 104, 138, 180, 192},
    {0, 4, 8, 12, 18, 24, 32, 42, 56, 74, 100, 132, 174, 192},
    {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 136, 180, 192},
    {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 134, 174, 192},
    {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 134, 174, 192},
    {0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 134, 174, 192},
    {0, 8, 16, 24, 36, 52, 72, 96, 124, 160, 162, 164, 166, 192},
};

struct AllBandTables {
  BandTables rate[9];
  constexpr AllBandTables() : rate() {
    for (int r = 0; r < 9; ++r) {
      for (int i = 0; i < 23; ++i) rate[r].longBounds[i] = kLongBounds[r][i];
      for (int i = 0; i < 14; ++i) rate[r].shortBounds[i] = int16_t(kShortBounds[r][i] * 3);
    }
  }
};
constexpr AllBandTables kBandTables;

// Extra scalefactor of the upper long bands when preflag is set.
constexpr int8_t kPretab[22] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 3, 3, 3, 2, 0};

// MPEG-1 scalefactor widths by scalefac_compress.
constexpr int8_t kSlen1[16] = {0, 0, 0, 0, 3, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4};
constexpr int8_t kSlen2[16] = {0, 1, 2, 3, 0, 1, 2, 3, 1, 2, 3, 1, 2, 3, 2, 3};

// LSF scalefactor counts per group: six cases × (long, short, mixed) × 4 groups.
constexpr int8_t kNrOfSfb[6][3][4] = {
    {{6, 5, 5, 5}, {9, 9, 9, 9}, {6, 9, 9, 9}},
    {{6, 5, 7, 3}, {9, 9, 12, 6}, {6, 9, 12, 6}},
    {{11, 10, 0, 0}, {18, 18, 0, 0}, {15, 18, 0, 0}},
    {{7, 7, 7, 0}, {12, 12, 12, 0}, {6, 15, 12, 0}},
    {{6, 6, 6, 3}, {12, 9, 9, 6}, {6, 12, 9, 6}},
    {{8, 8, 5, 0}, {15, 12, 9, 0}, {6, 18, 9, 0}},
};

void readScalefactorsMpeg1(const GranuleInfo& gi, BitReader& br, Scalefactors* sf) {
  int slen1 = kSlen1[gi.scalefac_compress & 15], slen2 = kSlen2[gi.scalefac_compress & 15];
  int32_t* v = sf->value;
  if (gi.block_type == 2) {
    int n1 = gi.mixed_block_flag ? 17 : 18;  // 8 long + 9 short, or 18 short, at slen1
    int i = 0;
    for (; i < n1; ++i) v[i] = int32_t(br.getBits(slen1));
    for (int k = 0; k < 18; ++k, ++i) v[i] = int32_t(br.getBits(slen2));
    for (int k = 0; k < 3; ++k) v[i + k] = 0;
    return;
  }
  static constexpr int kGroupStart[5] = {0, 6, 11, 16, 21};
  for (int g = 0; g < 4; ++g) {
    if (gi.scfsi[g] && gi.granule == 1) continue;
    int width = g < 2 ? slen1 : slen2;
    for (int b = kGroupStart[g]; b < kGroupStart[g + 1]; ++b) v[b] = int32_t(br.getBits(width));
  }
  v[21] = v[22] = v[23] = 0;
}

void readScalefactorsLsf(const GranuleInfo& gi, BitReader& br, Scalefactors* sf) {
  int sfc = gi.scalefac_compress;
  int slen[4];
  int kind;
  if (gi.intensitySelector != 2) {
    if (sfc < 180) {
      slen[0] = sfc / 36; slen[1] = (sfc % 36) / 6; slen[2] = sfc % 6; slen[3] = 0; kind = 3;
    } else if (sfc < 244) {
      slen[0] = (sfc - 180) >> 4; slen[1] = ((sfc >> 2) - 1) & 3; slen[2] = sfc & 3; slen[3] = 0; kind = 4;
    } else {
      slen[0] = (sfc - 244) / 3; slen[1] = (sfc - 244) % 3; slen[2] = 0; slen[3] = 0; kind = 5;
    }
  } else if (sfc < 400) {
    slen[0] = (sfc >> 4) / 5; slen[1] = (sfc >> 4) % 5; slen[2] = (sfc >> 2) & 3; slen[3] = sfc & 3; kind = 0;
  } else if (sfc < 500) {
    slen[0] = (sfc - 400) / 20; slen[1] = ((sfc - 400) >> 2) % 5; slen[2] = sfc & 3; slen[3] = 0; kind = 1;
  } else {
    slen[0] = (sfc - 500) / 3; slen[1] = (sfc - 500) % 3; slen[2] = 0; slen[3] = 0; kind = 2;
  }
  int column = gi.block_type != 2 ? 0 : gi.mixed_block_flag ? 2 : 1;
  int i = 0;
  for (int g = 0; g < 4; ++g) {
    for (int k = 0; k < kNrOfSfb[kind][column][g] && i < 36; ++k, ++i) {
      sf->value[i] = int32_t(br.getBits(slen[g]));
      sf->illegalPosition[i] = (1 << slen[g]) - 1;
    }
  }
  // Bands beyond the transmitted ones have no scalefactor; for intensity they
  // borrow the position of the band below (done by the stereo stage).
  for (; i < 39; ++i) sf->value[i] = 0, sf->illegalPosition[i] = 0;
}

// globalGain[g] = 2^((g − 210) / 4) and sfGain[k] = 2^(−k / 2), built once.
struct GainTables {
  float global[256];
  float sf[65];
  GainTables() {
    for (int g = 0; g < 256; ++g) global[g] = float(std::exp2((g - 210) / 4.0));
    for (int k = 0; k < 65; ++k) sf[k] = float(std::exp2(-0.5 * k));
  }
};
const GainTables& gains() {
  static const GainTables t;
  return t;
}
// Scalefactor gains; indices beyond the table only come from damaged streams.
float sfGain(int k) { return gains().sf[k < 0 ? 0 : k > 64 ? 64 : k]; }

}  // namespace

const BandTables& bandTablesFor(int rateRow) { return kBandTables.rate[rateRow < 0 || rateRow > 8 ? 0 : rateRow]; }

void buildReorderMaps(int rateRow, ReorderMaps* maps) {
  const BandTables& t = bandTablesFor(rateRow);
  for (int i = 0; i < 576; ++i) maps->map[0][i] = maps->map[1][i] = maps->map[2][i] = uint16_t(i);
  for (int band = 0; band < 13; ++band) {
    int s = t.shortBounds[band];
    int w = (t.shortBounds[band + 1] - s) / 3;
    for (int k = 0; k < 3; ++k)
      for (int l = 0; l < w; ++l) {
        int j = s + k * w + l;
        uint16_t to = uint16_t(s + 3 * l + k);
        maps->map[1][j] = to;
        if (band >= 3) maps->map[2][j] = to;
      }
  }
}

void readSideInfo(const FrameHeader& h, const uint8_t* bytes, int size, SideInfo* si) {
  BitReader br(bytes, uint32_t(size));
  int channels = channelsOf(h);
  bool lsf = isLsf(h);
  *si = SideInfo();
  si->main_data_begin = int32_t(br.getBits(lsf ? 8 : 9));
  br.getBits(lsf ? (channels == 1 ? 1 : 2) : (channels == 1 ? 5 : 3));
  int32_t scfsi[2][4] = {};
  if (!lsf)
    for (int ch = 0; ch < channels; ++ch)
      for (int g = 0; g < 4; ++g) scfsi[ch][g] = int32_t(br.getBit());
  int granules = lsf ? 1 : 2;
  for (int gr = 0; gr < granules; ++gr)
    for (int ch = 0; ch < channels; ++ch) {
      GranuleInfo& gi = si->gr[gr][ch];
      gi.granule = gr;
      gi.channel = ch;
      if (gr == 1)
        for (int g = 0; g < 4; ++g) gi.scfsi[g] = scfsi[ch][g];
      gi.part2_3_length = int32_t(br.getBits(12));
      gi.big_values = int32_t(br.getBits(9));
      gi.global_gain = int32_t(br.getBits(8));
      if (!lsf) {
        gi.scalefac_compress = int32_t(br.getBits(4));
      } else if (ch == 1 && h.mode == kModeJointStereo && (h.modeExtension & 1)) {
        gi.scalefac_compress = int32_t(br.getBits(8));
        gi.intensitySelector = int32_t(br.getBit());
      } else {
        gi.scalefac_compress = int32_t(br.getBits(9));
      }
      if (br.getBit()) {
        gi.block_type = int32_t(br.getBits(2));
        gi.mixed_block_flag = int32_t(br.getBit());
        for (int r = 0; r < 2; ++r) gi.table_select[r] = int32_t(br.getBits(5));
        for (int w = 0; w < 3; ++w) gi.subblock_gain[w] = int32_t(br.getBits(3)) * 4;
        gi.region0_count = 7;
        gi.region1_count = 13;
        if (gi.block_type == 2)
          for (int g = 0; g < 4; ++g) gi.scfsi[g] = 0;
      } else {
        gi.block_type = 0;
        gi.mixed_block_flag = 0;
        for (int r = 0; r < 3; ++r) gi.table_select[r] = int32_t(br.getBits(5));
        gi.region0_count = int32_t(br.getBits(4));
        gi.region1_count = int32_t(br.getBits(3));
      }
      if (!lsf)
        gi.preflag = int32_t(br.getBit());
      else
        gi.preflag = gi.intensitySelector == 2 && gi.scalefac_compress >= 500 ? 1 : 0;
      gi.scalefac_scale = int32_t(br.getBit());
      gi.count1table_select = int32_t(br.getBit());
    }
}

void readScalefactors(const FrameHeader& h, const GranuleInfo& gi, BitReader& br, Scalefactors* sf) {
  if (isLsf(h))
    readScalefactorsLsf(gi, br, sf);
  else
    readScalefactorsMpeg1(gi, br, sf);
}

void requantise(const FrameHeader& h, const GranuleInfo& gi, const Scalefactors& sf, const BandTables& bands,
                float xr[576], int nonzeroLines) {
  const float globalGain = gains().global[gi.global_gain & 255];
  const int shift = gi.scalefac_scale;
  int longBands = gi.block_type != 2 ? 22 : gi.mixed_block_flag ? (isLsf(h) ? 6 : 8) : 0;
  for (int b = 0; b < longBands && bands.longBounds[b] < nonzeroLines; ++b) {
    int k = sf.value[b < 21 ? b : 21] + (gi.preflag ? kPretab[b] : 0);
    float g = globalGain * sfGain(k << shift);
    for (int i = bands.longBounds[b]; i < bands.longBounds[b + 1]; ++i) xr[i] *= g;
  }
  if (gi.block_type != 2) return;
  int firstShort = gi.mixed_block_flag ? 3 : 0;
  int sfBase = gi.mixed_block_flag ? longBands - 9 : 0;  // index of band `firstShort`'s first window
  for (int band = firstShort; band < 13; ++band) {
    for (int k = 0; k < 3; ++k) {
      int index = sfBase + band * 3 + k;
      int value = index < 39 ? sf.value[index] : 0;
      float g = globalGain * sfGain(gi.subblock_gain[k]) * sfGain(value << shift);
      for (int i = bands.shortBounds[band] + k; i < bands.shortBounds[band + 1]; i += 3) xr[i] *= g;
    }
  }
}

// Layer III granule decoding, as a pipeline of stages over plain arrays:
// side information → scalefactors → Huffman decoding → requantisation (this file's
// .cpp and mp3_huffman.cpp), then stereo processing → alias reduction → IMDCT with
// overlap → frequency inversion (mp3_hybrid.cpp), then the polyphase synthesis
// (mp3_synthesis.cpp). Each stage takes its inputs and writes its outputs.
#pragma once
#include "audio/mp3/mp3_tables.h"
#include <cstdint>

#include "audio/mp3/mp3_bits.h"
#include "audio/mp3/mp3_frame.h"

// The small helpers of the stages' inner loops.
#ifndef LIRVA_INLINE
#define LIRVA_INLINE inline __attribute__((always_inline))
#endif

struct GranuleInfo {
  int32_t granule = 0;
  int32_t channel = 0;
  int32_t scfsi[4] = {};
  int32_t part2_3_length = 0;
  int32_t big_values = 0;
  int32_t global_gain = 0;
  int32_t scalefac_compress = 0;
  int32_t intensitySelector = 2;  // 0 or 1 for the LSF intensity channel, 2 otherwise
  int32_t block_type = 0;
  int32_t mixed_block_flag = 0;
  int32_t table_select[3] = {};
  int32_t subblock_gain[3] = {};  // × 4
  int32_t region0_count = 0;
  int32_t region1_count = 0;
  int32_t preflag = 0;
  int32_t scalefac_scale = 0;
  int32_t count1table_select = 0;
};

struct SideInfo {
  int32_t main_data_begin = 0;
  GranuleInfo gr[2][2];  // [granule][channel]
};

// Scalefactors of one channel: long bands 0-20, or short bands band-major with
// the three windows inside, or for mixed blocks the long part then the short
// bands from 3 on; three zeros behind. illegalPosition holds, for the LSF
// intensity channel, the intensity position that each value's width cannot use.
struct Scalefactors {
  int32_t value[39] = {};
  int32_t illegalPosition[39] = {};
};

// The per-rate band tables the stages need.
struct BandTables {
  int16_t longBounds[23];   // 0 … 576
  int16_t shortBounds[14];  // × 3, 0 … 576
};
const BandTables& bandTablesFor(int rateRow);

// Reorder maps for one rate: 0 identity, 1 short blocks, 2 mixed blocks.
struct ReorderMaps {
  uint16_t map[3][576];
};
void buildReorderMaps(int rateRow, ReorderMaps* maps);

// Reads the side information of a frame from its side-information bytes.
void readSideInfo(const FrameHeader& h, const uint8_t* bytes, int size, SideInfo* si);

// Reads one granule-channel's scalefactors; `sf` keeps granule 0's values, which
// is how the scfsi flags reuse them.
void readScalefactors(const FrameHeader& h, const GranuleInfo& gi, BitReader& br, Scalefactors* sf);

// Decodes the spectral values of one granule-channel into xr (± |v|^(4/3)) in the
// block's order, reading up to bit `endBit`. Lines past the decoded ones are 0.
// Returns the count of lines decoded (576 when the count1 region ran to the top,
// in which case any bits left before endBit are stuffing).
int huffmanDecode(const GranuleInfo& gi, const BandTables& bands, const ReorderMaps& maps, BitReader& br,
                   uint32_t endBit, float xr[576]);

// The codes of pair table n (0 … 31, count = xlen²) or, for n = 32 and 33, of
// quadruple tables A and B (count 16); null when there are none.
const HuffmanCode* huffmanCodes(int n, int* count);

// Scales xr by the global gain, scalefactors, pretab and subblock gains; lines
// from `nonzeroLines` on are 0 and stay so.
void requantise(const FrameHeader& h, const GranuleInfo& gi, const Scalefactors& sf, const BandTables& bands,
                float xr[576], int nonzeroLines = 576);

// Stereo, alias reduction and the hybrid filterbank (mp3_hybrid.cpp).
void stereoProcess(const FrameHeader& h, const GranuleInfo& right, const Scalefactors& rightSf,
                   const BandTables& bands, float xr[2][576]);
// Only boundaries whose lower side reaches below `nonzeroLines` change anything.
void aliasReduce(const GranuleInfo& gi, const BandTables& bands, float xr[576], int nonzeroLines = 576);
// Writes 18 time slots × 32 subbands for channel `ch` at out[t][ch][sb].
// `overlap` holds each subband's second half of the last block, time-major.
void hybridSynthesis(const GranuleInfo& gi, const BandTables& bands, const float xr[576], float overlap[18][32],
                     float out[18][2][32], int ch);

// The polyphase synthesis state of one stream (mp3_synthesis.cpp).
// The last 16 matrixed vectors of each channel: written downwards from the end of
// a buffer seven times longer than the window needs, and copied back up only when
// the buffer's start is reached.
constexpr int kSynthesisHistory = 8192;
struct SynthesisState {
  float history[2][kSynthesisHistory];
  int32_t offset;
};
void resetSynthesis(SynthesisState* s);
// The matrixing step: V[i] = Σ_k cos((16 + i)(2k + 1) π / 64) × 2^19 × S[k] for
// i = 0 … 63, computed through a 32-point DCT.
void synthesisMatrix(const float S[32], float V[64]);
// Turns 18 time slots into 576 frames of interleaved work samples.
void synthesiseGranule(SynthesisState* s, const float in[18][2][32], int channels, int32_t* out);
// The same with another 512-entry window, so that the history bookkeeping can be
// checked on its own.
void synthesiseGranuleWithWindow(SynthesisState* s, const float in[18][2][32], int channels, int32_t* out,
                                 const float* window);

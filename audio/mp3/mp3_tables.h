// The MPEG audio standard's Layer III tables, generated into mp3_tables.cpp by
// tools/make_mp3_tables.py.
#pragma once
#include <cstdint>

struct HuffmanCode {
  uint8_t hlen;   // code length in bits
  uint32_t hcod;  // the code, first bit sent as the highest of the hlen bits
};

// Big-value pair tables 0 … 31: codes for the (x, y) pairs in x-major order
// (xlen × xlen of them; null for tables 0, 4 and 14, which have none) and the
// number of linbits.
struct Mp3PairTable {
  const HuffmanCode* codes;
  int xlen;
  int linbits;
};
extern const Mp3PairTable kMp3PairTables[32];
// Count1 quadruple tables A and B, codes for the value vwxy = 0 … 15.
extern const HuffmanCode kMp3QuadTableA[16];
extern const HuffmanCode kMp3QuadTableB[16];
// The synthesis window D[0 … 511].
extern const float kMp3SynthesisWindow[512];

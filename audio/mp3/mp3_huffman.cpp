// Huffman decoding of the spectral values: big-value pairs over tables 0-31 (with
// linbits for 16-31) and count1 quadruples over tables A and B.
//
// The code tables are the standard's (mp3_tables.cpp), (hlen, hcod) for each value
// in x-major order, turned into lookup tables once, at start-up.
#include <cmath>
#include <vector>

#include "audio/mp3/mp3_layer3.h"
#include "audio/mp3/mp3_tables.h"

namespace {

using Code = HuffmanCode;

// A two-level lookup table built from the code rows: the first level is indexed
// by the next kFirstBits bits; codes longer than that continue in a second-level
// table indexed by the bits that follow. An entry is a leaf (value | length << 16)
// or, with kLink set, a link (offset | width << 24, the offset below 2^24). Unused
// codes (only in damaged streams) decode as 0 and consume the first level's bits.
constexpr int kFirstBits = 8;
constexpr uint32_t kLink = 0x80000000u;
constexpr uint32_t kOffsetMask = 0xFFFFFF;

struct Lookup {
  std::vector<uint32_t> entry;
  bool empty() const { return entry.empty(); }
};

Lookup buildLookup(const Code* codes, int count) {
  Lookup t;
  if (!codes) return t;
  t.entry.assign(1u << kFirstBits, uint32_t(kFirstBits) << 16);
  int longest[1 << kFirstBits] = {};
  for (int v = 0; v < count; ++v) {
    int len = codes[v].hlen;
    uint32_t code = codes[v].hcod;
    if (len <= kFirstBits) {
      uint32_t first = code << (kFirstBits - len);
      for (uint32_t i = 0; i < (1u << (kFirstBits - len)); ++i) t.entry[first + i] = uint32_t(v) | uint32_t(len) << 16;
    } else {
      uint32_t prefix = code >> (len - kFirstBits);
      if (len > longest[prefix]) longest[prefix] = len;
    }
  }
  for (uint32_t prefix = 0; prefix < (1u << kFirstBits); ++prefix) {
    if (!longest[prefix]) continue;
    int width = longest[prefix] - kFirstBits;
    uint32_t offset = uint32_t(t.entry.size());
    t.entry[prefix] = kLink | offset | uint32_t(width) << 24;
    t.entry.resize(offset + (1u << width), uint32_t(width) << 16);
  }
  for (int v = 0; v < count; ++v) {
    int len = codes[v].hlen;
    if (len <= kFirstBits) continue;
    uint32_t code = codes[v].hcod;
    uint32_t link = t.entry[code >> (len - kFirstBits)];
    int width = int(link >> 24 & 0x7F);
    int rest = len - kFirstBits;
    uint32_t first = (link & kOffsetMask) + ((code & ((1u << rest) - 1)) << (width - rest));
    for (uint32_t i = 0; i < (1u << (width - rest)); ++i) t.entry[first + i] = uint32_t(v) | uint32_t(rest) << 16;
  }
  return t;
}

struct Tables {
  Lookup pair[32];
  Lookup quadA;
  float pow43[8207];
  Tables() {
    for (int i = 0; i < 32; ++i)
      if (kMp3PairTables[i].codes)
        pair[i] = buildLookup(kMp3PairTables[i].codes, kMp3PairTables[i].xlen * kMp3PairTables[i].xlen);
    quadA = buildLookup(kMp3QuadTableA, 16);
    pow43[0] = 0;
    for (int k = 1; k < 8207; ++k) pow43[k] = float(std::pow(double(k), 4.0 / 3.0));
  }
};

const Tables kTables;

// The bits of one granule's Huffman data, read through a 64-bit cache that is
// refilled a byte at a time; bytes past the reader's end read as 0, as with
// BitReader, whose position is handed back at the end.
class CachedBits {
 public:
  explicit CachedBits(const BitReader& br) : br_(br), next_(br.position >> 3) {
    refill();
    skip(int(br.position & 7));
  }
  // At least 57 bits are cached afterwards.
  void refill() {
    while (count_ <= 56) {
      cache_ |= uint64_t(br_.byteAt(next_++)) << (56 - count_);
      count_ += 8;
    }
  }
  uint32_t peek(int width) const { return uint32_t(cache_ >> (64 - width)); }
  void skip(int width) {
    cache_ <<= width;
    count_ -= width;
  }
  uint32_t get(int width) {
    if (width == 0) return 0;
    uint32_t v = peek(width);
    skip(width);
    return v;
  }
  uint32_t position() const { return next_ * 8 - uint32_t(count_); }

 private:
  const BitReader& br_;
  uint32_t next_;
  uint64_t cache_ = 0;
  int count_ = 0;
};

// One value of a lookup table; at most 19 bits, so one refill covers it.
int decodeLookup(const Lookup& t, CachedBits& bits) {
  uint32_t e = t.entry[bits.peek(kFirstBits)];
  if (e & kLink) {
    bits.skip(kFirstBits);
    int width = int(e >> 24 & 0x7F);
    e = t.entry[(e & kOffsetMask) + bits.peek(width)];
  }
  bits.skip(int(e >> 16));
  return int(e & 0xFFFF);
}

// A big value with its linbits and sign: at most 13 + 1 bits after its code.
float bigValue(int v, int linbits, const float* pow43, CachedBits& bits) {
  if (v == 15 && linbits) v += int(bits.get(linbits));
  if (!v) return 0.0f;
  return bits.get(1) ? -pow43[v] : pow43[v];
}

}  // namespace

const HuffmanCode* huffmanCodes(int n, int* count) {
  if (n == 32 || n == 33) {
    *count = 16;
    return n == 32 ? kMp3QuadTableA : kMp3QuadTableB;
  }
  if (n < 0 || n > 31 || !kMp3PairTables[n].codes) {
    *count = 0;
    return nullptr;
  }
  *count = kMp3PairTables[n].xlen * kMp3PairTables[n].xlen;
  return kMp3PairTables[n].codes;
}

int huffmanDecode(const GranuleInfo& gi, const BandTables& bands, const ReorderMaps& maps, BitReader& br,
                   uint32_t endBit, float xr[576]) {
  const Tables& tr = kTables;
  const uint16_t* map = maps.map[gi.block_type != 2 ? 0 : gi.mixed_block_flag ? 2 : 1];
  for (int i = 0; i < 576; ++i) xr[i] = 0;

  int bigEnd = gi.big_values * 2 < 576 ? gi.big_values * 2 : 576;
  int region1, region2;
  if (gi.block_type == 2) {
    region1 = bands.shortBounds[3];
    region2 = 576;
  } else {
    int r1 = gi.region0_count + 1, r2 = gi.region0_count + gi.region1_count + 2;
    region1 = bands.longBounds[r1 < 22 ? r1 : 22];
    region2 = bands.longBounds[r2 < 22 ? r2 : 22];
  }
  CachedBits bits(br);
  int i = 0;
  for (; i < bigEnd; i += 2) {
    int region = i < region1 ? 0 : i < region2 ? 1 : 2;
    int tableIndex = gi.table_select[region];
    const Mp3PairTable& table = kMp3PairTables[tableIndex];
    const Lookup& tree = tr.pair[tableIndex];
    if (tree.empty()) continue;  // tables 0, 4 and 14: zeros, no bits
    // A pair takes at most 19 code bits and 2 × 14 more: one refill serves it.
    bits.refill();
    int leaf = decodeLookup(tree, bits);
    int x = leaf / table.xlen, y = leaf % table.xlen;
    const float vx = bigValue(x, table.linbits, tr.pow43, bits);
    const float vy = bigValue(y, table.linbits, tr.pow43, bits);
    xr[map[i]] = vx;
    xr[map[i + 1]] = vy;
  }

  int count1Start = i;
  while (bits.position() < endBit && i < 573) {
    bits.refill();
    int v = gi.count1table_select ? 15 - int(bits.get(4)) : decodeLookup(tr.quadA, bits);
    for (int k = 0; k < 4; ++k) {
      int bit = (v >> (3 - k)) & 1;
      xr[map[i + k]] = bit ? (bits.get(1) ? -1.0f : 1.0f) : 0.0f;
    }
    i += 4;
  }
  br.position = bits.position();
  if (br.position > endBit && i - count1Start >= 4 && i > 4) {
    i -= 4;
    for (int k = 0; k < 4; ++k) xr[map[i + k]] = 0;
  }
  return i;
}

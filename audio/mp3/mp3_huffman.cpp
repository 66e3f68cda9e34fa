// Huffman decoding of the spectral values: big-value pairs over tables 0-31 (with
// linbits for 16-31) and count1 quadruples over tables A and B.
//
// The code tables are the standard's (mp3_tables.cpp), (hlen, hcod) for each value
// in x-major order, turned into lookup tables once, at start-up.
#include <cmath>
#include <cstring>
#include <vector>

#include "audio/mp3/mp3_layer3.h"
#include "audio/mp3/mp3_tables.h"

namespace {

using Code = HuffmanCode;

// A two-level lookup table built from the code rows: the first level is indexed
// by the next kFirstBits bits; codes longer than that continue in a second-level
// table indexed by the bits that follow. An entry is a leaf (the pair's x << 4 | y,
// or a quadruple's value, | code length << 8) or, with kLink set, a link (offset
// | width << 16). Unused codes (only in damaged streams) decode as 0 and consume
// the first level's bits.
constexpr int kFirstBits = 8;
constexpr uint32_t kLink = 0x80000000u;
constexpr uint32_t kOffsetMask = 0xFFFF;

struct Lookup {
  std::vector<uint32_t> entry;
  bool empty() const { return entry.empty(); }
};

Lookup buildLookup(const Code* codes, int count, int xlen) {
  Lookup t;
  if (!codes) return t;
  auto leaf = [&](int v, int len) { return uint32_t(v / xlen) << 4 | uint32_t(v % xlen) | uint32_t(len) << 8; };
  t.entry.assign(1u << kFirstBits, uint32_t(kFirstBits) << 8);
  int longest[1 << kFirstBits] = {};
  for (int v = 0; v < count; ++v) {
    int len = codes[v].hlen;
    uint32_t code = codes[v].hcod;
    if (len <= kFirstBits) {
      uint32_t first = code << (kFirstBits - len);
      for (uint32_t i = 0; i < (1u << (kFirstBits - len)); ++i) t.entry[first + i] = leaf(v, len);
    } else {
      uint32_t prefix = code >> (len - kFirstBits);
      if (len > longest[prefix]) longest[prefix] = len;
    }
  }
  for (uint32_t prefix = 0; prefix < (1u << kFirstBits); ++prefix) {
    if (!longest[prefix]) continue;
    int width = longest[prefix] - kFirstBits;
    uint32_t offset = uint32_t(t.entry.size());
    t.entry[prefix] = kLink | offset | uint32_t(width) << 16;
    t.entry.resize(offset + (1u << width), uint32_t(width) << 8);
  }
  for (int v = 0; v < count; ++v) {
    int len = codes[v].hlen;
    if (len <= kFirstBits) continue;
    uint32_t code = codes[v].hcod;
    uint32_t link = t.entry[code >> (len - kFirstBits)];
    int width = int(link >> 16 & 0x7F);
    int rest = len - kFirstBits;
    uint32_t first = (link & kOffsetMask) + ((code & ((1u << rest) - 1)) << (width - rest));
    for (uint32_t i = 0; i < (1u << (width - rest)); ++i) t.entry[first + i] = leaf(v, rest);
  }
  return t;
}

struct Tables {
  Lookup pair[32];
  Lookup quadA;
  // |v|^(4/3) as the bits of a float, so that a sign bit can be or-ed in.
  uint32_t pow43[8207];
  Tables() {
    for (int i = 0; i < 32; ++i)
      if (kMp3PairTables[i].codes)
        pair[i] = buildLookup(kMp3PairTables[i].codes, kMp3PairTables[i].xlen * kMp3PairTables[i].xlen,
                              kMp3PairTables[i].xlen);
    quadA = buildLookup(kMp3QuadTableA, 16, 16);
    for (int k = 0; k < 8207; ++k) {
      float v = float(std::pow(double(k), 4.0 / 3.0));
      std::memcpy(&pow43[k], &v, 4);
    }
  }
};

const Tables kTables;

// The bits of one granule's Huffman data, read through a 64-bit cache, most
// significant bit first: eight bytes at a time where eight remain, else a byte at
// a time; bytes past the reader's end read as 0, as with BitReader, whose position
// is handed back at the end.
class CachedBits {
 public:
  explicit CachedBits(const BitReader& br) : data_(br.data), size_(br.byteCount), next_(br.position >> 3) {
    refill();
    skip(int(br.position & 7));
  }
  // At least 56 bits are cached afterwards.
  LIRVA_INLINE void refill() {
    if (next_ + 8 <= size_) {
      uint64_t word;
      std::memcpy(&word, data_ + next_, 8);
      cache_ |= __builtin_bswap64(word) >> count_;
      next_ += uint32_t(63 - count_) >> 3;
      count_ |= 56;
      return;
    }
    while (count_ < 56) {
      cache_ |= uint64_t(next_ < size_ ? data_[next_] : 0) << (56 - count_);
      ++next_;
      count_ += 8;
    }
  }
  uint32_t peek(int width) const { return uint32_t(cache_ >> (64 - width)); }
  // The next bit as a sign bit of a float (bit 31).
  uint32_t peekSign() const { return uint32_t(cache_ >> 32) & 0x80000000u; }
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
  const uint8_t* data_;
  uint32_t size_;
  uint32_t next_;
  uint64_t cache_ = 0;
  int count_ = 0;
};

// One entry of a lookup table, its code consumed; at most 19 bits, so one refill
// covers it.
LIRVA_INLINE uint32_t decodeLookup(const uint32_t* entry, CachedBits& bits) {
  uint32_t e = entry[bits.peek(kFirstBits)];
  if (e & kLink) {
    bits.skip(kFirstBits);
    e = entry[(e & kOffsetMask) + bits.peek(int(e >> 16 & 0x7F))];
  }
  bits.skip(int(e >> 8 & 0xFF));
  return e;
}

// A value's magnitude with its sign bit, which follows only a value that is not 0.
LIRVA_INLINE float signedValue(uint32_t v, const uint32_t* pow43, CachedBits& bits) {
  const uint32_t nonzero = v != 0;
  const uint32_t sign = bits.peekSign() & (0u - nonzero);
  bits.skip(int(nonzero));
  const uint32_t word = pow43[v] | sign;
  float f;
  std::memcpy(&f, &word, 4);
  return f;
}

// Big-value pairs from line i up to end with one table, written through `map`
// (null: in order). A pair takes at most 19 code bits and 2 × 14 more, so one
// refill serves a pair with linbits and two without.
template <bool Linbits>
int decodePairs(const uint32_t* entry, int linbits, const uint16_t* map, int i, int end, CachedBits& bits,
                float* xr) {
  const uint32_t* pow43 = kTables.pow43;
  for (; i < end; i += 2) {
    bits.refill();
    uint32_t e = decodeLookup(entry, bits);
    uint32_t x = e >> 4 & 15, y = e & 15;
    if (Linbits) {
      if (x == 15) x += bits.get(linbits);
      float vx = signedValue(x, pow43, bits);
      if (y == 15) y += bits.get(linbits);
      float vy = signedValue(y, pow43, bits);
      xr[map ? map[i] : i] = vx;
      xr[map ? map[i + 1] : i + 1] = vy;
    } else {
      xr[map ? map[i] : i] = signedValue(x, pow43, bits);
      xr[map ? map[i + 1] : i + 1] = signedValue(y, pow43, bits);
    }
  }
  return i;
}

// Count1 quadruples from line i while bits remain before endBit (and four lines
// fit), with table B (a plain four bits) or A. A value of 1 is followed by its sign.
template <bool Mapped>
int decodeQuads(bool tableB, const uint16_t* map, int i, uint32_t endBit, CachedBits& bits, float* xr) {
  const uint32_t* quadA = kTables.quadA.entry.data();
  constexpr uint32_t kOne = 0x3F800000u;  // 1.0f
  while (bits.position() < endBit && i < 573) {
    bits.refill();
    const uint32_t v = tableB ? 15 - bits.get(4) : decodeLookup(quadA, bits) & 15;
    for (int k = 0; k < 4; ++k) {
      const uint32_t nonzero = 0u - ((v >> (3 - k)) & 1);
      const uint32_t word = (kOne & nonzero) | (bits.peekSign() & nonzero);
      bits.skip(int(nonzero & 1));
      float f;
      std::memcpy(&f, &word, 4);
      xr[Mapped ? map[i + k] : i + k] = f;
    }
    i += 4;
  }
  return i;
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
  // Long blocks keep their order: the identity map is left out.
  const uint16_t* map = gi.block_type != 2 ? nullptr : maps.map[gi.mixed_block_flag ? 2 : 1];
  if (map)
    for (int i = 0; i < 576; ++i) xr[i] = 0;

  int bigEnd = gi.big_values * 2 < 576 ? gi.big_values * 2 : 576;
  int regionEnd[3];
  if (gi.block_type == 2) {
    regionEnd[0] = bands.shortBounds[3];
    regionEnd[1] = 576;
  } else {
    int r1 = gi.region0_count + 1, r2 = gi.region0_count + gi.region1_count + 2;
    regionEnd[0] = bands.longBounds[r1 < 22 ? r1 : 22];
    regionEnd[1] = bands.longBounds[r2 < 22 ? r2 : 22];
  }
  regionEnd[2] = 576;
  CachedBits bits(br);
  int i = 0;
  for (int region = 0; region < 3 && i < bigEnd; ++region) {
    int end = regionEnd[region] < bigEnd ? regionEnd[region] : bigEnd;
    if (end <= i) continue;
    // Regions hold whole pairs; a bound at an odd line (damaged side information)
    // moves to the next even one.
    end = (end + 1) & ~1;
    const int tableIndex = gi.table_select[region];
    const Lookup& table = tr.pair[tableIndex];
    if (table.empty()) {  // tables 0, 4 and 14: zeros, no bits
      if (!map)
        for (; i < end; ++i) xr[i] = 0;
      i = end;
      continue;
    }
    const int linbits = kMp3PairTables[tableIndex].linbits;
    i = linbits ? decodePairs<true>(table.entry.data(), linbits, map, i, end, bits, xr)
                : decodePairs<false>(table.entry.data(), 0, map, i, end, bits, xr);
  }

  int count1Start = i;
  i = map ? decodeQuads<true>(gi.count1table_select, map, i, endBit, bits, xr)
          : decodeQuads<false>(gi.count1table_select, nullptr, i, endBit, bits, xr);
  br.position = bits.position();
  if (br.position > endBit && i - count1Start >= 4 && i > 4) {
    i -= 4;
    for (int k = 0; k < 4; ++k) xr[map ? map[i + k] : i + k] = 0;
  }
  if (!map)
    for (int k = i; k < 576; ++k) xr[k] = 0;
  return i;
}

// A bit reader over a byte array that never reads beyond the bytes it was given:
// bits past the end read as 0, so damaged lengths in a stream cannot take the
// decoder outside its buffers.
#pragma once
#include <cstdint>

struct BitReader {
  const uint8_t* data = nullptr;
  uint32_t byteCount = 0;
  uint32_t position = 0;  // in bits

  BitReader() = default;
  BitReader(const uint8_t* d, uint32_t n, uint32_t bit = 0) : data(d), byteCount(n), position(bit) {}

  uint32_t byteAt(uint32_t i) const { return i < byteCount ? data[i] : 0; }

  // 0 … 16 bits, most significant first; a width of 0 reads nothing.
  uint32_t getBits(int width) {
    if (width <= 0) return 0;
    uint32_t byte = position >> 3;
    uint32_t window = byteAt(byte) << 16 | byteAt(byte + 1) << 8 | byteAt(byte + 2);
    window = (window << (position & 7)) & 0xFFFFFF;
    position += uint32_t(width);
    return window >> (24 - width);
  }
  // The next `width` (1 … 16) bits without moving on.
  uint32_t peekBits(int width) const {
    uint32_t byte = position >> 3;
    uint32_t window = byteAt(byte) << 16 | byteAt(byte + 1) << 8 | byteAt(byte + 2);
    window = (window << (position & 7)) & 0xFFFFFF;
    return window >> (24 - width);
  }
  void skipBits(int width) { position += uint32_t(width); }
  uint32_t getBit() {
    uint32_t bit = (byteAt(position >> 3) >> (7 - (position & 7))) & 1;
    ++position;
    return bit;
  }
};

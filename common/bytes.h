// Reading and writing fixed-width numbers and zero-ended texts in byte buffers.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>

inline uint32_t ReadBE32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
inline uint32_t ReadLE32(const uint8_t* p) {
  return (uint32_t(p[3]) << 24) | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
}
inline uint16_t ReadLE16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
// Four bytes of seven bits each, most significant first.
inline uint32_t ReadSynchsafe32(const uint8_t* p) {
  return (uint32_t(p[0] & 0x7F) << 21) | (uint32_t(p[1] & 0x7F) << 14) |
         (uint32_t(p[2] & 0x7F) << 7) | (p[3] & 0x7F);
}
inline void WriteBE32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24); p[1] = uint8_t(v >> 16); p[2] = uint8_t(v >> 8); p[3] = uint8_t(v);
}
inline void WriteLE32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); p[3] = uint8_t(v >> 24);
}
inline void WriteLE16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void WriteSynchsafe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t((v >> 21) & 0x7F); p[1] = uint8_t((v >> 14) & 0x7F);
  p[2] = uint8_t((v >> 7) & 0x7F); p[3] = uint8_t(v & 0x7F);
}

// The text stored in `size` bytes: up to its first zero byte, or all of them.
inline std::string TextUpToZero(const uint8_t* data, size_t size) {
  const void* zero = std::memchr(data, 0, size);
  const size_t n = zero ? size_t(static_cast<const uint8_t*>(zero) - data) : size;
  return std::string(reinterpret_cast<const char*>(data), n);
}

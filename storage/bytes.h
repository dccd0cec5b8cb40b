// Little-endian numbers inside byte buffers, as the tsq file stores them.
#pragma once

#include <cstdint>
#include <cstring>

inline std::uint16_t loadU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t loadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline double loadDouble(const std::uint8_t* p) {
  std::uint64_t bits = static_cast<std::uint64_t>(loadU32(p)) | (static_cast<std::uint64_t>(loadU32(p + 4)) << 32);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

inline void storeU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void storeU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void storeDouble(std::uint8_t* p, double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  storeU32(p, static_cast<std::uint32_t>(bits));
  storeU32(p + 4, static_cast<std::uint32_t>(bits >> 32));
}

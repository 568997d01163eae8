// Table-driven with slicing: sixteen tables, table k giving the register
// after a byte followed by k zero bytes, fold sixteen bytes per step.
#include "image/crc16.h"

#include <array>

namespace vornik {

namespace {

constexpr uint16_t kPolynomial = 0x1021;
constexpr size_t kSlices = 16;
using CrcTables = std::array<std::array<uint16_t, 256>, kSlices>;

constexpr CrcTables MakeTables() {
  CrcTables t{};
  for (int b = 0; b < 256; ++b) {
    auto crc = static_cast<uint16_t>(b << 8);
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ kPolynomial) : static_cast<uint16_t>(crc << 1);
    t[0][b] = crc;
  }
  for (size_t k = 1; k < kSlices; ++k)
    for (int b = 0; b < 256; ++b) {
      const uint16_t prev = t[k - 1][b];
      t[k][b] = static_cast<uint16_t>((prev << 8) ^ t[0][prev >> 8]);
    }
  return t;
}

constexpr CrcTables kTables = MakeTables();

inline uint16_t Feed(uint16_t crc, uint8_t b) {
  return static_cast<uint16_t>((crc << 8) ^ kTables[0][(crc >> 8) ^ b]);
}

// `count` bytes from p, every `Step`th: the register meets the first two
// bytes of each block of sixteen, each byte then goes through its table.
template <size_t Step>
uint16_t Slice(uint16_t crc, const uint8_t* p, size_t count) {
  for (; count >= kSlices; count -= kSlices, p += kSlices * Step) {
    uint16_t r = kTables[15][p[0] ^ (crc >> 8)] ^ kTables[14][p[Step] ^ (crc & 0xFF)];
    for (size_t i = 2; i < kSlices; ++i) r ^= kTables[kSlices - 1 - i][p[i * Step]];
    crc = r;
  }
  for (size_t i = 0; i < count; ++i) crc = Feed(crc, p[i * Step]);
  return crc;
}

}  // namespace

uint16_t Crc16(uint16_t crc, std::span<const uint8_t> bytes) { return Slice<1>(crc, bytes.data(), bytes.size()); }

uint16_t Crc16Strided(uint16_t crc, std::span<const uint8_t> bytes, size_t step) {
  if (bytes.empty()) return crc;
  if (step <= 1) return Crc16(crc, bytes);
  const size_t count = (bytes.size() - 1) / step + 1;
  if (step == 2) return Slice<2>(crc, bytes.data(), count);
  for (size_t i = 0; i < count; ++i) crc = Feed(crc, bytes[i * step]);
  return crc;
}

}  // namespace vornik

// CRC-16/CCITT as the floppy controllers compute it: polynomial 0x1021, bits
// shifted in most significant first, no reflection, no final XOR. The two
// CRC bytes follow their field on the disk, high byte first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vornik {

constexpr uint16_t kCrcPresetFm = 0xFFFF;   // single density: the field starts the CRC
constexpr uint16_t kCrcPresetMfm = 0xCDB4;  // double density: the register after A1 A1 A1

// The register after `bytes` have been shifted in, starting from `crc`.
uint16_t Crc16(uint16_t crc, std::span<const uint8_t> bytes);

// The same over bytes[0], bytes[step], bytes[2 * step], ... up to the end of
// `bytes`: single density stored with every byte twice is checked with
// step 2 over a span that starts at a field's first copy.
uint16_t Crc16Strided(uint16_t crc, std::span<const uint8_t> bytes, size_t step);

}  // namespace vornik

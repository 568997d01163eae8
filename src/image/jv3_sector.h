// What a JV3 header entry makes of its sector: the rule the sector source
// applies whether it walks the table itself or takes the entries the
// directory scan grouped for the locator. Inline: both ask once an entry.
#pragma once

#include <array>
#include <cstdint>

#include "image/dmk_check.h"
#include "image/layout.h"
#include "image/sector_source.h"

namespace vornik {

constexpr uint8_t kJv3FlagMarkBits = 0x60;  // FM: 00 FB, 20 FA, 40 F9, 60 F8; MFM: 00 FB, 20 F8

// The data mark a flags byte stands for, by its mark bits and, above them,
// its density bit.
constexpr uint8_t kJv3Marks[8] = {kDataMarkNormal, kDataMarkDir,    kDataMarkF9,     kDataMarkDirAlt,
                                  kDataMarkNormal, kDataMarkDirAlt, kDataMarkNormal, kDataMarkDirAlt};
static_assert(kJv3FlagMarkBits >> 5 == 3 && kJv3FlagDouble >> 5 == 4);

// For each flags byte, what it decides of a sector in use: side, size code,
// data mark, directory mark and the CRC-error verdict.
inline constexpr std::array<StoredSector, 256> kJv3SectorByFlags = [] {
  std::array<StoredSector, 256> table{};
  for (int flags = 0; flags < 256; ++flags) {
    StoredSector& s = table[static_cast<size_t>(flags)];
    s.side = (flags & kJv3FlagSide1) ? 1 : 0;
    s.id_side = s.side;
    s.size_code = static_cast<uint8_t>((flags & kJv3FlagSizeMask) ^ 1);
    s.mark = kJv3Marks[(flags & (kJv3FlagMarkBits | kJv3FlagDouble)) >> 5];
    s.dir_mark = (flags & kJv3FlagDirMark) != 0;
    s.verdict = (flags & kJv3FlagCrcError) ? SectorVerdict::kFlagged : SectorVerdict::kIntact;
  }
  return table;
}();

// Bytes of the data block an entry holds: its size bits XOR 1 are the size
// code of one in use, XOR 2 that of a free one.
inline int Jv3UsedBlockBytes(uint8_t flags) { return 128 << ((flags & kJv3FlagSizeMask) ^ 1); }
inline int Jv3FreeBlockBytes(uint8_t flags) { return 128 << ((flags & kJv3FlagSizeMask) ^ 2); }

// Makes `s` the sector of an entry in use whose data block starts at
// `data`, in an image of `size` bytes; returns the block's length.
inline int PutJv3Sector(StoredSector& s, uint8_t track, uint8_t id, uint8_t flags, int64_t data, int64_t size) {
  s = kJv3SectorByFlags[flags];
  s.track = track;
  s.id_track = track;
  s.id = id;
  const int bytes = 128 << s.size_code;
  if (data < size) s.data = data;
  if (data + bytes > size) s.verdict = SectorVerdict::kTruncated;
  return bytes;
}

}  // namespace vornik

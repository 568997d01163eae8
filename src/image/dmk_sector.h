// What a DMK ID field makes of the data field behind it: the rule the
// sector source applies to every ID field and the directory scan to those
// whose gap it has searched already. Inline: both ask once a sector.
#pragma once

#include <cstdint>

#include "image/dmk_check.h"
#include "image/layout.h"
#include "image/sector_source.h"

namespace vornik {

constexpr int kDmkDataCrcBytes = 2;

// The last step past the ID mark the data mark may stand at.
constexpr int64_t DmkLastMarkStep(bool mfm) {
  return kDmkIdFieldEnd + (mfm ? kDmkDataMarkWindowMfm : kDmkDataMarkWindowFm) - 1;
}

// The data field of a sector whose ID field (at p, read every `step`
// bytes) is in `s`: the first data mark k steps past p, searched up to
// k_end (k past k_end: none), and whether the field with its CRC ends
// inside the record ending at `end`.
inline void SettleDmkData(const uint8_t* d, int64_t p, int step, int64_t k, int64_t k_end, int64_t end,
                          StoredSector& s) {
  if (k > k_end) {
    s.verdict = SectorVerdict::kNoDataMark;
    return;
  }
  s.mark = d[p + k * step];
  s.dir_mark = s.mark == kDataMarkDir || s.mark == kDataMarkDirAlt;
  s.data = p + (k + 1) * step;
  const int64_t field = 128 << (s.size_code & 3);
  if (p + (k + field + kDmkDataCrcBytes) * step >= end) s.verdict = SectorVerdict::kTruncated;
}

}  // namespace vornik

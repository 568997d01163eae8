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
inline int64_t DmkLastMarkStep(bool mfm) {
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

// The sector an ID field read a byte a step makes, its ID mark at `mark` in
// a record ending at `end` that holds the bytes up to kDmkMarkHorizon past
// the mark, when the first byte of the data-mark family (F8-FB) after the
// field lies `family` bytes past the mark (-1: none that near).
inline StoredSector DmkSectorFromMark(const uint8_t* d, int64_t mark, int64_t end, bool mfm, int family, int track,
                                      int side) {
  static_assert(kDmkMarkHorizon >= kDmkIdFieldEnd + kDmkDataMarkWindowMfm - 1 &&
                kDmkMarkHorizon >= kDmkIdFieldEnd + kDmkDataMarkWindowFm - 1);
  StoredSector s;
  s.track = static_cast<int16_t>(track);
  s.side = static_cast<uint8_t>(side);
  s.id_track = d[mark + 1];
  s.id_side = d[mark + 2];
  s.id = d[mark + 3];
  s.size_code = d[mark + 4];
  const int64_t k_end = DmkLastMarkStep(mfm);
  SettleDmkData(d, mark, 1, family < 0 ? k_end + 1 : family, k_end, end, s);
  return s;
}

}  // namespace vornik

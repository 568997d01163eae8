// The check of one DMK sector: the ID field's CRC, the data mark in the
// window the controller searches after it, and the data field's CRC. MFM
// CRCs start from the register the three A1 sync bytes leave (a constant:
// the stored sync bytes are not read), FM CRCs from FFFF at the mark.
#include "image/dmk_check.h"

#include "image/crc16.h"

namespace vornik {

namespace {

constexpr uint8_t kIdMark = 0xFE;
constexpr size_t kIdFieldBytes = 5;   // FE C H R N, then the CRC
constexpr size_t kCrcBytes = 2;
constexpr int kWindowStart = 7;       // byte times from the ID mark to the end of its CRC
constexpr int kSectorLengthBase = 128;
constexpr uint8_t kSizeCodeMask = 0x03;

bool IsDataMarkByte(uint8_t b) { return b >= 0xF8 && b <= 0xFB; }

uint8_t ByteAt(std::span<const uint8_t> r, size_t at) { return at < r.size() ? r[at] : 0; }

// Whether `count` bytes stored `step` apart from `first` all lie in the record.
bool Fits(std::span<const uint8_t> r, size_t first, size_t count, size_t step) {
  return first < r.size() && (count - 1) * step < r.size() - first;
}

// The CRC of `count` field bytes from `first` against the two stored after
// them, high byte first. The caller has checked that they fit.
bool CrcMatches(std::span<const uint8_t> r, size_t first, size_t count, size_t step, uint16_t preset) {
  const uint16_t crc = Crc16Strided(preset, r.subspan(first, (count - 1) * step + 1), step);
  const size_t at = first + count * step;
  return r[at] == (crc >> 8) && r[at + step] == (crc & 0xFF);
}

}  // namespace

const char* VerdictName(SectorVerdict verdict) {
  switch (verdict) {
    case SectorVerdict::kIntact: return "intact";
    case SectorVerdict::kIdCrcError: return "ID CRC error";
    case SectorVerdict::kDataCrcError: return "data CRC error";
    case SectorVerdict::kNoDataMark: return "no data mark";
    case SectorVerdict::kTruncated: return "truncated";
    case SectorVerdict::kFlagged: return "CRC error flag";
    case SectorVerdict::kUnchecked: return "unchecked";
  }
  return "unknown";
}

DmkSectorCheck CheckDmkSector(std::span<const uint8_t> record, uint16_t raw_pointer, bool doubling_possible) {
  DmkSectorCheck c;
  const size_t p = raw_pointer & kDmkIdPointerOffset;
  c.id_mark_at = static_cast<int32_t>(p);
  c.mfm = (raw_pointer & kDmkIdPointerMfm) != 0;
  if (!c.mfm && doubling_possible && ByteAt(record, p) == kIdMark && ByteAt(record, p + 1) == kIdMark) c.step = 2;
  const size_t s = c.step;
  c.track = ByteAt(record, p + s);
  c.side = ByteAt(record, p + 2 * s);
  c.sector = ByteAt(record, p + 3 * s);
  c.size_code = ByteAt(record, p + 4 * s);
  c.data_length = kSectorLengthBase << (c.size_code & kSizeCodeMask);
  if (!Fits(record, p, kIdFieldBytes + kCrcBytes, s)) return c;

  const uint16_t preset = c.mfm ? kCrcPresetMfm : kCrcPresetFm;
  const bool id_ok = CrcMatches(record, p, kIdFieldBytes, s, preset);
  const int window_end = kWindowStart + (c.mfm ? kDmkDataMarkWindowMfm : kDmkDataMarkWindowFm);
  bool window_cut = false;
  for (int k = kWindowStart; k < window_end; ++k) {
    const size_t at = p + k * s;
    if (at >= record.size()) {
      window_cut = true;
      break;
    }
    if (IsDataMarkByte(record[at])) {
      c.data_mark_at = static_cast<int32_t>(at);
      c.data_mark = record[at];
      c.data_at = static_cast<int32_t>(at + s);
      break;
    }
  }
  if (!id_ok) {
    c.verdict = SectorVerdict::kIdCrcError;
    return c;
  }
  if (c.data_mark_at < 0) {
    c.verdict = window_cut ? SectorVerdict::kTruncated : SectorVerdict::kNoDataMark;
    return c;
  }
  const size_t field = 1 + static_cast<size_t>(c.data_length);  // the mark and the data
  if (!Fits(record, c.data_mark_at, field + kCrcBytes, s)) return c;
  c.verdict = CrcMatches(record, c.data_mark_at, field, s, preset) ? SectorVerdict::kIntact
                                                                    : SectorVerdict::kDataCrcError;
  return c;
}

// Used entries keep the size code XOR 1 in their flags, free ones XOR 2; the
// flags of a free entry (FC | size) have the CRC-error bit set and mean nothing.
Jv3SectorCheck CheckJv3Entry(uint8_t track, uint8_t flags) {
  constexpr uint8_t kFreeTrack = 0xFF;
  Jv3SectorCheck c;
  c.used = track != kFreeTrack;
  const int code = (flags & kJv3FlagSizeMask) ^ (c.used ? 1 : 2);
  c.data_size = kSectorLengthBase << code;
  if (c.used && (flags & kJv3FlagCrcError)) c.verdict = SectorVerdict::kFlagged;
  return c;
}

}  // namespace vornik

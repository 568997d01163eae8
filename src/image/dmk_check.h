// Whether a stored sector reads back as it was written: the CRC check of one
// DMK ID mark and its data field, and the CRC-error flag of a JV3 header
// entry. Pure functions over bytes already in memory.
#pragma once

#include <cstdint>
#include <span>

namespace vornik {

enum class SectorVerdict : uint8_t {
  kIntact,        // ID and data CRCs verify
  kIdCrcError,    // the ID field fails its CRC: the sector cannot be found by it
  kDataCrcError,  // good ID, data field fails its CRC
  kNoDataMark,    // good ID, no data mark where the controller looks for one
  kTruncated,     // the ID or data field, or its CRC, runs past the end of the record
  kFlagged,       // JV3: the image says the sector did not read cleanly
  kUnchecked,     // JV1: the format keeps nothing to check
};

// Short lower-case words for messages and titles ("data CRC error", ...).
const char* VerdictName(SectorVerdict verdict);
// A verdict that makes the sector's bytes untrustworthy.
inline bool IsDamaged(SectorVerdict v) { return v != SectorVerdict::kIntact && v != SectorVerdict::kUnchecked; }

// DMK pointer table entries and the data-mark window.
constexpr uint16_t kDmkIdPointerOffset = 0x3FFF;  // bits 0-13: offset of the ID mark in the record
constexpr uint16_t kDmkIdPointerMfm = 0x8000;     // bit 15: double density
constexpr int kDmkIdPointerMax = 64;              // entries of a record's table; 0 ends it early
constexpr int kDmkPointerTableBytes = 128;
constexpr int kDmkDataMarkWindowMfm = 43;         // byte times after the ID CRC searched for the mark
constexpr int kDmkDataMarkWindowFm = 30;

struct DmkSectorCheck {
  // The ID field as recorded (bytes past the end of the record read as 0).
  uint8_t track = 0;
  uint8_t side = 0;
  uint8_t sector = 0;
  uint8_t size_code = 0;
  bool mfm = false;
  int step = 1;               // 2: single density stored with every byte twice
  int32_t id_mark_at = 0;     // offset in the record of the ID mark (FE)
  int32_t data_mark_at = -1;  // offset in the record of the data mark; -1: none found
  uint8_t data_mark = 0;      // F8..FB, or 0 with no mark
  int32_t data_at = -1;       // offset in the record of the first data byte; -1: no mark
  int32_t data_length = 0;    // bytes of data: 128 << (size_code & 3), each stored `step` times
  SectorVerdict verdict = SectorVerdict::kTruncated;
};

// Checks the sector whose ID mark `raw_pointer` (an entry of the record's
// pointer table, as stored) points to. `record` is one track record from its
// pointer table on, possibly cut short by the end of the file; no byte
// outside it is read. `doubling_possible`: header byte 4 has neither 0x40
// nor 0x80, so a single-density field that starts FE FE is read every other
// byte. The first problem found decides the verdict: ID, then data mark,
// then data.
DmkSectorCheck CheckDmkSector(std::span<const uint8_t> record, uint16_t raw_pointer, bool doubling_possible);

// One JV3 header entry (track, sector, flags).
constexpr uint8_t kJv3FlagCrcError = 0x08;
constexpr uint8_t kJv3FlagSizeMask = 0x03;

struct Jv3SectorCheck {
  bool used = false;      // track byte other than FF; a free entry has no verdict
  int data_size = 0;      // bytes of the entry's data block
  SectorVerdict verdict = SectorVerdict::kIntact;
};

Jv3SectorCheck CheckJv3Entry(uint8_t track, uint8_t flags);

}  // namespace vornik

// TRSDOS 1.3 (Model III): the directory on the track that boot byte 1
// names, 48-byte entries five to a sector, 13 extents of 3-sector granules.
#include <algorithm>
#include <cstring>

#include "dos/dos_layout.h"

namespace vornik::dos {
namespace {

constexpr uint8_t kBootMark = 0xFE;      // boot byte 0
constexpr int kFirstId = 1;              // sectors are numbered 1..18
constexpr int kSectorsPerTrack = 18;
constexpr int kGranuleSectors = 3;       // 6 granules a track
constexpr int kGranulesPerTrack = 6;
constexpr int kEntrySectors = 16;        // IDs 3..18, after GAT (1) and HIT (2)
constexpr int kEntryBytes = 48;
constexpr int kEntriesPerSector = 5;
constexpr int kExtentSlots = 13;
constexpr int kCopyrightAt = 240;        // each entry sector ends with the copyright line
constexpr char kCopyright[] = "(c) 1980 Tandy";

bool HasCopyright(const Directory& dir) {
  for (const Sector& s : dir.sectors) {
    if (std::memcmp(s.data() + kCopyrightAt, kCopyright, sizeof kCopyright - 1) == 0) return true;
  }
  return false;
}

// Month and year - 1900; no day.
std::string Date13(const uint8_t* e) {
  const int month = e[kEntryDate1];
  if (month < 1 || month > 12) return {};
  return IsoDate(1900 + e[kEntryDate2], month);
}

DosEntry ReadEntry(const SectorSource& source, const Directory& dir, int sector, int slot) {
  const uint8_t* e = dir.sectors[sector].data() + slot * kEntryBytes;
  DosEntry entry;
  DecodeCommon(e, entry);
  entry.in_use = (entry.attributes & kAttrInUse) != 0;
  // The hash index is linear: entry i of the directory has byte i.
  entry.hit_match = HitMatches(dir.hit[sector * kEntriesPerSector + slot], entry.name.data());
  entry.date = Date13(e);
  entry.dir_sector = dir.where[sector];
  entry.dir_index = sector;
  entry.slot = slot;
  for (int k = 0; k < kExtentSlots; ++k) {
    const uint8_t* x = e + kEntryExtents + 2 * k;
    if (x[0] == kExtentEnd) break;
    if (!AddExtents(source, dir, x[0], x[1], entry.sectors, entry.error)) break;
  }
  SizeEntry(entry, /*ern_full=*/true);
  return entry;
}

}  // namespace

bool ReadTrsdos13(const SectorSource& source, const Sector& boot, int boot_id, DosDisk& disk) {
  if (boot_id != kFirstId || boot[0] != kBootMark) return false;
  const int track = boot[kBootDirByte13] & kBootDirMask;
  if (ShapeOf(source, track, 0).first_id != kFirstId) return false;
  Directory dir;
  dir.numbering = {0, 1, kSectorsPerTrack, kFirstId};
  dir.allocation = {kSectorsPerTrack, kGranuleSectors, /*count_minus_one=*/false};
  dir.gat_rel = int64_t{track} * kSectorsPerTrack;
  if (!LoadDirectory(source, dir, kEntrySectors) || !HasCopyright(dir)) {
    disk.note = "boot sector of TRSDOS 1.3, but no directory on track " + std::to_string(track);
    return false;
  }
  disk.dos = "TRSDOS 1.3";
  disk.note = "directory on track " + std::to_string(track);
  disk.entry_bytes = kEntryBytes;
  disk.gat = Locate(dir.numbering, dir.gat_rel);
  disk.hit = Locate(dir.numbering, dir.gat_rel + 1);
  disk.entry_sectors = dir.where;
  for (int s = 0; s < kEntrySectors; ++s) {
    for (int slot = 0; slot < kEntriesPerSector; ++slot) {
      const uint8_t* e = dir.sectors[s].data() + slot * kEntryBytes;
      if (IsNamed(e) || IsShown(e)) disk.entries.push_back(ReadEntry(source, dir, s, slot));
    }
  }
  ReadGatFacts(dir.gat, disk);
  const int units = std::min(FormattedTracks(source, 1, kSectorsPerTrack), kGatUnits);
  SetSpace(dir.gat, units, kGranulesPerTrack, kGranuleSectors, disk);
  return true;
}

}  // namespace vornik::dos

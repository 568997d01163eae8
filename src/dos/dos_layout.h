// The pieces the DOS readers share: the on-disk layouts of the GAT and the
// directory entries, the numbering that turns a DOS's relative sectors into
// disk sectors, and the reading of a directory through a SectorSource.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dos/dos.h"

namespace vornik::dos {

constexpr int kSectorBytes = 256;
using Sector = std::array<uint8_t, kSectorBytes>;

// Boot sector: the lowest ID on track 0, side 0.
constexpr int kBootDirByte13 = 1;      // TRSDOS 1.3: directory track (bit 7 masked)
constexpr int kBootDirByte = 2;        // the 32-byte family: directory cylinder or lump
constexpr uint8_t kBootDirMask = 0x7F;

// GAT sector.
constexpr int kGatUnits = 0x60;        // one byte per track / cylinder, bit g = granule g used
constexpr int kGatLumps = 0xC0;        // Newdos/80 family: one byte per lump
constexpr int kGatLockout = 0x60;      // cylinder DOSes: one byte per existing cylinder, then FF
constexpr int kGatVersion = 0xCB;      // which DOS (and version) wrote the disk
constexpr int kGatFlags = 0xCD;        // LDOS / TRSDOS 6: bit 5 two-sided
constexpr uint8_t kGatTwoSided = 0x20;
constexpr int kGatName = 0xD0;         // 8 bytes
constexpr int kGatDate = 0xD8;         // 8 bytes, text
constexpr int kGatTextBytes = 8;
constexpr uint8_t kVersionNewdos = 0x82;

// Directory entries, 32 bytes (48 for TRSDOS 1.3): the fields both share.
constexpr int kEntryAttr = 0;
constexpr int kEntryDate1 = 1;         // month (and flags), or in an extension entry the primary's DEC
constexpr int kEntryDate2 = 2;
constexpr int kEntryEof = 3;           // offset of the end in the last sector
constexpr int kEntryLrl = 4;           // 0 = 256
constexpr int kEntryName = 5;          // 8 name bytes, 3 extension bytes, blank padded
constexpr int kNameBytes = 11;
constexpr int kEntryErn = 20;          // little-endian
constexpr int kEntryExtents = 22;      // (track / cylinder / lump, granule byte) pairs
constexpr uint8_t kAttrExtension = 0x80;  // 32-byte family: an extension entry (FXDE)
constexpr uint8_t kAttrSystem = 0x40;
constexpr uint8_t kAttrInUse = 0x10;
constexpr uint8_t kAttrInvisible = 0x08;
constexpr uint8_t kAttrProtection = 0x07;
constexpr uint8_t kExtentEnd = 0xFF;
constexpr uint8_t kExtentLink = 0xFE;  // 32-byte family: the next byte is an extension entry's DEC
constexpr int kGranuleShift = 5;       // granule byte: first granule in bits 7-5,
constexpr uint8_t kGranuleCount = 0x1F;  // the count in bits 4-0

constexpr int kMaxEntrySectors = 32;   // a DEC's 5-bit sector field

// Relative sector r of a DOS lies on track t0 + r / (sides * spt), side
// (r mod sides * spt) / spt, ID first_id + r mod spt.
struct Numbering {
  int t0 = 0;
  int sides = 1;
  int spt = 10;
  int first_id = 0;
};

// An extent (unit u, granule g, count c) covers c granules from relative
// sector u * unit_sectors + g * granule_sectors.
struct Allocation {
  int unit_sectors = 10;
  int granule_sectors = 5;
  bool count_minus_one = true;  // the 32-byte family stores the granule count minus 1
};

// A directory: GAT, HIT and entry sectors, read once.
struct Directory {
  Numbering numbering;
  Allocation allocation;
  int64_t gat_rel = 0;  // relative sector of the GAT; the HIT and the entries follow
  Sector gat{};
  Sector hit{};
  std::vector<DiskSector> where;  // the entry sectors
  std::vector<Sector> sectors;     // their bytes (zeros where a sector is not on the disk)
};

DiskSector Locate(const Numbering& n, int64_t r);
// Reads 256 data bytes; false when the sector is not on the disk or shorter.
bool ReadSector(const SectorSource& source, const DiskSector& at, Sector& out);
// The 256 bytes of the sector at `at`, in the image itself where it keeps
// them in a row, else read into `scratch`; nothing when ReadSector fails.
const uint8_t* SectorBytes(const SectorSource& source, const DiskSector& at, Sector& scratch);
// The same for a sector already found on its track side.
inline const uint8_t* StoredBytes(const SectorSource& source, const StoredSector& sector, Sector& scratch) {
  if (const uint8_t* bytes = source.View(sector, scratch.size())) return bytes;
  return source.Read(sector, scratch) == scratch.size() ? scratch.data() : nullptr;
}
// The lowest ID on a track side and how many distinct IDs it holds.
struct SideShape {
  int count = 0;
  int first_id = 0;
};
SideShape ShapeOf(const SectorSource& source, int track, int side);
// Reads GAT, HIT and `entry_sectors` (at most kMaxEntrySectors) entry
// sectors; false when the GAT or HIT is not on the disk.
bool LoadDirectory(const SectorSource& source, Directory& dir, int entry_sectors);

// Each name byte is XORed in, then the hash turns left by one bit; 0 is
// never stored, so it becomes 1. Turning distributes over XOR, so byte i
// ends up turned left 11 - i times (mod 8): each is turned once, in place.
inline uint8_t NameHash(const uint8_t* n) {
  const uint8_t h = std::rotl(static_cast<uint8_t>(n[0] ^ n[8]), 3) ^ std::rotl(static_cast<uint8_t>(n[1] ^ n[9]), 2) ^
                    std::rotl(static_cast<uint8_t>(n[2] ^ n[10]), 1) ^ n[3] ^ std::rotl(n[4], 7) ^ std::rotl(n[5], 6) ^
                    std::rotl(n[6], 5) ^ std::rotl(n[7], 4);
  static_assert(kNameBytes == 11);
  return h == 0 ? 1 : h;
}

// Whether a HIT byte is the hash of `name`; a 0 byte (a free slot) never is.
inline bool HitMatches(uint8_t hit, const uint8_t* name) { return hit != 0 && hit == NameHash(name); }
// YYYY-MM, or YYYY-MM-DD when `day` is given (years 1000 to 9999).
std::string IsoDate(int year, int month, int day = 0);
bool PlausibleName(const uint8_t* name);
bool NameIs(const uint8_t* name, const char* name_ext11);
// An entry that names a file, live or killed (a never-used slot names none).
inline bool IsNamed(const uint8_t* entry) { return entry[kEntryName] > 0x20 && entry[kEntryName] < 0x7F; }
// An entry a directory listing shows: its attribute byte is neither 0x00
// nor 0x90. Such an entry, or a named one, is read.
inline bool IsShown(const uint8_t* entry) { return entry[kEntryAttr] != 0x00 && entry[kEntryAttr] != 0x90; }
bool IsPrintable(const uint8_t* bytes, int count);

// The tracks the DOS formatted: one past the last track on which every used
// side holds at least `spt` sectors that record that track number.
int FormattedTracks(const SectorSource& source, int sides, int spt);
// Disk name, date, and free and total bytes from the GAT's allocation bytes.
void ReadGatFacts(const Sector& gat, DosDisk& disk);
void SetSpace(const Sector& gat, int units, int granules_per_unit, int granule_sectors, DosDisk& disk);

// How many sectors an extent's granule byte covers.
inline int64_t ExtentSectors(const Allocation& a, uint8_t granules) {
  return int64_t{(granules & kGranuleCount) + (a.count_minus_one ? 1 : 0)} * a.granule_sectors;
}
// Turns an entry's extents into sectors; false (and `error` set) when an
// extent lies past the disk.
bool AddExtents(const SectorSource& source, const Directory& dir, uint8_t unit, uint8_t granules,
                std::vector<DiskSector>& out, std::string& error);
// Fills the common fields of an entry (attributes, EOF, LRL, ERN, name).
void DecodeCommon(const uint8_t* e, DosEntry& entry);
// Size and whole-sector count from ERN and EOF, and the checks against the
// allocation. `ern_full`: ERN counts full sectors only (TRSDOS 1.3).
void SizeEntry(DosEntry& entry, bool ern_full);

// The two families. Each returns false, leaving `disk.note` set, when the
// disk is not of its kind.
bool ReadTrsdos13(const SectorSource& source, const Sector& boot, int boot_id, DosDisk& disk);
bool Read32ByteFamily(const SectorSource& source, const Sector& boot, DosDisk& disk);

}  // namespace vornik::dos

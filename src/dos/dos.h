// What the disk's own DOS says of it: which DOS wrote it, its directory,
// each entry's attributes, exact size and date, and the disk's name, date
// and free space. Sees the disk only through a SectorSource.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image/sector_source.h"

namespace vornik {

// A sector named the way the disk records it.
struct DiskSector {
  int16_t track = 0;
  uint8_t side = 0;
  uint8_t id = 0;
  bool operator==(const DiskSector&) const = default;
};

struct DosEntry {
  std::array<uint8_t, 11> name{};  // 8 name bytes and 3 extension bytes, as stored
  uint8_t attributes = 0;          // byte 0 as stored
  bool named = false;              // the name starts with a printable character
  bool extension = false;          // an extension entry (FXDE) of another entry
  bool in_use = false;             // the DOS counts it as a live file
  bool system = false;
  bool invisible = false;
  int protection = 0;              // 0..7 as stored
  int lrl = 256;                   // logical record length, 1..256
  uint8_t eof = 0;                 // offset of the end in the last sector
  uint16_t ern = 0;                // ending record number as stored
  bool hit_match = false;          // the hash index holds this name's hash
  std::optional<int64_t> size;     // the DOS's exact size; none when the extents cannot be read
  std::string date;                // "YYYY-MM-DD", "YYYY-MM" (TRSDOS 1.3), or empty

  DiskSector dir_sector;           // the directory sector that holds the entry
  int dir_index = 0;               // that sector's place among the entry sectors, from 0
  int slot = 0;                    // the entry's place in its sector
  std::vector<DiskSector> sectors;          // every allocated data sector, in file order
  int whole_sectors = 0;                    // sectors a whole-sector copy takes
  std::vector<DiskSector> extension_sectors;  // directory sectors of its extension entries

  std::string error;  // the entry contradicts the disk (extents, links, ERN past the allocation)
  std::string note;   // a doubtful but readable entry (ERN 0 with an EOF: taken as empty)
};

struct DosDisk {
  std::string dos;   // "LDOS 5.3", "Newdos/80", ...; empty when no DOS is recognised
  std::string note;  // why no DOS was recognised, or how the directory was found
  int entry_bytes = 0;  // 32, or 48 for TRSDOS 1.3
  std::string disk_name;  // GAT bytes as stored, trailing blanks dropped
  std::string disk_date;
  std::optional<int64_t> free_bytes;
  std::optional<int64_t> total_bytes;

  DiskSector gat;
  DiskSector hit;
  std::vector<DiskSector> entry_sectors;  // in directory order
  // Every entry that is named or whose attribute byte is neither 0x00 nor
  // 0x90 (those a directory listing shows), live or killed, in directory
  // order.
  std::vector<DosEntry> entries;
};

// What any directory entry's first bytes say, by the rules of the 32-byte
// family (in use: bit 4 set, bit 7 clear): for entries the DOS layer does
// not know, on a disk whose DOS it does not recognise.
void DecodeEntryBytes(const uint8_t* entry, DosEntry& out);

// Recognises the DOS of the disk and reads its directory. Never fails: a
// disk it cannot vouch for comes back with an empty `dos` and a note.
DosDisk ReadDos(const SectorSource& source);

// The entry's bytes: its whole sectors, or exactly the DOS's size. Returns
// nothing and says why in `error` when the entry or a sector it needs
// cannot be read.
std::vector<uint8_t> AssembleFile(const SectorSource& source, const DosEntry& entry, bool exact, std::string* error);

}  // namespace vornik

// Which sectors and which files of an image read back as they were written:
// the sector verdicts of a verified sector source counted, and a file judged
// by exactly the sectors its whole-sector copy read.
#pragma once

#include <vector>

#include "extract/copy_out_file.h"
#include "image/sector_source.h"

namespace vornik {

struct SectorCounts {
  int total = 0;
  int intact = 0;
  int damaged = 0;  // every sector with any problem, once
  int id_crc_errors = 0;
  int data_crc_errors = 0;
  int no_data_mark = 0;
  int flagged = 0;
  int truncated = 0;  // cut short by the end of the image
  int unchecked = 0;
};

SectorCounts CountSectors(const SectorSource& source);

enum class FileIntegrity { kIntact, kDamaged, kMissing, kUnchecked };
const char* IntegrityName(FileIntegrity integrity);  // "intact", "damaged", "missing", "unchecked"

struct BadSector {
  DiskSector at;
  SectorVerdict verdict;
};

struct FileVerdict {
  FileIntegrity integrity = FileIntegrity::kMissing;
  std::vector<BadSector> bad;  // each damaged sector the copy read, once
};

// "missing" when the copy failed; else "damaged" when a sector it read is
// damaged; else "unchecked" when the format keeps nothing to check; else
// "intact".
FileVerdict JudgeCopy(const SectorSource& source, bool copied, const SectorReads& reads);

struct EntryCheck {
  FileVerdict verdict;
  SectorReads reads;  // what its whole-sector copy read
};

// Copies every listed entry as the copy button would, whole sectors, and
// judges it; one check per entry of `listing`, in its order. What copies
// leave behind for the next one (the granule size, the copy buffer's
// count and names) is put back as it was.
std::vector<EntryCheck> CheckEntries(DiskState& st, const Listing& listing);

}  // namespace vornik

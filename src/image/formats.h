// The per-format pieces of the locator and of identification, kept apart
// so that each format's layout is read in one file.
#pragma once

#include <cstdint>

#include "state/disk_state.h"

namespace vornik {

// JV1: fixed geometry, sectors at track * 2560 + sector * 256.
void FindSectorJv1(DiskState& st);
void SetJv1Geometry(DiskState& st);

// JV3: header-table search, header check, geometry scan.
// False when the header table ends inside the image's header.
bool FindSectorJv3(DiskState& st);
// The same through the index ScanJv3Directory builds; false when there is
// none, else the search's result in `whole_table`.
bool LookUpJv3(DiskState& st, bool* whole_table);
bool Jv3HasHeader(const DiskState& st);
void SetJv3Geometry(DiskState& st);

// DMK: record search, plausible header, geometry.
void FindSectorDmk(DiskState& st);
// The same through the index ScanDmkDirectory builds; false when the index
// does not cover the wanted track and side.
bool LookUpDmk(DiskState& st);
bool IsPlausibleDmk(const DiskState& st);
void SetDmkDensityClass(DiskState& st);
bool IsDmkRealDisk(const DiskState& st);
void SetDmkGeometry(DiskState& st);

// One DMK ID field, as found through a record's pointer.
struct DmkId {
  int64_t mark = 0;  // offset in diskbuf of the ID address mark
  int step = 1;      // 2: single density stored with every byte twice
};
// Reads a record's pointer table (up to 31 entries, the first zero ends it)
// into `raw`; returns the number of non-zero entries. A read outside the
// image throws when `strict`, else ends the table.
int ReadDmkPointers(const DiskState& st, int64_t record, uint16_t raw[31], bool strict = true);
DmkId DmkIdAt(const DiskState& st, int64_t record, uint16_t raw_pointer);
// Forward search for the data mark after an ID field: the offset of the
// first FB/FA/F8 from the end of the ID field up to mark + distance + 2, or
// -1. A byte outside the image is no mark unless `strict`, when it throws.
int64_t FindDmkDataMark(const DiskState& st, const DmkId& id, bool strict);
int DmkMarkDistance(const DiskState& st, const DmkId& id);

}  // namespace vornik

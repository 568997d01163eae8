// The extent walk and file assembly: follows a directory entry's extents
// (and its one extension entry) and places the file's sectors in copybuf.
#pragma once

#include <cstdint>
#include <vector>

#include "directory/read_directory.h"
#include "state/disk_state.h"
#include "state/messages.h"

namespace vornik {

// Copies the entry in slot `slot` (0..7) of logical directory sector
// `sector`. On success copybuf[0..fpb) holds the file and Copyfilename /
// Filename its DOS name. When a sector cannot be read or the entry is
// damaged, adds kMsgCopyFailed to `notices` and returns false: nothing may
// be written then.
// The sectors a copy read, in order: the entry's directory sector, an
// extension entry's, and its data sectors.
using SectorReads = std::vector<DiskSector>;

// With `measure` a copy takes every step and check but leaves copybuf as
// it was: fpb says how many bytes it would hold (a listing's sizes).
bool CopyOutFile(DiskState& st, int32_t sector, int32_t slot, Notices& notices, SectorReads* reads = nullptr,
                 bool measure = false);

enum class CopyStatus {
  kCopied,
  kOutsideDirectory,  // the entry's sector lies outside the directory: the copy does nothing
  kFailed,            // kMsgCopyFailed was added
};

// The copy command for a listed entry: checks that its directory sector lies
// in the directory (secnum is set to it), then copies it into copybuf: its
// whole sectors, or with `exact` just the bytes of the DOS's size. A
// listing from the DOS's directory, or an exact copy, is assembled by the
// DOS layer; where the DOS knows no size the exact copy takes whole
// sectors and a notice says so.
CopyStatus CopyListedEntry(DiskState& st, const Listing& listing, const ListedEntry& entry, bool exact,
                           Notices& notices, SectorReads* reads = nullptr, bool measure = false);

// The size the disk's DOS gives a file in use when a copy of `copied` bytes
// falls short of it (its extents hold no more), else 0.
int64_t DosSizeBeyondCopy(const Listing& listing, const ListedEntry& entry, int64_t copied);

// The listed entry in that directory sector and slot, or none.
const ListedEntry* FindListed(const Listing& listing, int32_t sector, int32_t slot);

}  // namespace vornik

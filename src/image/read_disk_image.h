// Loading and identifying an image: reads the file open on channel 1 into
// diskbuf, decides JV1, DMK or JV3, works out the geometry, finds the
// directory and tests for Newdos/80. The directory walk comes after it.
#pragma once

#include <string>

#include "state/disk_state.h"
#include "state/messages.h"

namespace vornik {

enum class ReadResult {
  kIdentified,   // geometry and directory location set: the walk may follow
  kRefused,      // real-disk or no-header message
  kTooLarge,     // larger than any disk image; nothing changed
  kProbeFailed,  // a Newdos/80 probe did not find its sector
};

// Messages to show are added to `notices`. Throws DiskError for every other
// failure (a read outside the image, a table index out of range, no file
// open on channel 1).
ReadResult ReadDiskImage(DiskState& st, Notices& notices);

// Opens FileName read-only on channel 1; false when it cannot be opened.
bool OpenFile(DiskState& st, const std::string& FileName);

// Decimal text with one leading blank when not negative.
std::string NumText(long value);
// The same appended to `text`.
void AppendNumText(std::string& text, long value);

}  // namespace vornik

// Loading and identifying an image: reads the file open on channel 1 into
// diskbuf, decides JV1, DMK or JV3, works out the geometry, finds the
// directory, tests for Newdos/80 and hands over to ReadDirectory.
#pragma once

#include <string>

#include "state/disk_state.h"
#include "state/window_port.h"

namespace vornik {

enum class ReadResult {
  kListed,       // ReadDirectory ran (the list may still be empty)
  kRefused,      // real-disk or no-header message shown
  kTooLarge,     // larger than any disk image; message shown, nothing changed
  kProbeFailed,  // a Newdos/80 probe did not find its sector; quiet end
};

// Throws DiskError for every other quiet end (a read outside the image, a
// table index out of range, no file open on channel 1).
ReadResult ReadDiskImage(DiskState& st, WindowPort& win);

// Opens FileName read-only on channel 1. A file that cannot be opened gets
// the open-failure message; returns whether the channel is open.
bool OpenFile(DiskState& st, WindowPort& win, const std::string& FileName);

extern const char* const kMsgRealDisk;
extern const char* const kMsgNoHeader;
extern const char* const kMsgTooLarge;
extern const char* const kMsgOpenFailed;
extern const char* const kTitleError;      // "Error"
extern const char* const kTitleOpenFailed; // "Text Editor"

// Decimal text with one leading blank when not negative.
std::string NumText(long value);

}  // namespace vornik

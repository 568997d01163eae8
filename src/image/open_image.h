// The Open command without its dialog: OpenFile, openflag, the emptied
// list, ReadDiskImage, and the quiet end of a failure. The window, the
// command-line program and the fuzzer all open images through it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "state/disk_state.h"
#include "state/window_port.h"

namespace vornik {

enum class OpenKind {
  kListed,      // identified and handed to the directory walk
  kRefused,     // the real-disk or no-header message
  kTooLarge,    // larger than any disk image
  kUnreadable,  // the file could not be opened
  kDamaged,     // any quiet end: a read outside the image, a failed probe
};

struct OpenOutcome {
  OpenKind kind = OpenKind::kListed;
  std::string detail;  // kDamaged: what was wrong, in words
};

// Opens the file at `path` (OpenFile), then sets openflag, empties List1 and
// runs ReadDiskImage, catching a quiet end.
OpenOutcome OpenImage(DiskState& st, WindowPort& win, const std::string& path);

// The same for an image already in memory.
OpenOutcome OpenImageBytes(DiskState& st, WindowPort& win, std::vector<uint8_t> bytes);

// Runs ReadDiskImage on whatever channel 1 holds, after openflag and List1
// were set up; turns its result and a quiet end into an outcome.
OpenOutcome ReadOpenedImage(DiskState& st, WindowPort& win);

}  // namespace vornik

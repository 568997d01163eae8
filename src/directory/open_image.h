// The Open command without its dialog: OpenFile, openflag, loading and
// identifying the image, the directory walk, and the quiet end of a
// failure. The window, the command-line program and the fuzzer all open
// images through it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "directory/read_directory.h"
#include "state/disk_state.h"
#include "state/messages.h"

namespace vornik {

enum class OpenKind {
  kListed,      // identified and its directory walked (the list may be empty)
  kRefused,     // the real-disk or no-header message
  kTooLarge,    // larger than any disk image
  kUnreadable,  // the file could not be opened
  kDamaged,     // any quiet end: a read outside the image, a failed probe
};

struct OpenOptions {
  bool verify = false;  // check every sector's CRCs as the image is read (the sector source's verdicts)
};

struct OpenOutcome {
  OpenKind kind = OpenKind::kListed;
  bool identified = false;  // kDamaged: the format was told, and the sector source is there
  std::string detail;  // kDamaged: what was wrong, in words
  Notices notices;     // the message boxes to show, in order
  Listing listing;     // kListed: the summary and the entries
};

// Opens the file at `path` on channel 1 (kMsgOpenFailed when it cannot be
// opened), sets openflag, then reads and identifies the image and walks its
// directory.
OpenOutcome OpenImage(DiskState& st, const std::string& path, const OpenOptions& options = {});

// The same for an image already in memory.
OpenOutcome OpenImageBytes(DiskState& st, std::vector<uint8_t> bytes, const OpenOptions& options = {});

// What the open of an image larger than any disk image gives, for one whose
// bytes were never read (an archive member told by its size): refused with
// kMsgTooLarge, the state untouched.
OpenOutcome TooLargeOutcome();

}  // namespace vornik

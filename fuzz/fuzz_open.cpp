// Fuzz target: arbitrary bytes opened as a disk image (the DOS layer
// included), then every listed file copied out into memory as the copy
// button copies it, whole and at its DOS's size. Nothing is written to disk.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "directory/open_image.h"
#include "extract/copy_out_file.h"
#include "state/disk_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vornik::DiskState st;
  const vornik::OpenOutcome out = vornik::OpenImageBytes(st, std::vector<uint8_t>(data, data + size));
  if (out.kind != vornik::OpenKind::kListed) return 0;
  for (const vornik::ListedEntry& entry : out.listing.entries) {
    for (const bool exact : {false, true}) {
      vornik::Notices notices;
      vornik::CopyListedEntry(st, out.listing, entry, exact, notices);
    }
  }
  return 0;
}

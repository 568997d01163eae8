// Fuzz target: arbitrary bytes opened as a disk image (every sector's CRC
// checked, the DOS layer read), then every listed file copied out into
// memory as the copy button copies it, whole and at its DOS's size, each
// judged by the sectors it read, and the disk map drawn. Nothing is written
// to disk.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "directory/open_image.h"
#include "extract/copy_out_file.h"
#include "extract/integrity.h"
#include "map/map_of_disk.h"
#include "state/disk_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vornik::DiskState st;
  const vornik::OpenOutcome out = vornik::OpenImageBytes(st, std::vector<uint8_t>(data, data + size), {.verify = true});
  if (out.kind != vornik::OpenKind::kListed && !out.identified) return 0;
  vornik::CountSectors(st.source);
  const std::vector<vornik::EntryCheck> checks = vornik::CheckEntries(st, out.listing);
  for (const vornik::ListedEntry& entry : out.listing.entries) {
    vornik::Notices notices;
    vornik::CopyListedEntry(st, out.listing, entry, /*exact=*/true, notices);
  }
  vornik::RenderDiskMapSvg(vornik::MapOfDisk(st, out.listing, checks, "fuzz"));
  return 0;
}

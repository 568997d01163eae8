// Fuzz target: arbitrary bytes opened as a disk image (every sector's CRC
// checked, the DOS layer read), then every listed file copied out into
// memory as the copy button copies it, whole and at its DOS's size, each
// judged by the sectors it read, and the disk map drawn. Bytes that start
// like a zip archive ("PK") are read as one: each image member goes the
// same way, and the folder its files would be extracted into must stay
// inside the output folder. Nothing is written to disk.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "archive/zip_archive.h"
#include "directory/open_image.h"
#include "extract/copy_out_file.h"
#include "extract/integrity.h"
#include "map/map_of_disk.h"
#include "state/disk_state.h"

namespace {

void OpenAndCopy(std::vector<uint8_t> bytes) {
  vornik::DiskState st;
  const vornik::OpenOutcome out = vornik::OpenImageBytes(st, std::move(bytes), {.verify = true});
  if (out.kind != vornik::OpenKind::kListed && !out.identified) return;
  vornik::CountSectors(st.source);
  const std::vector<vornik::EntryCheck> checks = vornik::CheckEntries(st, out.listing);
  for (const vornik::ListedEntry& entry : out.listing.entries) {
    vornik::Notices notices;
    vornik::CopyListedEntry(st, out.listing, entry, /*exact=*/true, notices);
  }
  vornik::RenderDiskMapSvg(vornik::MapOfDisk(st, out.listing, checks, "fuzz"));
}

// Smaller caps than a real run's, so that a bomb costs the fuzzer little.
// The member cap is still far above the largest disk image the seeds hold.
constexpr vornik::archive::Limits kFuzzLimits{.member_bytes = 2 << 20, .archive_bytes = 8 << 20, .ratio = 1100};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= 2 && data[0] == 'P' && data[1] == 'K') {
    vornik::archive::MemberFolders folders;
    vornik::archive::ReadZipBytes(
        std::span<const uint8_t>(data, size),
        [&](vornik::archive::Member& m) {
          // The folder an image is extracted into stays one level inside -o.
          const std::string folder = folders.For(m.name);
          if (folder.empty() || folder == "." || folder == ".." || folder.find_first_of("/\\") != std::string::npos)
            __builtin_trap();
          if (m.state == vornik::archive::MemberState::kRead) OpenAndCopy(std::move(m.bytes));
        },
        {.limits = kFuzzLimits});
    return 0;
  }
  OpenAndCopy(std::vector<uint8_t>(data, data + size));
  return 0;
}

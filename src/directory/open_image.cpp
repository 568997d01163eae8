#include "directory/open_image.h"

#include "image/read_disk_image.h"
#include "state/disk_error.h"

namespace vornik {

namespace {

// Reads whatever channel 1 holds and walks the directory; a quiet end
// becomes an outcome.
OpenOutcome ReadOpened(DiskState& st) {
  OpenOutcome out;
  st.openflag = 1;
  try {
    switch (ReadDiskImage(st, out.notices)) {
      case ReadResult::kIdentified: {
        out.kind = OpenKind::kListed;
        const ImageFormat format = st.jv1 == 1 ? ImageFormat::kJv1 : st.dmkflag == 1 ? ImageFormat::kDmk : ImageFormat::kJv3;
        st.source = SectorSource(std::span<const uint8_t>(st.diskbuf.data(), static_cast<size_t>(st.fileend)),
                                 {format, st.sides, st.trkindex});
        out.listing = ListDirectory(st, out.notices);
        break;
      }
      case ReadResult::kRefused:
        out.kind = OpenKind::kRefused;
        break;
      case ReadResult::kTooLarge:
        out.kind = OpenKind::kTooLarge;
        break;
      case ReadResult::kProbeFailed:
        out.kind = OpenKind::kDamaged;
        out.detail = "the system sector of track " + std::to_string(st.TrkToFind) + " is not on the disk";
        break;
    }
  } catch (const DiskError& e) {
    st.channel1.Close();
    out.kind = OpenKind::kDamaged;
    out.detail = e.what();
  }
  return out;
}

}  // namespace

OpenOutcome OpenImage(DiskState& st, const std::string& path) {
  st.Filename = path;
  if (!OpenFile(st, st.Filename)) {
    st.openflag = 1;
    OpenOutcome out;
    out.kind = OpenKind::kUnreadable;
    out.notices.push_back({kMsgOpenFailed, MsgIcon::Exclamation, kTitleOpenFailed});
    return out;
  }
  return ReadOpened(st);
}

OpenOutcome OpenImageBytes(DiskState& st, std::vector<uint8_t> bytes) {
  st.channel1.OpenMemory(std::move(bytes));
  return ReadOpened(st);
}

}  // namespace vornik

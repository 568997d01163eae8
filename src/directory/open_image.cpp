#include "directory/open_image.h"

#include "image/read_disk_image.h"
#include "state/disk_error.h"

namespace vornik {

namespace {

// The sector source over the image just read, once its format is known.
void BuildSource(DiskState& st, bool verify) {
  const ImageFormat format = st.jv1 == 1 ? ImageFormat::kJv1 : st.dmkflag == 1 ? ImageFormat::kDmk : ImageFormat::kJv3;
  st.source = SectorSource(std::span<const uint8_t>(st.diskbuf.data(), static_cast<size_t>(st.fileend)),
                           {format, st.sides, st.trkindex}, verify, &st.locator);
}

// Reads whatever channel 1 holds and walks the directory; a quiet end
// becomes an outcome. An image whose format was told still gets its sector
// source, for what can be said of its sectors.
OpenOutcome ReadOpened(DiskState& st, const OpenOptions& options) {
  OpenOutcome out;
  st.openflag = 1;
  st.source = {};
  try {
    switch (ReadDiskImage(st, out.notices)) {
      case ReadResult::kIdentified:
        out.kind = OpenKind::kListed;
        BuildSource(st, options.verify);
        out.listing = ListDirectory(st, out.notices);
        return out;
      case ReadResult::kRefused:
        out.kind = OpenKind::kRefused;
        return out;
      case ReadResult::kTooLarge:
        out.kind = OpenKind::kTooLarge;
        return out;
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
  out.identified = !st.filetype.empty();
  if (out.identified) BuildSource(st, options.verify);
  return out;
}

}  // namespace

OpenOutcome OpenImage(DiskState& st, const std::string& path, const OpenOptions& options) {
  st.Filename = path;
  if (!OpenFile(st, st.Filename)) {
    st.openflag = 1;
    OpenOutcome out;
    out.kind = OpenKind::kUnreadable;
    out.notices.push_back({kMsgOpenFailed, MsgIcon::Exclamation, kTitleOpenFailed});
    return out;
  }
  return ReadOpened(st, options);
}

OpenOutcome TooLargeOutcome() {
  OpenOutcome out;
  out.kind = OpenKind::kTooLarge;
  out.notices.push_back({kMsgTooLarge});
  return out;
}

OpenOutcome OpenImageBytes(DiskState& st, std::vector<uint8_t> bytes, const OpenOptions& options) {
  st.channel1.OpenMemory(std::move(bytes));
  return ReadOpened(st, options);
}

}  // namespace vornik

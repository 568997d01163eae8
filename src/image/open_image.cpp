#include "image/open_image.h"

#include "image/read_disk_image.h"
#include "state/disk_error.h"

namespace vornik {

OpenOutcome ReadOpenedImage(DiskState& st, WindowPort& win) {
  OpenOutcome out;
  try {
    switch (ReadDiskImage(st, win)) {
      case ReadResult::kListed:
        out.kind = OpenKind::kListed;
        break;
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

static OpenOutcome AfterOpenFile(DiskState& st, WindowPort& win, bool opened) {
  st.openflag = 1;
  win.List1().Clear();
  if (!opened) {
    OpenOutcome out;
    out.kind = OpenKind::kUnreadable;
    return out;
  }
  return ReadOpenedImage(st, win);
}

OpenOutcome OpenImage(DiskState& st, WindowPort& win, const std::string& path) {
  st.Filename = path;
  const bool opened = OpenFile(st, win, st.Filename);
  return AfterOpenFile(st, win, opened);
}

OpenOutcome OpenImageBytes(DiskState& st, WindowPort& win, std::vector<uint8_t> bytes) {
  st.channel1.OpenMemory(std::move(bytes));
  return AfterOpenFile(st, win, true);
}

}  // namespace vornik

// Fuzz target: arbitrary bytes opened as a disk image, then every listed
// file copied out into memory. Message boxes are answered OK / No by the
// recording fake window; nothing is written to disk.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "extract/copy_out_file.h"
#include "image/open_image.h"
#include "state/disk_state.h"
#include "fake_window.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vornik::DiskState st;
  vornik::testing::FakeWindow win;
  const vornik::OpenOutcome out = vornik::OpenImageBytes(st, win, std::vector<uint8_t>(data, data + size));
  if (out.kind != vornik::OpenKind::kListed) return 0;

  vornik::SortedList& list = win.List1();
  for (int i = 0; i < list.ListCount(); ++i) {
    list.SetListIndex(i);
    st.secnum = list.ItemData(i);
    // The window only copies entries whose sector lies in the directory.
    if (st.secnum < st.dirstartsec || st.secnum > st.direndsec) continue;
    vornik::CopyOutFile(st, win);
  }
  return 0;
}

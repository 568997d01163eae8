#include "state/disk_state.h"

namespace vornik {

void ResetKeepingBuffers(DiskState& st) {
  ByteBuffer disk = std::move(st.diskbuf);
  ByteBuffer copy = std::move(st.copybuf);
  LocatorIndex index = std::move(st.locator);
  st = DiskState{};
  st.diskbuf = std::move(disk);
  st.copybuf = std::move(copy);
  st.locator = std::move(index);
  st.locator.Clear();
}

}  // namespace vornik

#include "image/logical_sector.h"

#include "image/image_access.h"

namespace vornik {

int32_t LogicalToPhysical(DiskState& st, int32_t l) {
  int t = 0;
  while (t < st.tracks) {
    CheckTrackIndex(t, "trkstartsec");
    if (l < st.trkstartsec[t]) break;
    ++t;
  }
  const int track = t - 1;
  CheckTrackIndex(track, "trkstartsec");
  int32_t sector = l - st.trkstartsec[track];
  int side = 0;
  if (sector >= st.trkspt[track]) {
    side = 1;
    sector -= st.trkspt[track];
  }
  st.TrkToFind = static_cast<int16_t>(track);
  st.SideToFind = static_cast<int16_t>(side);
  st.SecToFind = static_cast<int16_t>(sector + st.firstsecnum);
  return sector;
}

}  // namespace vornik

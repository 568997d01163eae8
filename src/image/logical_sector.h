// Logical sector number to track, side and sector, the one conversion that
// the directory walk and the copy share.
#pragma once

#include <cstdint>

#include "state/disk_state.h"

namespace vornik {

// Sets TrkToFind, SideToFind, SecToFind for logical sector `l`: the track
// whose start is the last not above l, side 1 when l lies beyond that
// track's sectors per side; SecToFind gets the numbering base firstsecnum
// added. Returns the sector's index on its side, counted from 0. Throws
// DiskError when the tables cannot hold the answer.
int32_t LogicalToPhysical(DiskState& st, int32_t l);

// The logical sectors a conversion put on one track: every l in
// [first, end) goes to `track`, as long as the track starts stay as they
// are. Empty until a conversion fills it.
struct LogicalTrack {
  int32_t first = 0;
  int32_t end = 0;
  int track = 0;
};

// LogicalToPhysical once the track is known (and within the tables).
inline int32_t PlaceOnTrack(DiskState& st, int track, int32_t l) {
  const auto t = static_cast<size_t>(track);
  int32_t sector = l - st.trkstartsec[t];
  int side = 0;
  if (sector >= st.trkspt[t]) {
    side = 1;
    sector -= st.trkspt[t];
  }
  st.TrkToFind = static_cast<int16_t>(track);
  st.SideToFind = static_cast<int16_t>(side);
  st.SecToFind = static_cast<int16_t>(sector + st.firstsecnum);
  return sector;
}

// LogicalToPhysical that also says which logical sectors share l's track.
int32_t LogicalToPhysical(DiskState& st, int32_t l, LogicalTrack* held);

// LogicalToPhysical for sectors asked for in turn: one on the track `held`
// names needs no search. A failed conversion leaves `held` as it was.
inline int32_t NextLogicalToPhysical(DiskState& st, int32_t l, LogicalTrack& held) {
  if (l >= held.first && l < held.end) return PlaceOnTrack(st, held.track, l);
  return LogicalToPhysical(st, l, &held);
}

}  // namespace vornik

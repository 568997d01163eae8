#include "image/logical_sector.h"

#include <algorithm>
#include <climits>

#include "image/image_access.h"
#include "image/layout.h"

namespace vornik {

namespace {

// The first of tracks 0..limit-1 whose start exceeds l, or limit: the
// first whose highest start so far does, which a halving search finds.
int FirstTrackAfter(DiskState& st, int limit, int32_t l) {
  LocatorIndex& ix = st.locator;
  if (ix.l2p_tracks != limit) {
    int16_t highest = INT16_MIN;
    for (int t = 0; t < limit; ++t) ix.l2p_max[static_cast<size_t>(t)] = highest = std::max(highest, st.trkstartsec[static_cast<size_t>(t)]);
    ix.l2p_tracks = limit;
    ix.l2p_hint = -1;
  }
  // Sectors are mostly asked for in order: the track of the last answer
  // first, then the one after it.
  const auto holds = [&](int t) {
    return t >= 0 && t <= limit && (t == 0 || ix.l2p_max[static_cast<size_t>(t - 1)] <= l) &&
           (t == limit || l < ix.l2p_max[static_cast<size_t>(t)]);
  };
  if (holds(ix.l2p_hint)) return ix.l2p_hint;
  if (holds(ix.l2p_hint + 1)) return ++ix.l2p_hint;
  ix.l2p_hint = static_cast<int>(std::upper_bound(ix.l2p_max.begin(), ix.l2p_max.begin() + limit, l) - ix.l2p_max.begin());
  return ix.l2p_hint;
}

}  // namespace

int32_t LogicalToPhysical(DiskState& st, int32_t l, LogicalTrack* held) {
  // The first track that starts after l; a table read past its end throws.
  const int limit = std::min<int>(st.tracks, kTableTracks);
  const int t = limit <= 0 ? 0 : FirstTrackAfter(st, limit, l);
  if (t == limit && st.tracks > kTableTracks) CheckTrackIndex(t, "trkstartsec");
  const int track = t - 1;
  CheckTrackIndex(track, "trkstartsec");
  if (held) {
    // Track t - 1 holds every l from the highest start before t up to the
    // next track's highest start.
    const LocatorIndex& ix = st.locator;
    held->first = ix.l2p_max[static_cast<size_t>(track)];
    held->end = t < limit ? ix.l2p_max[static_cast<size_t>(t)] : INT32_MAX;
    held->track = track;
  }
  return PlaceOnTrack(st, track, l);
}

int32_t LogicalToPhysical(DiskState& st, int32_t l) { return LogicalToPhysical(st, l, nullptr); }

}  // namespace vornik

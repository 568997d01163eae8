// JV1: a plain dump of a single-sided, single-density disk, 10 sectors of
// 256 bytes a track, no header.
#include "image/formats.h"
#include "image/image_access.h"
#include "image/layout.h"

namespace vornik {

void FindSectorJv1(DiskState& st) {
  st.fpa = double(st.TrkToFind) * kJv1TrackBytes + double(st.SecToFind) * kSectorBytes;
  st.secstep = 1;
}

void SetJv1Geometry(DiskState& st) {
  st.dens = 1;
  st.dmkflag = 0;
  st.sides = 1;
  st.spt = kJv1SectorsPerTrack;
  // Up to 40 tracks the disk counts as 40; a longer dump holds as many
  // tracks as it has whole or started 2560-byte tracks.
  int tracks = kJv1Tracks;
  if (st.fileend > kJv1Tracks * kJv1TrackBytes) {
    tracks = static_cast<int>((int64_t{st.fileend} + kJv1TrackBytes - 1) / kJv1TrackBytes);
    if (tracks > kJv1MaxTracks) tracks = kJv1MaxTracks;
  }
  st.tracks = static_cast<int16_t>(tracks);
  st.dirstartsec = kJv1DirStart;
  st.direndsec = kJv1DirEnd;
  st.secnum = 0;
  st.filetype = "JV1";
  st.dd = "   S/Density";
  st.sda = "  S/Sided";
  for (int t = 0; t < tracks; ++t) {
    st.trkspt[t] = kJv1SectorsPerTrack;
    st.trkstartsec[t] = static_cast<int16_t>(kJv1SectorsPerTrack * t);
  }
  st.locator.ForgetTrackStarts();
}

}  // namespace vornik

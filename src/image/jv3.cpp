// JV3: a table of 2901 sector headers (track, sector, flags) followed by
// the sectors' data in table order.
#include <algorithm>

#include "image/formats.h"
#include "image/image_access.h"
#include "image/layout.h"
#include "image/location_scan.h"

namespace vornik {

// Scans the header table for the first entry with the wanted track, sector
// and side. An entry that reaches past the image is no match. Returns false
// when the table ends inside the image's header.
bool FindSectorJv3(DiskState& st) {
  st.secstep = 1;
  int64_t p = 0;
  for (int n = 0;; ++n, p += kJv3EntryBytes) {
    st.fpa = double(p);
    if (p >= st.fileend) {
      st.errflg = 1;
      return false;
    }
    bool match = false;
    if (InImage(st, p + 2)) {  // the whole entry lies in the image
      const uint8_t* entry = st.diskbuf.data() + p;
      if (entry[0] == st.TrkToFind && entry[1] == st.SecToFind) {
        st.datamarkjv = entry[2] & kJv3FlagDirMark;
        match = (entry[2] & kJv3FlagSide1) == st.SideToFind * 16;
      }
    }
    if (match) {
      st.fpa = double(kJv3DataStart + int64_t{kSectorBytes} * n);
      if (st.fpa >= st.fileend) st.errflg = 1;
      return true;
    }
    if (n == kJv3Entries - 1) {
      st.errflg = 1;
      return true;
    }
  }
}

// The track bytes of the first four entries agree on a JV3 image.
bool Jv3HasHeader(const DiskState& st) {
  const uint8_t first = ImageByte(st, 0);
  bool ok = true;
  for (int p = 3; p <= 9; p += 3) ok = (ImageByte(st, p) == first) && ok;
  return ok;
}

// Sides, side-0 sectors of each track, and density from the header table.
void SetJv3Geometry(DiskState& st) {
  int prev_track = 0;
  int prev_dens_bit = ImageByte(st, 2) & kJv3FlagDouble;
  int run = 0;
  bool mixed = false;
  int last_dens = 0;
  st.sides = 1;
  for (int64_t p = 0; p <= kJv3LastEntryOffset; p += kJv3EntryBytes) {
    const int track = ImageByte(st, p);
    if (track == kJv3FreeTrack) break;
    const int flags = ImageByte(st, p + 2);
    if (flags & kJv3FlagSide1) st.sides = 2;
    if (track > prev_track) {
      run = 0;
      prev_track = track;
    }
    if (track == prev_track && (flags & kJv3FlagSide1) == 0) {
      CheckTrackIndex(track, "trkspt");
      st.trkspt[track] = static_cast<int16_t>(run + 1);
    }
    const int dens_bit = flags & kJv3FlagDouble;
    last_dens = dens_bit ? 2 : 1;
    if (dens_bit != prev_dens_bit) mixed = true;
    prev_dens_bit = dens_bit;
    prev_track = track;
    ++run;
  }
  st.dens = static_cast<int16_t>(mixed ? 3 : last_dens);
  st.spt = st.trkspt[0];
  st.spg = st.spt == 18 ? 6 : 5;
}

// The sectors in table order, up to the first unused entry.
void ScanJv3Directory(DiskState& st) {
  DirectoryScan scan(st, false);
  int last_track = 1;  // a table without any used entry counts two tracks
  for (int64_t p = 0; p <= kJv3LastEntryOffset; p += kJv3EntryBytes) {
    const int track = ImageByte(st, p);
    if (track == kJv3FreeTrack) break;
    const int flags = ImageByte(st, p + 2);
    scan.Add({track, flags & kJv3FlagSide1, ImageByte(st, p + 1), (flags & kJv3FlagDirMark) != 0});
    last_track = track;
  }
  scan.Finish();
  st.tracks = static_cast<int16_t>(1 + last_track);
}

}  // namespace vornik

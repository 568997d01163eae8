// JV3: a table of 2901 sector headers (track, sector, flags) followed by
// the sectors' data in table order.
#include <algorithm>

#include "image/find_sector.h"
#include "image/formats.h"
#include "image/image_access.h"
#include "image/layout.h"
#include "image/location_scan.h"

namespace vornik {

// Scans the header table for the first entry with the wanted track, sector
// and side. An entry that reaches past the image is no match; the table
// ending inside the image's header is reported.
void FindSectorJv3(DiskState& st, WindowPort& win) {
  st.secstep = 1;
  int64_t p = 0;
  for (int n = 0;; ++n, p += kJv3EntryBytes) {
    st.fpa = double(p);
    if (p >= st.fileend) {
      st.errflg = 1;
      win.MsgBox(kMsgNotFound, MsgIcon::None, MsgButtons::Ok, "Error");
      return;
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
      return;
    }
    if (n == kJv3Entries - 1) {
      st.errflg = 1;
      return;
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

// Numbers the sectors in table order, records each track's first side-0
// sector and finds the directory: the run from the lowest-numbered
// directory-marked sector on the side of the first one met.
void ScanJv3Directory(DiskState& st) {
  int prev_track = 0;
  int prev_side = 200;  // no side has this number
  int32_t run_start = 0;
  int32_t dir_count = 0;
  int dir_side = -1;
  int lowest_sector = 30;
  int32_t lowest_start = 4000;
  int last_track = 1;  // a table without any used entry counts two tracks
  st.secnum = 0;
  for (int64_t p = 0; p <= kJv3LastEntryOffset; p += kJv3EntryBytes) {
    const int track = ImageByte(st, p);
    if (track == kJv3FreeTrack) break;
    const int sector = ImageByte(st, p + 1);
    const int flags = ImageByte(st, p + 2);
    const int side = flags & kJv3FlagSide1;
    const bool is_dir = (flags & kJv3FlagDirMark) != 0;
    CheckTrackIndex(track, "trkstartsec");
    const int32_t secnum = static_cast<int32_t>(st.secnum);
    if (track > prev_track) {
      prev_track = track;
      run_start = secnum;
      if (side == 0) st.trkstartsec[track] = static_cast<int16_t>(secnum);
    }
    if (side != prev_side) run_start = secnum;
    if (is_dir) {
      ++dir_count;
      if (dir_side < 0) dir_side = side;
    }
    if (is_dir && side == dir_side && sector < lowest_sector) {
      const int32_t candidate = run_start + sector;
      lowest_sector = sector;
      if (candidate < lowest_start) {
        st.dirstartsec = candidate;
        lowest_start = candidate;
      }
    }
    st.secnum = secnum + 1;
    prev_track = track;
    prev_side = side;
    last_track = track;
  }
  st.direndsec = static_cast<int16_t>(st.dirstartsec + dir_count - 1);
  st.tracks = static_cast<int16_t>(1 + last_track);
  st.dirsectors = dir_count;
}

}  // namespace vornik

#include "image/location_scan.h"

#include "image/image_access.h"

namespace vornik {

DirectoryScan::DirectoryScan(DiskState& st, bool track_start_any_side)
    : st_(st), track_start_any_side_(track_start_any_side) {
  st_.secnum = 0;
}

void DirectoryScan::Add(const ScanSector& s) {
  CheckTrackIndex(s.track, "trkstartsec");
  const int32_t secnum = static_cast<int32_t>(st_.secnum);
  if (s.track > prev_track_) {
    prev_track_ = s.track;
    run_start_ = secnum;
    if (track_start_any_side_ || s.side == 0) {
      st_.trkstartsec[s.track] = static_cast<int16_t>(secnum);
      st_.locator.ForgetTrackStarts();
    }
  }
  if (s.side != prev_side_) run_start_ = secnum;
  if (s.dir) {
    ++dir_count_;
    if (dir_side_ < 0) dir_side_ = s.side;
  }
  if (s.dir && s.side == dir_side_ && s.sector < lowest_sector_) {
    const int32_t candidate = run_start_ + s.sector;
    lowest_sector_ = s.sector;
    if (candidate < lowest_start_) {
      st_.dirstartsec = candidate;
      lowest_start_ = candidate;
    }
  }
  st_.secnum = secnum + 1;
  prev_track_ = s.track;
  prev_side_ = s.side;
}

void DirectoryScan::Finish() {
  st_.direndsec = static_cast<int16_t>(st_.dirstartsec + dir_count_ - 1);
  st_.dirsectors = dir_count_;
}

}  // namespace vornik

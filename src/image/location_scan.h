// The directory location scan of DMK and JV3 images: one pass over every
// sector in stored order that numbers the sectors, records where each
// track starts, and finds the run of directory-marked sectors. Each format
// enumerates its sectors; the rules applied to them are kept here once.
#pragma once

#include "image/image_access.h"
#include "state/disk_state.h"

namespace vornik {

// One sector as the scan meets it: its ID as recorded, and whether it
// carries the directory data mark.
struct ScanSector {
  int track = 0;
  int side = 0;
  int sector = 0;
  bool dir = false;
};

// Numbers the sectors handed to Add (secnum, written when the scan ends),
// records trkstartsec, and on Finish sets dirstartsec, direndsec and
// dirsectors: the directory is the run from the lowest-numbered
// directory-marked sector on the side of the first one met (the lowest
// such start), as long as the image holds directory sectors.
class DirectoryScan {
 public:
  // `track_start_any_side`: a track's start is recorded from a sector of
  // either side (DMK), or from side 0 only (JV3).
  DirectoryScan(DiskState& st, bool track_start_any_side);
  // secnum counts the sectors added, also when a bad one ends the scan.
  ~DirectoryScan() { st_.secnum = secnum_; }
  DirectoryScan(const DirectoryScan&) = delete;
  DirectoryScan& operator=(const DirectoryScan&) = delete;
  void Add(const ScanSector& s);
  // Adds `n` (1 or more) sectors of s's track and side, none of them
  // directory-marked: s, then n - 1 that change nothing but the count.
  void AddAlike(const ScanSector& s, int n);
  void Finish();

 private:
  DiskState& st_;
  bool track_start_any_side_;
  int32_t secnum_ = 0;  // secnum, kept here while the scan runs
  int prev_track_ = 0;
  int prev_side_ = -1;  // no side yet
  int32_t run_start_ = 0;
  int32_t dir_count_ = 0;
  int dir_side_ = -1;
  int lowest_sector_ = 30;  // a directory sector numbered 30 or more never starts it
  int32_t lowest_start_ = 4000;
};

// Inline with Add, so that the scan's state may stay in registers.
inline DirectoryScan::DirectoryScan(DiskState& st, bool track_start_any_side)
    : st_(st), track_start_any_side_(track_start_any_side) {
  st_.secnum = 0;
}

inline void DirectoryScan::Add(const ScanSector& s) {
  CheckTrackIndex(s.track, "trkstartsec");
  const int32_t secnum = secnum_;
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
  secnum_ = secnum + 1;
  prev_track_ = s.track;
  prev_side_ = s.side;
}

inline void DirectoryScan::AddAlike(const ScanSector& s, int n) {
  Add(s);
  secnum_ += n - 1;
}

inline void DirectoryScan::Finish() {
  st_.secnum = secnum_;
  st_.direndsec = static_cast<int16_t>(st_.dirstartsec + dir_count_ - 1);
  st_.dirsectors = dir_count_;
}

void ScanJv3Directory(DiskState& st);
void ScanDmkDirectory(DiskState& st);

}  // namespace vornik

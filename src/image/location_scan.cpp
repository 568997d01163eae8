#include "image/location_scan.h"

#include "image/image_access.h"

namespace vornik {

DirectoryScan::DirectoryScan(DiskState& st, bool track_start_any_side)
    : st_(st), track_start_any_side_(track_start_any_side) {
  st_.secnum = 0;
}

void DirectoryScan::Finish() {
  st_.direndsec = static_cast<int16_t>(st_.dirstartsec + dir_count_ - 1);
  st_.dirsectors = dir_count_;
}

}  // namespace vornik

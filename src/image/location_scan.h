// The directory location scan of DMK and JV3 images: one pass over every
// sector in stored order that numbers the sectors, records where each
// track starts, and finds the run of directory-marked sectors.
#pragma once

#include "state/disk_state.h"

namespace vornik {

void ScanJv3Directory(DiskState& st);
void ScanDmkDirectory(DiskState& st);

}  // namespace vornik

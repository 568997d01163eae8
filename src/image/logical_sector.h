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

}  // namespace vornik

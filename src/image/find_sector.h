// The sector locator: turns TrkToFind, SideToFind, SecToFind into fpa, the
// offset of the sector's first data byte, for JV1, JV3 and DMK images.
#pragma once

#include "state/disk_state.h"
#include "state/window_port.h"

namespace vornik {

// Sets errflg (0 found, 1 not found), fpa, secstep, and datamarkDmk (DMK)
// or datamarkjv (JV3). A JV3 table that ends inside the image's header
// shows the locator's message box.
void FindSector(DiskState& st, WindowPort& win);

// The locator's message for a JV3 image that ends inside its header.
extern const char* const kMsgNotFound;

}  // namespace vornik

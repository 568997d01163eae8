// The extent walk and file assembly: follows the selected entry's extents
// (and its one extension entry) and places the file's sectors in copybuf.
#pragma once

#include "state/disk_state.h"
#include "state/window_port.h"

namespace vornik {

// Precondition: an image is loaded, List1 has a selected item and secnum
// holds its item data. On success copybuf[0..fpb) holds the file and
// Copyfilename / Filename its DOS name. When a sector cannot be read or the
// entry is damaged, shows kMsgCopyFailed and returns false: nothing may be
// written then.
bool CopyOutFile(DiskState& st, WindowPort& win);

extern const char* const kMsgCopyFailed;

}  // namespace vornik

// The directory walk: shows the format and summary, reads the directory
// sectors from dirstartsec + 2 to direndsec and lists every used entry in
// List1 (item data: the entry's directory sector) and List2 (item data: the
// entry's index 0..7 in that sector).
#pragma once

#include <string>

#include "state/disk_state.h"
#include "state/window_port.h"

namespace vornik {

void ReadDirectory(DiskState& st, WindowPort& win);

// NAME/EXT as the copy frame shows a list text: the first blank becomes
// "/", later blanks are dropped.
std::string ShownName(const std::string& item_text);

}  // namespace vornik

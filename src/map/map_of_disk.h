// The disk map of an opened image: every stored sector in its place,
// coloured by what owns it (the directory, a system or a user file, or
// nothing), damaged ones marked, each titled with its owner.
#pragma once

#include <string>
#include <vector>

#include "directory/read_directory.h"
#include "extract/integrity.h"
#include "map/disk_map.h"
#include "state/disk_state.h"

namespace vornik {

// `checks` are CheckEntries' for `listing`; `caption` names the image.
DiskMap MapOfDisk(DiskState& st, const Listing& listing, const std::vector<EntryCheck>& checks,
                  const std::string& caption);

}  // namespace vornik

// The sector locator: turns TrkToFind, SideToFind, SecToFind into fpa, the
// offset of the sector's first data byte, for JV1, JV3 and DMK images.
#pragma once

#include "state/disk_state.h"
#include "state/messages.h"

namespace vornik {

enum class Located {
  kFound,
  kNotFound,
  kTableCut,  // JV3: the header table ends inside the image's header (kMsgNotFound is shown)
};

// Sets errflg (0 found, 1 not found), fpa, secstep, and datamarkDmk (DMK)
// or datamarkjv (JV3), through the index built at identification.
Located FindSector(DiskState& st);
// The same by searching the image itself, as the index stands in for.
Located SearchSector(DiskState& st);

// FindSector, adding the locator's message to `notices` when the JV3 table
// is cut; true when the sector was found.
bool LocateSector(DiskState& st, Notices& notices);

}  // namespace vornik

// The sector locator: turns TrkToFind, SideToFind, SecToFind into fpa, the
// offset of the sector's first data byte, for JV1, JV3 and DMK images.
#pragma once

#include "image/formats.h"
#include "state/disk_state.h"
#include "state/messages.h"

namespace vornik {

enum class Located {
  kFound,
  kNotFound,
  kTableCut,  // JV3: the header table ends inside the image's header (kMsgNotFound is shown)
};

// Sets errflg (0 found, 1 not found), fpa, secstep, and datamarkDmk (DMK)
// or datamarkjv (JV3), through the index built at identification. Inline:
// a copy asks for every sector of a file.
inline Located FindSector(DiskState& st) {
  st.errflg = 0;
  if (st.dmkflag != 0) {
    if (!LookUpDmk(st)) FindSectorDmk(st);
  } else if (st.jv1 != 0) {
    FindSectorJv1(st);
  } else {
    bool whole_table = true;
    if (!LookUpJv3(st, &whole_table)) whole_table = FindSectorJv3(st);
    if (!whole_table) return Located::kTableCut;
  }
  return st.errflg == 0 ? Located::kFound : Located::kNotFound;
}
// The same by searching the image itself, as the index stands in for.
Located SearchSector(DiskState& st);

// Adds the locator's message for a cut JV3 table.
void NoteTableCut(Notices& notices);

// FindSector, adding the locator's message to `notices` when the JV3 table
// is cut; true when the sector was found.
inline bool LocateSector(DiskState& st, Notices& notices) {
  const Located found = FindSector(st);
  if (found == Located::kTableCut) NoteTableCut(notices);
  return found == Located::kFound;
}

}  // namespace vornik

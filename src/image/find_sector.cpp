#include "image/find_sector.h"

namespace vornik {

Located SearchSector(DiskState& st) {
  st.errflg = 0;
  if (st.dmkflag != 0) {
    FindSectorDmk(st);
  } else if (st.jv1 != 0) {
    FindSectorJv1(st);
  } else if (!FindSectorJv3(st)) {
    return Located::kTableCut;
  }
  return st.errflg == 0 ? Located::kFound : Located::kNotFound;
}

void NoteTableCut(Notices& notices) { notices.push_back({kMsgNotFound}); }

}  // namespace vornik

#include "image/find_sector.h"

#include "image/formats.h"

namespace vornik {

Located FindSector(DiskState& st) {
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

bool LocateSector(DiskState& st, Notices& notices) {
  const Located found = FindSector(st);
  if (found == Located::kTableCut) notices.push_back({kMsgNotFound});
  return found == Located::kFound;
}

}  // namespace vornik

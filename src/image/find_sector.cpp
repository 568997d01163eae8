#include "image/find_sector.h"

#include "image/formats.h"

namespace vornik {

const char* const kMsgNotFound = "** ERROR **  Not found, or File format faulty";

void FindSector(DiskState& st, WindowPort& win) {
  st.errflg = 0;
  if (st.dmkflag != 0) {
    FindSectorDmk(st);
  } else if (st.jv1 != 0) {
    FindSectorJv1(st);
  } else {
    FindSectorJv3(st, win);
  }
}

}  // namespace vornik

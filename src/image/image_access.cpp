#include "image/image_access.h"

#include <string>

#include "image/layout.h"
#include "state/disk_error.h"

namespace vornik {

void ThrowOutside(const DiskState& st, int64_t i) {
  throw DiskError("read at offset " + std::to_string(i) + " outside the image of " + std::to_string(st.fileend) +
                  " bytes");
}

void ThrowTrackIndex(int64_t t, const char* table) {
  throw DiskError("index " + std::to_string(t) + " outside " + table);
}

}  // namespace vornik

#include "state/disk_state.h"

#include <cmath>

namespace vornik {

int64_t AsIndex(double value) { return static_cast<int64_t>(std::nearbyint(value)); }

}  // namespace vornik

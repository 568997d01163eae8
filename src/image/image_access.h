// The one place that reads the image: bounds-checked bytes of diskbuf
// (indexes 0..fileend, fileend being the spare 0) and byte k of the sector
// last located.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>

#include "image/layout.h"
#include "state/disk_state.h"

namespace vornik {

[[noreturn]] void ThrowOutside(const DiskState& st, int64_t i);

inline bool InImage(const DiskState& st, int64_t i) {
  return i >= 0 && i <= st.fileend && i < static_cast<int64_t>(st.diskbuf.size());
}
// Byte i of diskbuf; throws DiskError when i lies outside 0..fileend.
inline uint8_t ImageByte(const DiskState& st, int64_t i) {
  if (!InImage(st, i)) ThrowOutside(st, i);
  return st.diskbuf[static_cast<size_t>(i)];
}
// Byte i of diskbuf, or nothing when i lies outside 0..fileend.
inline std::optional<uint8_t> TryImageByte(const DiskState& st, int64_t i) {
  if (!InImage(st, i)) return std::nullopt;
  return st.diskbuf[static_cast<size_t>(i)];
}
// Byte k (0..255) of the sector last located: diskbuf[fpa + secstep * k].
// Throws DiskError when that lies outside the image.
inline uint8_t SectorByte(const DiskState& st, int k) { return ImageByte(st, AsIndex(st.fpa) + int64_t{st.secstep} * k); }
// True when bytes first..first+count-1 of the sector last located all lie
// in the image file (the spare byte behind it does not count).
inline bool SectorBytesInImage(const DiskState& st, int first, int count) {
  const int64_t lo = int64_t{st.secstep} * first, hi = int64_t{st.secstep} * (first + count - 1);
  // The locator sets whole offsets, for which comparing fpa itself with the
  // whole bounds is exact; and it lets through none that rounding fpa would
  // put outside, so only a refusal needs the rounded offset.
  if (st.fpa >= double(-lo) && st.fpa <= double(st.fileend - 1 - hi)) return true;
  const int64_t from = AsIndex(st.fpa) + lo;
  return from >= 0 && from + int64_t{st.secstep} * (count - 1) < st.fileend;
}
// True when all 256 data bytes of the sector last located lie in the image file.
inline bool SectorInImage(const DiskState& st) { return SectorBytesInImage(st, 0, 256); }
// Bytes first..first+count-1 of the sector last located into `out`; false,
// nothing read, when they do not all lie in the image file.
inline bool ReadSectorBytes(const DiskState& st, int first, int count, uint8_t* out) {
  if (!SectorBytesInImage(st, first, count)) return false;
  const uint8_t* from = st.diskbuf.data() + AsIndex(st.fpa) + int64_t{st.secstep} * first;
  if (st.secstep == 1) {
    std::memcpy(out, from, static_cast<size_t>(count));
  } else {
    for (int n = 0; n < count; ++n) out[n] = from[int64_t{n} * st.secstep];
  }
  return true;
}

// Table index checks: throw DiskError naming the table.
[[noreturn]] void ThrowTrackIndex(int64_t t, const char* table);
inline void CheckTrackIndex(int64_t t, const char* table) {
  if (t < 0 || t >= kTableTracks) ThrowTrackIndex(t, table);
}

}  // namespace vornik

// Development tool: checks every ID mark of every track record of DMK images
// and prints the count per verdict.
//   crc_count [-v] IMAGE.dmk...
// -v also lists each sector that is not intact. Exit status 1 when a file
// cannot be read or is not long enough to be a DMK image.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <span>
#include <vector>

#include "image/dmk_check.h"

namespace {

constexpr size_t kHeaderBytes = 16;
constexpr size_t kFlagsByte = 4;
constexpr size_t kTrackLenByte = 2;  // little-endian, bytes 2-3
constexpr uint8_t kFlagSingleSided = 0x10;
constexpr uint8_t kFlagsUndoubled = 0xC0;
constexpr int kVerdicts = 7;

bool CountImage(const char* path, bool verbose) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> d{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const size_t track_len = d.size() < kHeaderBytes ? 0 : d[kTrackLenByte] | (d[kTrackLenByte + 1] << 8);
  if (!in.is_open() || in.bad() || track_len == 0) {
    std::fprintf(stderr, "%s: not a readable DMK image\n", path);
    return false;
  }
  const int sides = (d[kFlagsByte] & kFlagSingleSided) ? 1 : 2;
  const bool doubling = (d[kFlagsByte] & kFlagsUndoubled) == 0;
  int counts[kVerdicts] = {};
  int records = 0;
  for (size_t at = kHeaderBytes; at < d.size(); at += track_len, ++records) {
    const std::span<const uint8_t> record(d.data() + at, std::min(track_len, d.size() - at));
    for (int i = 0; i < vornik::kDmkIdPointerMax && size_t(2 * i + 1) < record.size(); ++i) {
      const auto raw = static_cast<uint16_t>(record[2 * i] | (record[2 * i + 1] << 8));
      if (raw == 0) break;
      const vornik::DmkSectorCheck c = vornik::CheckDmkSector(record, raw, doubling);
      ++counts[static_cast<int>(c.verdict)];
      if (verbose && c.verdict != vornik::SectorVerdict::kIntact)
        std::printf("  track %d side %d: ID %d/%d/%d size %d at %d: %s\n", records / sides, records % sides,
                    c.track, c.side, c.sector, c.size_code, c.id_mark_at, vornik::VerdictName(c.verdict));
    }
  }
  int total = 0;
  for (int n : counts) total += n;
  const auto n = [&](vornik::SectorVerdict v) { return counts[static_cast<int>(v)]; };
  using V = vornik::SectorVerdict;
  std::printf("%s: %d records, %d ID marks, %d intact, %d damaged (ID CRC %d, data CRC %d, no data mark %d, "
              "truncated %d)\n",
              path, records, total, n(V::kIntact), total - n(V::kIntact), n(V::kIdCrcError), n(V::kDataCrcError),
              n(V::kNoDataMark), n(V::kTruncated));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  bool verbose = false;
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-v") == 0) {
      verbose = true;
      continue;
    }
    ok = CountImage(argv[i], verbose) && ok;
  }
  return ok ? 0 : 1;
}

// What every DOS here shares: sector numbering, the name hash, the GAT's
// name, date and allocation bytes, extents, and the two size rules.
#include <algorithm>
#include <bit>
#include <bitset>
#include <cstddef>
#include <cstring>

#include "dos/dos_layout.h"

namespace vornik::dos {

std::string IsoDate(int year, int month, int day) {
  std::string text = std::to_string(year);
  for (const int two : {month, day}) {
    if (two == 0) break;
    text += {'-', static_cast<char>('0' + two / 10), static_cast<char>('0' + two % 10)};
  }
  return text;
}

DiskSector Locate(const Numbering& n, int64_t r) {
  const int64_t per_track = int64_t{n.sides} * n.spt;
  const int64_t in_track = r % per_track;
  DiskSector s;
  s.track = static_cast<int16_t>(std::min<int64_t>(n.t0 + r / per_track, INT16_MAX));
  s.side = static_cast<uint8_t>(in_track / n.spt);
  s.id = static_cast<uint8_t>(n.first_id + in_track % n.spt);
  return s;
}

bool ReadSector(const SectorSource& source, const DiskSector& at, Sector& out) {
  const StoredSector* s = source.Find(at.track, at.side, at.id);
  return s != nullptr && source.Read(*s, out) == out.size();
}

const uint8_t* SectorBytes(const SectorSource& source, const DiskSector& at, Sector& scratch) {
  const StoredSector* s = source.Find(at.track, at.side, at.id);
  return s == nullptr ? nullptr : StoredBytes(source, *s, scratch);
}

SideShape ShapeOf(const SectorSource& source, int track, int side) {
  std::bitset<256> seen;
  SideShape shape;
  shape.first_id = 256;
  for (const StoredSector& s : source.OnTrack(track, side)) {
    if (seen[s.id]) continue;
    seen[s.id] = true;
    ++shape.count;
    shape.first_id = std::min<int>(shape.first_id, s.id);
  }
  if (shape.count == 0) shape.first_id = 0;
  return shape;
}

bool LoadDirectory(const SectorSource& source, Directory& dir, int entry_sectors) {
  const Numbering& n = dir.numbering;
  if (!ReadSector(source, Locate(n, dir.gat_rel), dir.gat) || !ReadSector(source, Locate(n, dir.gat_rel + 1), dir.hit)) {
    return false;
  }
  const int count = entry_sectors;
  static_assert(kMaxEntrySectors <= 64);
  dir.where.resize(static_cast<size_t>(count));
  dir.sectors.resize(static_cast<size_t>(count));
  // Row by row (relative sectors row x SPT on lie on one track side), each
  // side's sectors walked once: of those recording a wanted ID the first is
  // taken, the one ReadSector would find.
  const int64_t from = dir.gat_rel + 2;
  uint64_t seen = 0, whole = 0;  // bit i: entry sector i met; read in full
  for (int64_t row = from / n.spt; row * n.spt < from + count; ++row) {
    const DiskSector place = Locate(n, row * n.spt);
    const int first = static_cast<int>(row * n.spt - from);  // the entry sector at the row's first ID
    for (const StoredSector& s : source.OnTrack(place.track, place.side)) {
      const int pos = static_cast<uint8_t>(s.id - n.first_id);
      const int i = first + pos;
      if (pos >= n.spt || i < 0 || i >= count || (seen >> i & 1)) continue;
      seen |= uint64_t{1} << i;
      if (source.Read(s, dir.sectors[i]) == kSectorBytes) whole |= uint64_t{1} << i;
    }
  }
  for (int i = 0; i < count; ++i) {
    dir.where[i] = Locate(n, from + i);
    if (!(whole >> i & 1)) dir.sectors[i].fill(0);
  }
  return true;
}

namespace {
bool NameChar(uint8_t c) { return (c >= 0x30 && c <= 0x5A) || (c >= 0x61 && c <= 0x7A); }

// `min`..`max` name characters, then blanks to the end of the field.
bool PlausibleField(const uint8_t* f, int width, int min) {
  int n = 0;
  while (n < width && NameChar(f[n])) ++n;
  if (n < min) return false;
  for (int i = n; i < width; ++i) {
    if (f[i] != ' ') return false;
  }
  return true;
}
}  // namespace

bool PlausibleName(const uint8_t* name) { return PlausibleField(name, 8, 1) && PlausibleField(name + 8, 3, 0); }

bool NameIs(const uint8_t* name, const char* name_ext11) { return std::memcmp(name, name_ext11, kNameBytes) == 0; }

bool IsPrintable(const uint8_t* bytes, int count) {
  return std::all_of(bytes, bytes + count, [](uint8_t c) { return c >= 0x20 && c < 0x7F; });
}

int FormattedTracks(const SectorSource& source, int sides, int spt) {
  for (int t = source.Tracks() - 1; t >= 0; --t) {
    bool formatted = true;
    for (int side = 0; side < sides && formatted; ++side) {
      int own = 0;
      for (const StoredSector& s : source.OnTrack(t, side)) own += s.id_track == t;
      formatted = own >= spt;
    }
    if (formatted) return t + 1;
  }
  return 0;
}

namespace {
std::string GatText(const Sector& gat, int at) {
  std::string text(reinterpret_cast<const char*>(gat.data() + at), kGatTextBytes);
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}
}  // namespace

void ReadGatFacts(const Sector& gat, DosDisk& disk) {
  disk.disk_name = GatText(gat, kGatName);
  disk.disk_date = GatText(gat, kGatDate);
}

void SetSpace(const Sector& gat, int units, int granules_per_unit, int granule_sectors, DosDisk& disk) {
  int64_t free = 0;
  for (int u = 0; u < units; ++u) {
    for (int g = 0; g < granules_per_unit; ++g) free += ((gat[u] >> g) & 1) == 0;
  }
  const int64_t granule_bytes = int64_t{granule_sectors} * kSectorBytes;
  disk.free_bytes = free * granule_bytes;
  disk.total_bytes = int64_t{units} * granules_per_unit * granule_bytes;
}

bool AddExtents(const SectorSource& source, const Directory& dir, uint8_t unit, uint8_t granules,
                std::vector<DiskSector>& out, std::string& error) {
  const Allocation& a = dir.allocation;
  const int64_t first = int64_t{unit} * a.unit_sectors + int64_t{granules >> kGranuleShift} * a.granule_sectors;
  const int64_t n = ExtentSectors(a, granules);
  if (n > 0 && Locate(dir.numbering, first + n - 1).track >= source.Tracks()) {
    error = "an extent lies past the end of the disk";
    return false;
  }
  if (n <= 0) return true;  // an extent of no sectors adds none
  // Consecutive relative sectors: the next ID, then the next side, then the
  // next track; written a track side at a time.
  const Numbering& num = dir.numbering;
  DiskSector at = Locate(num, first);
  int pos = static_cast<int>(first % num.spt);
  // Room that grows by doubling: an exact reserve per extent would move the
  // whole list again for every extent of a file.
  const size_t from = out.size(), need = from + static_cast<size_t>(n);
  if (out.capacity() < need) out.reserve(std::max(2 * out.capacity(), need));
  out.resize(need);
  DiskSector* put = out.data() + from;
  for (int64_t left = n; left > 0;) {
    const int run = static_cast<int>(std::min<int64_t>(left, num.spt - pos));
    const DiskSector start{at.track, at.side, static_cast<uint8_t>(num.first_id + pos)};
    if constexpr (std::endian::native == std::endian::little) {
      // As one word each, the ID in the top byte: adding to it wraps the ID
      // as a byte does and leaves track and side alone.
      static_assert(sizeof(DiskSector) == 4 && offsetof(DiskSector, id) == 3);
      uint32_t word;
      std::memcpy(&word, &start, sizeof word);
      for (int k = 0; k < run; ++k) {
        const uint32_t next = word + (static_cast<uint32_t>(k) << 24);
        std::memcpy(static_cast<void*>(put + k), &next, sizeof next);
      }
    } else {
      for (int k = 0; k < run; ++k) put[k] = {start.track, start.side, static_cast<uint8_t>(start.id + k)};
    }
    put += run;
    left -= run;
    pos = 0;
    if (++at.side == num.sides) {
      at.side = 0;
      if (at.track < INT16_MAX) ++at.track;
    }
  }
  return true;
}

void DecodeCommon(const uint8_t* e, DosEntry& entry) {
  std::copy(e + kEntryName, e + kEntryName + kNameBytes, entry.name.begin());
  entry.attributes = e[kEntryAttr];
  entry.named = IsNamed(e);
  entry.system = (entry.attributes & kAttrSystem) != 0;
  entry.invisible = (entry.attributes & kAttrInvisible) != 0;
  entry.protection = entry.attributes & kAttrProtection;
  entry.eof = e[kEntryEof];
  entry.lrl = e[kEntryLrl] == 0 ? 256 : e[kEntryLrl];
  entry.ern = static_cast<uint16_t>(e[kEntryErn] | (e[kEntryErn + 1] << 8));
}

void SizeEntry(DosEntry& entry, bool ern_full) {
  if (!entry.error.empty()) return;  // extents unreadable: no size to vouch for
  const int64_t ern = entry.ern;
  if (ern_full) {
    entry.size = ern * kSectorBytes + entry.eof;
    entry.whole_sectors = entry.ern + (entry.eof != 0 ? 1 : 0);
  } else if (ern == 0) {
    entry.size = 0;
    entry.whole_sectors = 0;
    if (entry.eof != 0) entry.note = "ERN 0 with EOF " + std::to_string(entry.eof) + ": taken as an empty file";
  } else {
    entry.size = entry.eof == 0 ? ern * kSectorBytes : (ern - 1) * kSectorBytes + entry.eof;
    entry.whole_sectors = entry.ern;
  }
  const size_t have = entry.sectors.size();
  if (static_cast<size_t>(entry.whole_sectors) > have) {
    entry.error = "the DOS's size needs " + std::to_string(entry.whole_sectors) + " sectors, its extents give " +
                  std::to_string(have);
  }
}

}  // namespace vornik::dos

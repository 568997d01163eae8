// DMK: a 16-byte header, then one raw track record per track and side. A
// record starts with a table of pointers to its sectors' ID address marks;
// the data mark follows each ID field after a gap.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <iterator>

#include "image/dmk_check.h"
#include "image/dmk_sector.h"
#include "image/formats.h"
#include "image/image_access.h"
#include "image/layout.h"
#include "image/location_scan.h"
#include "image/mark_search.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vornik {

int ReadDmkPointers(const DiskState& st, int64_t record, uint16_t raw[kDmkPointers], bool strict) {
  int count = 0;
  // A table wholly in the image is read unchecked.
  const uint8_t* inside = record >= 0 && record + 2 * kDmkPointers - 1 <= st.fileend ? st.diskbuf.data() + record : nullptr;
  for (int i = 0; i < kDmkPointers; ++i) {
    const int64_t at = record + 2 * i;
    if (!inside && !strict && !InImage(st, at + 1)) break;  // a table reaching past the image ends there
    const uint16_t v = inside ? static_cast<uint16_t>(inside[2 * i] | (inside[2 * i + 1] << 8))
                              : static_cast<uint16_t>(ImageByte(st, at) | (ImageByte(st, at + 1) << 8));
    raw[i] = v;
    if ((v & kDmkPointerOffset) == 0) break;
    ++count;
  }
  return count;
}

// A single-density sector on a record written with every byte twice shows
// its ID mark twice; only images that say they store single density once
// (header flags 0x40/0x80) are exempt.
namespace {
DmkId DmkIdWithFlags(const DiskState& st, int64_t record, uint16_t raw_pointer, std::optional<uint8_t> hdr4) {
  DmkId id;
  id.mark = record + (raw_pointer & kDmkPointerOffset);
  const bool single = (raw_pointer & kDmkPointerDouble) == 0;
  if (single && hdr4 && (*hdr4 & kDmkFlagsUndoubled) == 0 && TryImageByte(st, id.mark) == kDmkIdMark &&
      TryImageByte(st, id.mark + 1) == kDmkIdMark) {
    id.step = 2;
  }
  return id;
}
}  // namespace

DmkId DmkIdAt(const DiskState& st, int64_t record, uint16_t raw_pointer) {
  return DmkIdWithFlags(st, record, raw_pointer, TryImageByte(st, kDmkFlagsByte));
}

int DmkMarkDistance(const DiskState& st, const DmkId& id) { return id.step == 2 ? kDmkDamDoubled : st.damindex; }

int64_t FindDmkDataMark(const DiskState& st, const DmkId& id, bool strict) {
  const int64_t first = id.mark + int64_t{kDmkIdFieldEnd} * id.step;
  const int64_t last = id.mark + DmkMarkDistance(st, id) + 2;
  // The bytes up to the spare one behind the file are looked at in one go;
  // the first byte past them ends a strict search.
  const int64_t in_image = std::min<int64_t>(last, st.fileend);
  if (first >= 0 && first <= in_image) {
    const int64_t at = FindDataMarkIn(st.diskbuf.data(), first, in_image, false);
    if (at >= 0) return at;
  }
  if (strict && last > in_image) ThrowOutside(st, std::max(first, in_image + 1));
  return -1;
}

// Searches the record of the wanted track and side through its own pointer
// table (real disks place their ID fields differently on every track).
// Only the recorded sector number is compared.
void FindSectorDmk(DiskState& st) {
  const int64_t record = kDmkHeaderSize + (int64_t{st.TrkToFind} * st.sides + st.SideToFind) * st.trkindex;
  st.fpa = double(record);
  uint16_t raw[kDmkPointers] = {};
  const int count = record < 0 ? 0 : ReadDmkPointers(st, record, raw, false);
  bool found = false;
  DmkId id;
  for (int g = 0; g < count && !found; ++g) {
    id = DmkIdAt(st, record, raw[g]);
    const auto recorded = TryImageByte(st, id.mark + 3 * id.step);
    found = recorded && *recorded == st.SecToFind;
  }
  if (!found) st.errflg = 1;

  int64_t taken;
  if (count == 0) {
    // No ID field to start from: look where a data mark would follow an ID
    // mark at offset 0.
    taken = st.damindex - 3;
    for (int k = 0; k < 6; ++k) {
      const auto b = TryImageByte(st, taken);
      if (b && IsDataMark(*b)) break;
      ++taken;
    }
  } else {
    taken = FindDmkDataMark(st, id, false);
    if (taken < 0) taken = id.mark + DmkMarkDistance(st, id) + 3;
  }
  st.datamarkDmk = TryImageByte(st, taken).value_or(0);
  st.secstep = static_cast<int16_t>(count == 0 ? 1 : id.step);
  st.fpa = double(taken + st.secstep);
}

namespace {

// Where `number` first stands among a record's `count` recorded numbers
// from `numbers` on, or `count` where it does not. The row is read a whole
// window at a time: the index keeps spare bytes behind the last record.
int FirstRecorded(const uint8_t* numbers, int count, int number) {
  static_assert(kDmkPointers < LocatorIndex::kDmkRecordedWindow && LocatorIndex::kDmkRecordedWindow == 32);
  if (number < 0 || number > 0xFF) return count;
#if defined(__SSE2__)
  const __m128i want = _mm_set1_epi8(static_cast<char>(number));
  const auto hits = [&](int at) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(numbers + at));
    return uint64_t{static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, want)))};
  };
  return std::countr_zero(hits(0) | hits(16) << 16 | uint64_t{1} << count);
#else
  const void* hit = std::memchr(numbers, number, static_cast<size_t>(count));
  return hit ? static_cast<int>(static_cast<const uint8_t*>(hit) - numbers) : count;
#endif
}

}  // namespace

bool LookUpDmk(DiskState& st) {
  const LocatorIndex& ix = st.locator;
  // A record the index holds (none unless it was built for a DMK), of the geometry it was built for.
  const int64_t r = int64_t{st.TrkToFind} * st.sides + st.SideToFind;
  if (static_cast<uint64_t>(r) >= static_cast<uint64_t>(ix.dmk_records) || ix.dmk_sides != st.sides ||
      ix.dmk_track_length != st.trkindex || ix.dmk_damindex != st.damindex) {
    return false;
  }
  const uint32_t first = ix.dmk_first[static_cast<size_t>(r)];
  const int count = static_cast<int>(ix.dmk_first[static_cast<size_t>(r) + 1] - first);
  if (count == 0) return false;  // no ID field: the search's own fallback
  int at = FirstRecorded(ix.dmk_recorded.data() + first, count, st.SecToFind);
  if (at == count) {  // not found: what the search took from the last ID field
    st.errflg = 1;
    at = count - 1;
  }
  const LocatorIndex::DmkSlot& slot = ix.dmk_slots[first + static_cast<uint32_t>(at)];
  st.datamarkDmk = slot.data_mark;
  st.secstep = slot.step;
  st.fpa = slot.fpa;
  return true;
}

// Track lengths other emulators and capture tools write: a header that
// looks like DMK and a file made of whole records.
bool IsPlausibleDmk(const DiskState& st) {
  const uint8_t b0 = ImageByte(st, 0);
  const int64_t body = int64_t{st.fileend} - kDmkHeaderSize;
  return (b0 == 0x00 || b0 == 0xFF) && st.trkindex >= kDmkTrackLenMin && st.trkindex <= kDmkTrackLenMax && body > 0 &&
         body % st.trkindex == 0;
}

void SetDmkDensityClass(DiskState& st) {
  st.dmkflag = 1;
  if (st.trkindex >= kDmkDoubleClassMin) {
    st.dens = 2;
    st.spg = 6;
    st.damindex = kDmkDamDouble;
  } else {
    st.dens = 1;
    st.spg = 5;
    st.damindex = kDmkDamSingle;
  }
}

bool IsDmkRealDisk(const DiskState& st) {
  bool real = true;
  for (int i = 0; i < 4; ++i) real = (ImageByte(st, kDmkRealDiskOffset + i) == kDmkRealDiskSignature[i]) && real;
  return real;
}

// Sides from the header when it accounts for the file's length exactly,
// else from the side bytes of the ID fields of the first ten records.
static void SetDmkSides(DiskState& st, const uint16_t raw0[kDmkPointers]) {
  const int header_tracks = ImageByte(st, kDmkTracksByte);
  const int s = (ImageByte(st, kDmkFlagsByte) & kDmkFlagSingleSided) ? 1 : 2;
  if (header_tracks > 0 && kDmkHeaderSize + int64_t{header_tracks} * s * st.trkindex == st.fileend) {
    st.sides = static_cast<int16_t>(s);
    return;
  }
  st.sides = 1;
  for (int r = 0; r < 10; ++r) {
    const int64_t record = kDmkHeaderSize + int64_t{r} * st.trkindex;
    for (int i = 0; i < st.spt; ++i) {
      const DmkId id = DmkIdAt(st, record, raw0[i]);
      if (ImageByte(st, id.mark + 2 * id.step) == 1) st.sides = 2;
    }
  }
}

void SetDmkGeometry(DiskState& st) {
  uint16_t raw0[kDmkPointers] = {};
  st.spt = static_cast<int16_t>(ReadDmkPointers(st, kDmkHeaderSize, raw0));
  SetDmkSides(st, raw0);
  st.tracks = static_cast<int16_t>(std::nearbyint(double(st.fileend) / (double(st.sides) * st.trkindex)));
  for (int t = 0; t < st.tracks; ++t) {
    CheckTrackIndex(t, "trkspt");
    st.trkspt[t] = st.spt;
  }
}

namespace {

// What the scan takes of one ID field: the sector it adds and what the
// search sets when it takes the field.
struct ScannedField {
  ScanSector sector;
  LocatorIndex::DmkSlot slot;
};

// An ID field the scan's own search does not vouch for (a pointer with bit
// 14 set, single density stored twice, a gap that runs past the record),
// read through the checked accessors as the search reads it.
[[gnu::noinline]] ScannedField ScanOddDmkField(const DiskState& st, int64_t record, uint16_t ptr,
                                               std::optional<uint8_t> hdr4) {
  const DmkId id = DmkIdWithFlags(st, record, ptr, hdr4);
  const int64_t mark_at = FindDmkDataMark(st, id, true);
  // The ID bytes, read unchecked where they all lie in the image.
  const bool inside = id.mark + 3 * id.step <= st.fileend;
  const auto byte = [&](int64_t at) { return inside ? st.diskbuf[static_cast<size_t>(at)] : ImageByte(st, at); };
  ScannedField f;
  f.sector.sector = byte(id.mark + 3 * id.step);
  f.sector.track = byte(id.mark + id.step);
  f.sector.side = byte(id.mark + 2 * id.step);
  f.sector.dir = mark_at >= 0 && IsDirMark(st.diskbuf[static_cast<size_t>(mark_at)]);
  // What FindSectorDmk takes for this ID field: every byte it reads was
  // read here without leaving the image.
  const int64_t taken = mark_at >= 0 ? mark_at : id.mark + DmkMarkDistance(st, id) + 3;
  f.slot = {double(taken + id.step), TryImageByte(st, taken).value_or(0), static_cast<uint8_t>(id.step)};
  return f;
}

// A field read a byte a step whose first family byte the search does not
// take (F9, or one past where the search looks): the source's data mark in
// `s`, the search's in `slot`, and whether the search's is a directory mark.
[[gnu::noinline]] bool SettleUnusualDmkField(const DiskState& st, int64_t record, int at, bool mfm, int family,
                                             int64_t record_end, StoredSector& s, LocatorIndex::DmkSlot& slot) {
  const uint8_t* d = st.diskbuf.data();
  // The source's data mark: the first family byte, F9 too, in its window.
  SettleDmkData(d, record + at, 1, family, DmkLastMarkStep(mfm), record_end, s);
  // The search's: the first family byte unless it is F9, which the search passes over.
  int64_t mark_at = family <= st.damindex + 2 ? record + at + family : -1;
  if (mark_at >= 0 && d[mark_at] == kDataMarkF9) mark_at = FindDmkDataMark(st, {record + at, 1}, true);
  const int64_t taken = mark_at >= 0 ? mark_at : record + at + st.damindex + 3;
  slot = {double(taken + 1), d[taken], 1};
  return mark_at >= 0 && IsDirMark(d[taken]);
}

// A ScanSector in a word, for a record's run: track, side and sector a
// byte each from the lowest, the directory mark above them.
constexpr uint32_t kScanTrackSide = 0x0000FFFF;
constexpr uint32_t kScanSectorBits = 0x00FF0000;
constexpr uint32_t kScanDirBit = 0x01000000;

inline uint32_t PackScanSector(const ScanSector& s) {
  return static_cast<uint32_t>(s.track) | static_cast<uint32_t>(s.side) << 8 | static_cast<uint32_t>(s.sector) << 16 |
         (s.dir ? kScanDirBit : 0);
}

inline ScanSector UnpackScanSector(uint32_t v) {
  return {static_cast<int>(v & 0xFF), static_cast<int>(v >> 8 & 0xFF), static_cast<int>(v >> 16 & 0xFF),
          (v & kScanDirBit) != 0};
}

// Entry i of a pointer table, little-endian.
inline uint16_t DmkPointer(const uint8_t* table, int i) {
  uint16_t v;
  std::memcpy(&v, table + 2 * i, sizeof v);
  if constexpr (std::endian::native == std::endian::big) v = static_cast<uint16_t>(v >> 8 | v << 8);
  return v;
}

}  // namespace

// Every ID mark of every track record in file order; each track's sectors
// per side come from its side-0 record. Builds the locator's index on the
// way, with the sectors the sector source takes in exact records.
void ScanDmkDirectory(DiskState& st) {
  LocatorIndex& ix = st.locator;
  ix.Clear();
  DirectoryScan scan(st, true);
  int64_t last_record = kDmkHeaderSize;
  int64_t k = 0;
  const std::optional<uint8_t> hdr4 = TryImageByte(st, kDmkFlagsByte);
  // Whether single density may be stored with every byte twice.
  const bool may_double = hdr4 && (*hdr4 & kDmkFlagsUndoubled) == 0;
  const uint8_t* d = st.diskbuf.data();
  const size_t records =
      st.trkindex > 0 ? static_cast<size_t>(std::max<int64_t>(0, (st.fileend - kDmkHeaderSize) / st.trkindex + 1)) : 0;
  const size_t expected = records * static_cast<size_t>(std::max<int>(st.spt, 1));
  ix.dmk_first.reserve(records + 1);
  ix.dmk_exact.reserve(records);
  ix.dmk_slots.reserve(expected);
  ix.dmk_recorded.reserve(expected + LocatorIndex::kDmkRecordedWindow);
  ix.dmk_sectors.reserve(expected);
  // One search of the gap serves the scan and the sector source where it
  // reaches past the distance to the data mark.
  const int damindex = st.damindex;
  const bool shared = damindex + 2 <= kDmkMarkHorizon;
  static_assert(kDmkDamDouble + 2 <= kDmkMarkHorizon && kDmkDamSingle + 2 <= kDmkMarkHorizon);
  static_assert(kDmkMarkHorizon >= DmkLastMarkStep(true) && kDmkMarkHorizon >= DmkLastMarkStep(false));
  // The last place past the ID mark a family byte may stand for the source
  // to take it as the data mark (whatever byte it is) and for the search to
  // take it (unless F9), by density.
  const int both_take_fm = std::min<int>(damindex + 2, static_cast<int>(DmkLastMarkStep(false)));
  const int both_take_mfm = std::min<int>(damindex + 2, static_cast<int>(DmkLastMarkStep(true)));
  // A record's sectors, slots and numbers are made here and added to the
  // index together.
  StoredSector made[kDmkPointers];
  LocatorIndex::DmkSlot took[kDmkPointers];
  uint8_t numbers[kDmkPointers];
  for (int64_t record = kDmkHeaderSize; record < st.fileend; record += st.trkindex, ++k) {
    // The pointer table, read in place where all of it lies in the image.
    const uint8_t* table = d + record;
    int count;
    uint8_t copied[kDmkPointerWindowBytes];
    if (record + kDmkPointerWindowBytes - 1 <= st.fileend) {
      count = CountDmkPointers(table, kDmkPointers);
    } else {
      uint16_t raw[kDmkPointers] = {};
      count = ReadDmkPointers(st, record, raw);
      std::fill(std::begin(copied), std::end(copied), uint8_t{0});
      for (int i = 0; i < kDmkPointers; ++i) {
        copied[2 * i] = static_cast<uint8_t>(raw[i]);
        copied[2 * i + 1] = static_cast<uint8_t>(raw[i] >> 8);
      }
      table = copied;
    }
    st.spt = static_cast<int16_t>(count);
    if (k % st.sides == 0) {
      CheckTrackIndex(k / st.sides, "trkspt");
      st.trkspt[k / st.sides] = static_cast<int16_t>(count);
    }
    StoredSector proto;  // what a sector of this record is before its ID field is read
    proto.track = static_cast<int16_t>(k / st.sides);
    proto.side = static_cast<uint8_t>(k % st.sides);
    // The bytes the sector source reads of this record, which ends its windows.
    const int64_t record_end = std::min<int64_t>(record + st.trkindex, st.fileend);
    bool exact = record + st.trkindex <= st.fileend && count < kDmkPointers && DmkPointer(table, count) == 0;
    // The pointers below this bound point to an ID field the source takes
    // for its pointer (bit 14 clear: it takes 14 bits) with every byte
    // either search looks at inside the record.
    const int vouched = shared ? static_cast<int>(std::clamp<int64_t>(record_end - record - kDmkMarkHorizon, 0,
                                                                      kDmkIdPointerOffset + 1))
                               : 0;
    const uint8_t* const base = d + record;
    // The record's fields as the directory scan takes them (track, side,
    // sector, directory mark: a byte each), added in runs: a run of one
    // track and side without a directory mark is added at once. A field
    // that may end the open adds those before it first.
    uint32_t for_scan[kDmkPointers];
    int added = 0;
    const auto add_to_scan = [&](int upto) {
      if (added >= upto) return;
      uint32_t differ = for_scan[added] & kScanDirBit;
      for (int j = added + 1; j < upto; ++j) differ |= (for_scan[j] ^ for_scan[added]) & (kScanTrackSide | kScanDirBit);
      if (differ == 0) {
        scan.AddAlike(UnpackScanSector(for_scan[added]), upto - added);
        added = upto;
      }
      for (; added < upto; ++added) scan.Add(UnpackScanSector(for_scan[added]));
    };
    for (int i = 0; i < count; ++i) {
      const uint16_t ptr = DmkPointer(table, i);
      const int at = ptr & kDmkPointerOffset;
      const bool mfm = (ptr & kDmkPointerDouble) != 0;
      // An ID field read a byte a step, when every byte either search looks at lies in the record.
      const uint8_t* const f = base + at;
      if (at >= vouched || (!mfm && may_double && f[0] == kDmkIdMark && f[1] == kDmkIdMark)) {
        exact = false;  // the source walks this record itself
        add_to_scan(i);
        const ScannedField odd = ScanOddDmkField(st, record, ptr, hdr4);
        for_scan[i] = PackScanSector(odd.sector);
        made[i] = proto;
        took[i] = odd.slot;
        numbers[i] = static_cast<uint8_t>(odd.sector.sector);
        continue;
      }
      // The first family byte past the ID field (none up to the horizon:
      // one past it).
      const int family = kDmkIdFieldEnd + FindMarkFamilyInHorizon(f + kDmkIdFieldEnd);
      const uint32_t id4 = static_cast<uint32_t>(f[1]) | static_cast<uint32_t>(f[2]) << 8 |
                           static_cast<uint32_t>(f[3]) << 16 | static_cast<uint32_t>(f[4]) << 24;
      StoredSector& s = made[i];
      std::memcpy(&s, &proto, sizeof s);  // copied whole: one or two moves
      s.id_track = static_cast<uint8_t>(id4);
      s.id_side = static_cast<uint8_t>(id4 >> 8);
      s.id = static_cast<uint8_t>(id4 >> 16);
      s.size_code = static_cast<uint8_t>(id4 >> 24);
      bool dir;
      if (family <= (mfm ? both_take_mfm : both_take_fm) && f[family] != kDataMarkF9) {
        // The usual field: the source and the search take the same byte.
        SettleDmkData(d, record + at, 1, family, DmkLastMarkStep(mfm), record_end, s);
        took[i] = {double(record + at + family + 1), s.mark, 1};  // read a byte a step
        dir = s.dir_mark;
      } else {
        dir = SettleUnusualDmkField(st, record, at, mfm, family, record_end, s, took[i]);
      }
      for_scan[i] = (id4 & (kScanTrackSide | kScanSectorBits)) | (dir ? kScanDirBit : 0);
      numbers[i] = static_cast<uint8_t>(id4 >> 16);
    }
    add_to_scan(count);
    ix.dmk_first.push_back(static_cast<uint32_t>(ix.dmk_slots.size()));
    ix.dmk_slots.insert(ix.dmk_slots.end(), took, took + count);
    ix.dmk_recorded.insert(ix.dmk_recorded.end(), numbers, numbers + count);
    ix.dmk_sectors.insert(ix.dmk_sectors.end(), made, made + count);
    ix.dmk_exact.push_back(exact);
    last_record = record;
  }
  scan.Finish();
  st.fpa = double(last_record);
  ix.dmk_first.push_back(static_cast<uint32_t>(ix.dmk_slots.size()));
  ix.dmk_recorded.resize(ix.dmk_recorded.size() + LocatorIndex::kDmkRecordedWindow);
  ix.dmk_track_length = st.trkindex;
  ix.dmk_sides = st.sides;
  ix.dmk_damindex = st.damindex;
  ix.dmk_records = static_cast<int32_t>(k);
  ix.kind = LocatorIndex::Kind::kDmk;
}

}  // namespace vornik

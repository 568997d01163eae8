#include "extract/copy_out_file.h"

#include <algorithm>
#include <array>
#include <limits>

#include "directory/dos_name.h"
#include "dos/dos.h"
#include "image/find_sector.h"
#include "image/formats.h"
#include "image/image_access.h"
#include "image/layout.h"
#include "image/logical_sector.h"
#include "state/disk_error.h"

namespace vornik {

namespace {

constexpr int kEntryBytes = 32;
constexpr int kEntryCount = 20;        // sectors in the file, low byte first
constexpr int kEntryFirstSlot = 22;    // extent slots, 2 bytes each, to the entry's end
constexpr uint8_t kSlotEnd = 0xFF;     // no more extents
constexpr uint8_t kSlotLink = 0xFE;    // next byte: directory entry code of the extension entry
constexpr int kMaxExtents = 10;

struct CopyFailed {};

// What one copy reports: the messages to show, and the sectors it read.
struct CopyRun {
  Notices& notices;
  SectorReads* reads;
  bool measure;  // no bytes into copybuf
  void Read(const DiskState& st) const {
    if (reads) reads->push_back({st.TrkToFind, static_cast<uint8_t>(st.SideToFind), static_cast<uint8_t>(st.SecToFind)});
  }
};

int16_t Fit16(int64_t v) {
  if (v < std::numeric_limits<int16_t>::min() || v > std::numeric_limits<int16_t>::max()) throw CopyFailed{};
  return static_cast<int16_t>(v);
}

// Sets TrkToFind, SideToFind, SecToFind for logical sector l through the
// shared conversion; the sector must be on the disk. `held` carries the
// track of one call to the next.
inline void PlaceFileSector(DiskState& st, LogicalTrack& held, int32_t l) {
  const int32_t index = NextLogicalToPhysical(st, l, held);
  if (st.SideToFind >= st.sides || index >= st.trkspt[st.TrkToFind]) throw CopyFailed{};
}

// Locates the sector placed; bytes first..first+count-1 of it must lie in
// the image.
inline void FindPlacedSector(DiskState& st, const CopyRun& run, int first = 0, int count = kSectorBytes) {
  if (!LocateSector(st, run.notices) || !SectorBytesInImage(st, first, count)) throw CopyFailed{};
  run.Read(st);
}

// Both: the sector of a directory entry.
void LocateFileSector(DiskState& st, const CopyRun& run, LogicalTrack& held, int32_t l, int first, int count) {
  PlaceFileSector(st, held, l);
  FindPlacedSector(st, run, first, count);
}

using EntryBytes = std::array<uint8_t, kEntryBytes>;

// The entry at byte `entry` of the sector last located.
EntryBytes ReadEntry(const DiskState& st, int entry) {
  EntryBytes e;
  if (!ReadSectorBytes(st, entry, kEntryBytes, e.data())) throw CopyFailed{};
  return e;
}

// One extent slot: a granule run on a track (or, on Newdos/80, in an
// allocation unit of spl sectors).
void DecodeSlot(DiskState& st, uint8_t b0, uint8_t b1, int* w) {
  if (*w >= 2 * kMaxExtents) throw CopyFailed{};
  int64_t base;
  if (st.newdosflag != 0) {
    base = int64_t{st.spl} * b0;
    st.spg = 5;
  } else {
    if (b0 >= st.tracks || b0 >= kTableTracks) throw CopyFailed{};
    if (st.trkspt[b0] == 10) st.spg = 5;
    if (st.trkspt[b0] == 18) st.spg = 6;
    base = st.trkstartsec[b0];
  }
  const int g = (b1 & 0xE0) / 32;
  const int c = b1 & 0x1F;
  const int64_t first = base + int64_t{st.spg} * g;
  const int64_t last = first + int64_t{st.spg} * (c + 1) - 1;
  st.extab[*w] = Fit16(first);
  st.extab[*w + 1] = Fit16(last);
  *w += 2;
}

// Byte n of an entry.
uint8_t EntryByte(const EntryBytes& e, int n) { return e[static_cast<size_t>(n)]; }

// Walks the slots of an entry up to an end marker, a link or the entry's
// end. Returns the offset of a link slot when the walk stops at one, else
// -1.
int WalkSlots(DiskState& st, const EntryBytes& e, int* w) {
  int p = kEntryFirstSlot;
  if (EntryByte(e, p) == kSlotEnd) return -1;  // no space allocated
  while (true) {
    DecodeSlot(st, EntryByte(e, p), EntryByte(e, p + 1), w);
    p += 2;
    if (p >= kEntryBytes) return -1;
    const uint8_t next = EntryByte(e, p);
    if (next == kSlotEnd) return -1;
    if (next == kSlotLink) return p;
  }
}

// Newdos/80 counts a mixed-density disk's relative sectors from track 1
// (or on one side only): the boot sector tells where the directory lies in
// those units, which shows the mapping. Returns false when the plain
// conversion holds.
struct RelativeMap {
  int t0 = 0;
  int32_t per_track = 0;  // C: sectors of one relative track
  int32_t per_side = 0;   // S
};

bool FindNewdosRelativeMap(DiskState& st, Notices& notices, RelativeMap* map) {
  if (st.newdosflag != 1 || st.dmkflag != 1 || st.tracks < 2 || st.dirsectors == 0) return false;
  const int32_t s = st.trkspt[1];
  if (s <= 0) return false;
  // Where the directory lies by the plain conversion, counted from 0.
  int32_t g_index;
  try {
    g_index = LogicalToPhysical(st, st.dirstartsec);
  } catch (const DiskError&) {
    return false;
  }
  const int g_track = st.TrkToFind, g_side = st.SideToFind;

  st.TrkToFind = 0;
  st.SideToFind = 0;
  st.SecToFind = st.firstsecnum;
  if (!LocateSector(st, notices)) return false;
  const int64_t r = int64_t{st.spl} * SectorByte(st, 2);

  const int pairs[4][2] = {{0, st.sides}, {1, st.sides}, {0, 1}, {1, 1}};
  for (int k = 0; k < 4; ++k) {
    const int32_t c = pairs[k][1] * s;
    if (c <= 0) continue;
    if (pairs[k][0] + r / c == g_track && (r % c) / s == g_side && (r % c) % s == g_index) {
      if (k == 0) return false;
      map->t0 = pairs[k][0];
      map->per_track = c;
      map->per_side = s;
      return true;
    }
  }
  return false;
}

// PlaceFileSector for the sectors of a copy, taken in turn: one on the
// track last placed on, among those the check lets through, needs neither
// the search nor the check. The geometry stays as it is while the copy
// locates its sectors.
struct PlainPlacement {
  LogicalTrack& held;
  LogicalTrack on;  // the held track's sectors that pass the check

  void operator()(DiskState& st, int32_t l) {
    if (l >= on.first && l < on.end) {
      PlaceOnTrack(st, on.track, l);
      return;
    }
    PlaceFileSector(st, held, l);  // throws for a sector off the disk
    // Side 0's sectors when the disk has one side, both sides' when it has two.
    const auto t = static_cast<size_t>(held.track);
    const int32_t sides = std::clamp<int32_t>(st.sides, 0, 2);
    on = {held.first, std::min(held.end, st.trkstartsec[t] + sides * std::max<int32_t>(st.trkspt[t], 0)), held.track};
  }
};

// A relative sector's place; `held` carries the track of the relative
// sectors [first, end) from one sector to the next, as for plain sectors.
struct RelativePlacement {
  const RelativeMap& map;
  LogicalTrack held;

  void operator()(DiskState& st, int32_t l) {
    if (l < held.first || l >= held.end) {
      if (l < 0) throw CopyFailed{};
      const int64_t track = map.t0 + l / map.per_track;
      if (track >= st.tracks) throw CopyFailed{};
      // l is a 16-bit sector number, per_track at most 32767 * 32767.
      const int32_t first = l - l % map.per_track;
      held = {first, first + map.per_track, static_cast<int>(track)};
    }
    const int32_t at = l - held.first;
    st.TrkToFind = static_cast<int16_t>(held.track);
    st.SideToFind = static_cast<int16_t>(at / map.per_side);
    st.SecToFind = static_cast<int16_t>(at % map.per_side + st.firstsecnum);
  }
};

// fpa as a copy leaves it: past the last of the `at` bytes placed. Every
// locate sets fpa afresh, so only the sector a copy stops after needs it.
int64_t StepPastLast(DiskState& st, int64_t at) {
  if (at > 0) st.fpa += double(kSectorBytes) * st.secstep;
  return at;
}

// Places the extents' sectors in copybuf, the first n of them (all when
// they hold fewer, or n is 0), each where `place` puts it; returns how
// many bytes that makes.
template <class Placement>
int64_t CopyExtents(DiskState& st, const CopyRun& run, int w, int32_t n, Placement place) {
  const auto room = static_cast<int64_t>(st.copybuf.size());
  const int64_t want = int64_t{n} * kSectorBytes;
  int64_t at = 0;
  for (int k = 0; k < w; k += 2) {
    const int32_t last = st.extab[k + 1];
    for (int32_t l = st.extab[k]; l <= last; ++l) {
      try {
        place(st, l);
      } catch (...) {
        StepPastLast(st, at);  // the copy stops before the next locate
        throw;
      }
      FindPlacedSector(st, run);
      if (at + kSectorBytes > room) throw CopyFailed{};
      // The locate found all 256 bytes in the image.
      if (!run.measure && !ReadSectorBytes(st, 0, kSectorBytes, st.copybuf.data() + at)) throw CopyFailed{};
      at += kSectorBytes;
      if (at == want) return StepPastLast(st, at);
    }
  }
  return StepPastLast(st, at);
}

int64_t CopySectors(DiskState& st, const CopyRun& run, LogicalTrack& held, int w, int32_t n) {
  RelativeMap map;
  if (FindNewdosRelativeMap(st, run.notices, &map)) return CopyExtents(st, run, w, n, RelativePlacement{map, {}});
  return CopyExtents(st, run, w, n, PlainPlacement{held, {}});
}

}  // namespace

bool CopyOutFile(DiskState& st, int32_t sector, int32_t slot, Notices& notices, SectorReads* reads, bool measure) {
  const CopyRun run{notices, reads, measure};
  try {
    st.fpb = 0;
    st.Copyfilename.clear();
    if (slot < 0 || slot > 7) throw CopyFailed{};
    const int entry = kEntryBytes * slot;
    st.logsec = Fit16(sector);
    LogicalTrack held;
    LocateFileSector(st, run, held, st.logsec, entry, kEntryBytes);
    const EntryBytes e = ReadEntry(st, entry);
    st.Copyfilename = DosName::FromEntry(e.data() + 5).CopyName();
    const int32_t count = EntryByte(e, kEntryCount) + 256 * EntryByte(e, kEntryCount + 1);

    int w = 0;
    const int link = WalkSlots(st, e, &w);
    if (link >= 0) {
      const uint8_t code = EntryByte(e, link + 1);
      st.logsec = Fit16(int64_t{st.dirstartsec} + 2 + (code & 0x1F));
      LocateFileSector(st, run, held, st.logsec, code & 0xE0, kEntryBytes);
      WalkSlots(st, ReadEntry(st, code & 0xE0), &w);  // a link in the extension entry ends it
    }
    st.fpb = double(CopySectors(st, run, held, w, count));
    st.Filename = st.Copyfilename;
    return true;
  } catch (const CopyFailed&) {
  } catch (const DiskError&) {
  }
  st.fpb = 0;
  notices.push_back({kMsgCopyFailed});
  return false;
}

namespace {

// The DOS layer's copy of `entry` into copybuf, as CopyOutFile leaves its own.
bool AssembleIntoCopy(DiskState& st, const DosEntry& entry, bool exact, Notices& notices, SectorReads* reads,
                      bool measure) {
  if (reads) {
    reads->push_back(entry.dir_sector);
    reads->insert(reads->end(), entry.extension_sectors.begin(), entry.extension_sectors.end());
    const size_t n = std::min(entry.sectors.size(), static_cast<size_t>(std::max(entry.whole_sectors, 0)));
    reads->insert(reads->end(), entry.sectors.begin(), entry.sectors.begin() + static_cast<ptrdiff_t>(n));
  }
  std::string why;
  const std::vector<uint8_t> bytes = AssembleFile(st.source, entry, exact, &why);
  st.fpb = 0;
  st.Copyfilename = DosName::FromEntry(entry.name.data()).CopyName();
  if ((bytes.empty() && !why.empty()) || bytes.size() > st.copybuf.size()) {
    notices.push_back({exact && entry.size ? DosName::FromEntry(entry.name.data()).Shown() + ": nothing copied: " + why
                                           : std::string(kMsgCopyFailed)});
    return false;
  }
  if (!measure) std::copy(bytes.begin(), bytes.end(), st.copybuf.begin());
  st.fpb = double(bytes.size());
  st.Filename = st.Copyfilename;
  return true;
}

}  // namespace

CopyStatus CopyListedEntry(DiskState& st, const Listing& listing, const ListedEntry& entry, bool exact,
                           Notices& notices, SectorReads* reads, bool measure) {
  st.secnum = entry.sector;
  if (st.secnum < st.dirstartsec || st.secnum > st.direndsec) return CopyStatus::kOutsideDirectory;
  const DosEntry* dos = entry.dos >= 0 ? &listing.dos.entries[static_cast<size_t>(entry.dos)] : nullptr;
  bool copied;
  if (dos && (listing.from_dos || (exact && dos->size))) {
    copied = AssembleIntoCopy(st, *dos, exact, notices, reads, measure);
  } else {
    if (exact) {
      notices.push_back({DosName::FromItem(entry.text).Shown() +
                             ": the disk's DOS gives no size for it: whole sectors are copied",
                         MsgIcon::Exclamation, kProgramTitle});
    }
    copied = CopyOutFile(st, entry.sector, entry.slot, notices, reads, measure);
  }
  return copied ? CopyStatus::kCopied : CopyStatus::kFailed;
}

int64_t DosSizeBeyondCopy(const Listing& listing, const ListedEntry& entry, int64_t copied) {
  if (!DosKnows(listing, entry)) return 0;
  const DosEntry& facts = FactsOf(listing, entry);
  return facts.in_use && facts.size && *facts.size > copied ? *facts.size : 0;
}

const ListedEntry* FindListed(const Listing& listing, int32_t sector, int32_t slot) {
  for (const ListedEntry& e : listing.entries) {
    if (e.sector == sector && e.slot == slot) return &e;
  }
  return nullptr;
}

}  // namespace vornik

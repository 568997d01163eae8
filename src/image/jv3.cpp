// JV3: a table of 2901 sector headers (track, sector, flags) followed by
// the sectors' data in table order. A disk with more sectors continues in
// a second block laid out the same way: another table and write-protect
// byte right after the first block's data, then that block's data.
#include <algorithm>
#include <cstring>
#include <memory>
#include <span>

#include "image/dmk_check.h"
#include "image/formats.h"
#include "image/image_access.h"
#include "image/jv3_blocks.h"
#include "image/jv3_sector.h"
#include "image/layout.h"
#include "image/location_scan.h"

namespace vornik {

namespace {

constexpr int kJv3HeaderBytes = kJv3DataStart;  // a table and its write-protect byte
constexpr int kTrackBytes = 256;                // the index groups entries by their track byte

// Whether all entries of the block starting at `header` are in use (the
// condition for a next block) and, when they are, where its data ends.
// `image` holds the whole table.
struct BlockEnd {
  int64_t data_end = 0;
  bool full = true;
};

BlockEnd EndOfBlock(std::span<const uint8_t> image, int64_t header) {
  BlockEnd end{header + kJv3HeaderBytes, true};
  const uint8_t* table = image.data() + header;
  // Most tables end in free entries: looked at from the back, the answer
  // usually comes at once.
  for (int n = kJv3Entries - 1; n >= 0 && end.full; --n) end.full = table[n * kJv3EntryBytes] != kJv3FreeTrack;
  if (!end.full) return end;
  for (int n = 0; n < kJv3Entries; ++n) {
    const uint8_t* e = table + n * kJv3EntryBytes;
    end.data_end += CheckJv3Entry(e[0], e[2]).data_size;
  }
  return end;
}

bool HeaderFits(std::span<const uint8_t> image, int64_t at) {
  return at + kJv3HeaderBytes <= static_cast<int64_t>(image.size());
}

}  // namespace

Jv3Blocks Jv3BlocksOf(std::span<const uint8_t> image) {
  Jv3Blocks blocks;
  if (!HeaderFits(image, 0)) return blocks;
  const BlockEnd first = EndOfBlock(image, 0);
  if (!first.full || !HeaderFits(image, first.data_end)) return blocks;
  blocks.count = 2;
  blocks.header2 = first.data_end;
  blocks.data2 = first.data_end + kJv3HeaderBytes;
  const BlockEnd second = EndOfBlock(image, blocks.header2);
  blocks.third_unread = second.full && HeaderFits(image, second.data_end);
  return blocks;
}

int64_t Jv3EntryOffset(const Jv3Blocks& blocks, int n) {
  if (n < kJv3Entries) return int64_t{n} * kJv3EntryBytes;
  return blocks.header2 + int64_t{n - kJv3Entries} * kJv3EntryBytes;
}

// Drops runs of `kRun` free entries, all FF, from the end of the first
// `entries` of `table`.
template <int kRun>
static int DropFreeRuns(const uint8_t* table, int entries) {
  constexpr int kWords = kRun * kJv3EntryBytes / int{sizeof(uint64_t)};
  static_assert(kWords * sizeof(uint64_t) == kRun * kJv3EntryBytes);
  while (entries >= kRun) {
    uint64_t w[kWords];
    std::memcpy(w, table + (entries - kRun) * kJv3EntryBytes, sizeof w);
    uint64_t all = ~uint64_t{0};
    for (const uint64_t x : w) all &= x;
    if (all != ~uint64_t{0}) break;
    entries -= kRun;
  }
  return entries;
}

int Jv3EntriesInUse(const uint8_t* table, int entries) {
  // A table is made with its unused entries all FF: 32 of them, 96 bytes,
  // are passed over in one step, then 8.
  entries = DropFreeRuns<8>(table, DropFreeRuns<32>(table, entries));
  while (entries > 0 && table[(entries - 1) * kJv3EntryBytes] == kJv3FreeTrack) --entries;
  return entries;
}

// Where the locator takes entry n's data: 256 bytes for each entry before
// it in its block.
static int64_t Jv3DataOffset(const Jv3Blocks& blocks, int n) {
  if (n < kJv3Entries) return kJv3DataStart + int64_t{kSectorBytes} * n;
  return blocks.data2 + int64_t{kSectorBytes} * (n - kJv3Entries);
}

static std::span<const uint8_t> ImageBytes(const DiskState& st) {
  return {st.diskbuf.data(), static_cast<size_t>(st.fileend)};
}

// Settles a match at entry n: where its data lies, found or past the end.
static void TakeJv3Entry(DiskState& st, const Jv3Blocks& blocks, int n) {
  const int64_t at = Jv3DataOffset(blocks, n);
  st.fpa = double(at);
  if (at >= st.fileend) st.errflg = 1;
}

// Scans the header table for the first entry with the wanted track, sector
// and side. An entry that reaches past the image is no match. Returns false
// when the table ends inside the image's header.
bool FindSectorJv3(DiskState& st) {
  st.secstep = 1;
  int64_t p = 0;
  for (int n = 0;; ++n, p += kJv3EntryBytes) {
    st.fpa = double(p);
    if (p >= st.fileend) {
      st.errflg = 1;
      return false;
    }
    bool match = false;
    if (InImage(st, p + 2)) {  // the whole entry lies in the image
      const uint8_t* entry = st.diskbuf.data() + p;
      if (entry[0] == st.TrkToFind && entry[1] == st.SecToFind) {
        st.datamarkjv = entry[2] & kJv3FlagDirMark;
        match = (entry[2] & kJv3FlagSide1) == st.SideToFind * 16;
      }
    }
    if (match) {
      TakeJv3Entry(st, Jv3Blocks{}, n);
      return true;
    }
    if (n == kJv3Entries - 1) break;
  }
  // The second block, wholly in the image, searched the same way.
  const Jv3Blocks blocks = Jv3BlocksOf(ImageBytes(st));
  for (int n = kJv3Entries; n < blocks.count * kJv3Entries; ++n) {
    p = Jv3EntryOffset(blocks, n);
    st.fpa = double(p);
    const uint8_t* entry = st.diskbuf.data() + p;
    if (entry[0] == st.TrkToFind && entry[1] == st.SecToFind) {
      st.datamarkjv = entry[2] & kJv3FlagDirMark;
      if ((entry[2] & kJv3FlagSide1) == st.SideToFind * 16) {
        TakeJv3Entry(st, blocks, n);
        return true;
      }
    }
  }
  st.errflg = 1;
  return true;
}

// Where a track byte and side keep their entries in the index.
static size_t Jv3Key(int track, int side) { return 2u * static_cast<size_t>(track) + static_cast<size_t>(side); }
static size_t EntryKey(const uint8_t* e) { return Jv3Key(e[0], (e[2] & kJv3FlagSide1) ? 1 : 0); }

constexpr uint16_t kNoPlace = 0xFFFF;

// The entries of block b that lie wholly in the image: all of the second
// block's (its table fits, or there is none); of the first, those before
// the image ends.
static int WholeEntries(const DiskState& st, int b) {
  if (b > 0 || st.fileend >= kJv3DataStart) return kJv3Entries;
  if (st.fileend < kJv3EntryBytes - 1) return 0;
  return (st.fileend - (kJv3EntryBytes - 1)) / kJv3EntryBytes + 1;
}

static const uint8_t* TableOf(const DiskState& st, const Jv3Blocks& blocks, int b) {
  return st.diskbuf.data() + (b == 0 ? 0 : blocks.header2);
}

// Where a walk up to the first free entry stopped: at entry `entry` of
// block `block`, or past the last block.
struct WalkStop {
  int block = 0;
  int entry = 0;
};

// Hands the entries of the header table to f in table order, through the
// blocks, up to the first free one (track byte FF). An entry the image
// ends inside ends the walk when its track byte is there and says free;
// else it throws, as reading it a byte at a time would: on the track
// byte, or on the flags byte behind the sector byte.
template <class F>
static WalkStop WalkToFreeEntry(const DiskState& st, const Jv3Blocks& blocks, F&& f) {
  for (int b = 0; b < blocks.count; ++b) {
    const uint8_t* table = TableOf(st, blocks, b);
    const int whole = WholeEntries(st, b);
    for (int i = 0; i < whole; ++i) {
      const uint8_t* e = table + i * kJv3EntryBytes;
      if (e[0] == kJv3FreeTrack) return {b, i};
      f(e);
    }
    if (whole < kJv3Entries) {
      const int64_t p = Jv3EntryOffset(blocks, b * kJv3Entries + whole);
      if (!InImage(st, p)) ThrowOutside(st, p);
      if (st.diskbuf[static_cast<size_t>(p)] != kJv3FreeTrack) ThrowOutside(st, p + kJv3EntryBytes - 1);
      return {b, whole};
    }
  }
  return {blocks.count, 0};
}

// Entries per track byte and side (at key + 1), and whether they came in
// key order: track by track, side 0 before side 1, as a disk is formatted.
struct KeyCount {
  std::array<uint16_t, 2 * kTrackBytes + 1> count{};
  size_t last_key = 0;
  bool in_order = true;
  void Add(const uint8_t* e) {
    const size_t key = EntryKey(e);
    ++count[key + 1];
    in_order &= key >= last_key;
    last_key = key;
  }
};

// Fills jv3_place for one track byte and side when its sector numbers are
// a whole range, each once; returns the lowest, or -1 (then a lookup walks
// the group for the first match).
static int16_t PlaceSectors(LocatorIndex& ix, size_t key) {
  const uint16_t first = ix.jv3_first[key];
  const int size = ix.jv3_first[key + 1] - first;
  if (size == 0) return -1;
  const LocatorIndex::Jv3Entry* group = ix.jv3_entries.data() + first;
  uint16_t* place = ix.jv3_place.data() + first;
  uint8_t low = 0xFF, high = 0;
  for (int i = 0; i < size; ++i) {
    low = std::min(low, group[i].sector);
    high = std::max(high, group[i].sector);
  }
  if (high - low + 1 != size) return -1;
  for (int i = 0; i < size; ++i) {
    uint16_t& at = place[group[i].sector - low];
    if (at != kNoPlace) return -1;  // a number twice, so another missing
    at = static_cast<uint16_t>(i);
  }
  return low;
}

// The entries FindSectorJv3 can match, grouped by track byte and side in
// table order: those the walk to the first free entry counted in `keys`,
// then those in use behind it. Entries of track byte FF (free ones,
// mostly) are left out: a lookup of track 255 searches. ix.jv3_entries
// comes holding the entries the walk met, in table order.
static void IndexJv3(DiskState& st, const Jv3Blocks& blocks, WalkStop stop, KeyCount keys) {
  LocatorIndex& ix = st.locator;
  const size_t walked = ix.jv3_entries.size();
  const int64_t examined = std::min<int64_t>(kJv3Entries, (int64_t{st.fileend} + kJv3EntryBytes - 1) / kJv3EntryBytes);
  ix.jv3_examined = static_cast<int>(examined);
  ix.jv3_cut = examined < kJv3Entries;
  // The walk counted the entries before the first free one, all among the
  // first used[b] of their block; those in use behind it are counted here.
  // So every entry placed below was counted once.
  std::array<int, 2> used{};
  for (int b = 0; b < blocks.count; ++b) used[b] = Jv3EntriesInUse(TableOf(st, blocks, b), WholeEntries(st, b));
  for (int b = stop.block; b < blocks.count; ++b) {
    const uint8_t* table = TableOf(st, blocks, b);
    for (int i = b == stop.block ? stop.entry + 1 : 0; i < used[b]; ++i)
      if (table[i * kJv3EntryBytes] != kJv3FreeTrack) keys.Add(table + i * kJv3EntryBytes);
  }
  // Keys past the last one in use hold no entries. In key order, that is
  // the last key met.
  std::array<uint16_t, 2 * kTrackBytes + 1>& next = keys.count;
  const size_t keys_used = keys.in_order ? keys.last_key + 1 : ix.jv3_low.size();
  for (size_t k = 0; k < keys_used; ++k) next[k + 1] = static_cast<uint16_t>(next[k + 1] + next[k]);
  std::fill(next.begin() + static_cast<std::ptrdiff_t>(keys_used) + 1, next.end(), next[keys_used]);
  ix.jv3_first = next;
  const size_t listed = next.back();
  // The walk met them all, in key order: its list is the index's.
  const bool taken = keys.in_order && listed == walked;
  if (!taken) {
    ix.jv3_entries.clear();
    ix.jv3_entries.resize(listed);
  }
  // In key order, each entry follows the one before it. The counts cover
  // every entry placed; the bounds are kept all the same, so that a count
  // short of them could only leave an entry out, never write past the list.
  size_t in_order_at = 0;
  bool all_placed = true;
  for (int b = 0; b < blocks.count && !taken; ++b) {
    const uint8_t* table = TableOf(st, blocks, b);
    int64_t data = b == 0 ? kJv3DataStart : blocks.data2;  // the source's data blocks, in table order
    for (int i = 0; i < used[b]; ++i) {
      const uint8_t* e = table + i * kJv3EntryBytes;
      if (e[0] == kJv3FreeTrack) {
        data += Jv3FreeBlockBytes(e[2]);
        continue;
      }
      const auto here = static_cast<uint32_t>(data);
      data += Jv3UsedBlockBytes(e[2]);
      size_t at = in_order_at++;
      if (!keys.in_order) {
        uint16_t& next_at = next[EntryKey(e)];
        at = next_at < ix.jv3_first[EntryKey(e) + 1] ? next_at++ : listed;
      }
      if (at >= listed) {
        all_placed = false;
        continue;
      }
      ix.jv3_entries[at] = {static_cast<uint16_t>(b * kJv3Entries + i), e[1], e[2], here};
    }
  }
  // The sector source reads the same entries of a table the image holds
  // whole, and makes its sectors of these; a shorter table it walks itself.
  ix.jv3_all_listed = st.fileend >= kJv3DataStart && all_placed;
  ix.jv3_place.assign(ix.jv3_entries.size(), kNoPlace);
  for (size_t key = 0; key < keys_used; ++key) ix.jv3_low[key] = PlaceSectors(ix, key);
  std::fill(ix.jv3_low.begin() + static_cast<std::ptrdiff_t>(keys_used), ix.jv3_low.end(), int16_t{-1});
  ix.jv3_blocks = blocks;
  ix.kind = LocatorIndex::Kind::kJv3;
}

// The entries of one track byte and side in table order.
static std::span<const LocatorIndex::Jv3Entry> Jv3Bucket(const LocatorIndex& ix, size_t key) {
  return std::span<const LocatorIndex::Jv3Entry>(ix.jv3_entries).subspan(ix.jv3_first[key], ix.jv3_first[key + 1] - ix.jv3_first[key]);
}

// A lookup's answer from the index entry that matches.
static bool TakeIndexed(DiskState& st, const LocatorIndex::Jv3Entry& e, bool* whole_table) {
  st.datamarkjv = e.flags & kJv3FlagDirMark;
  TakeJv3Entry(st, st.locator.jv3_blocks, e.n);
  *whole_table = true;
  return true;
}

// The rest of a lookup, once a group holding a range of numbers (LookUpJv3)
// has not answered: another group walked for its first match, or what the
// search leaves when the sector is not there.
[[gnu::noinline]] static bool LookUpJv3Group(DiskState& st, bool* whole_table) {
  const LocatorIndex& ix = st.locator;
  const bool track_known = st.TrkToFind >= 0 && st.TrkToFind < kTrackBytes;
  if (track_known && (st.SideToFind == 0 || st.SideToFind == 1)) {
    const size_t key = Jv3Key(st.TrkToFind, st.SideToFind);
    // A range group holds its numbers at their places: LookUpJv3 looked there.
    if (ix.jv3_low[key] < 0) {
      for (const LocatorIndex::Jv3Entry& e : Jv3Bucket(ix, key))
        if (e.sector == st.SecToFind) return TakeIndexed(st, e, whole_table);
    }
  }
  // Not there. The search leaves the directory mark of the last entry of
  // that track and sector, whatever its side.
  if (track_known) {
    int last = -1;
    for (int side = 0; side <= 1; ++side)
      for (const LocatorIndex::Jv3Entry& e : Jv3Bucket(ix, Jv3Key(st.TrkToFind, side)))
        if (e.sector == st.SecToFind && e.n > last) {
          last = e.n;
          st.datamarkjv = e.flags & kJv3FlagDirMark;
        }
  }
  // Where the search stops: at the end of the image inside the table, or on
  // the last entry of the last block.
  st.errflg = 1;
  *whole_table = !ix.jv3_cut;
  const int stop = ix.jv3_cut ? ix.jv3_examined : ix.jv3_blocks.count * kJv3Entries - 1;
  st.fpa = double(ix.jv3_cut ? int64_t{stop} * kJv3EntryBytes : Jv3EntryOffset(ix.jv3_blocks, stop));
  return true;
}

bool LookUpJv3(DiskState& st, bool* whole_table) {
  const LocatorIndex& ix = st.locator;
  if (ix.kind != LocatorIndex::Kind::kJv3 || st.TrkToFind == kJv3FreeTrack) return false;
  st.secstep = 1;
  // A sector of a group that holds a range of numbers, each once: a copy
  // asks for little else.
  if (st.TrkToFind >= 0 && st.TrkToFind < kTrackBytes && (st.SideToFind == 0 || st.SideToFind == 1)) {
    const size_t key = Jv3Key(st.TrkToFind, st.SideToFind);
    const int low = ix.jv3_low[key];
    const unsigned first = ix.jv3_first[key];
    const unsigned at = static_cast<unsigned>(st.SecToFind - low);
    if (low >= 0 && at < ix.jv3_first[key + 1] - first)
      return TakeIndexed(st, ix.jv3_entries[first + ix.jv3_place[first + at]], whole_table);
  }
  return LookUpJv3Group(st, whole_table);
}

// The track bytes of the first four entries agree on a JV3 image.
bool Jv3HasHeader(const DiskState& st) {
  const uint8_t first = ImageByte(st, 0);
  bool ok = true;
  for (int p = 3; p <= 9; p += 3) ok = (ImageByte(st, p) == first) && ok;
  return ok;
}

// Sides, side-0 sectors of each track, and density from the header table,
// up to its first free entry.
void SetJv3Geometry(DiskState& st) {
  st.jv3 = Jv3BlocksOf(ImageBytes(st));
  int prev_track = 0;
  int run = 0;  // entries since the track byte last went up
  // The density is mixed when the entries do not all have entry 0's.
  const int first_flags = ImageByte(st, 2);
  int any_flags = first_flags, all_flags = first_flags, last_flags = -1;
  st.sides = 1;
  WalkToFreeEntry(st, st.jv3, [&](const uint8_t* e) {
    const int track = e[0], flags = e[2];
    const bool side0 = (flags & kJv3FlagSide1) == 0;
    if (!side0) st.sides = 2;
    if (track > prev_track) run = 0;
    // A side-0 entry that does not go back a track gives its track the
    // entries met since the track began.
    if (track >= prev_track && side0) {
      CheckTrackIndex(track, "trkspt");
      st.trkspt[track] = static_cast<int16_t>(run + 1);
    }
    any_flags |= flags;
    all_flags &= flags;
    last_flags = flags;
    prev_track = track;
    ++run;
  });
  const bool mixed = ((any_flags ^ all_flags) & kJv3FlagDouble) != 0;
  st.dens = static_cast<int16_t>(mixed ? 3 : last_flags < 0 ? 0 : (last_flags & kJv3FlagDouble) ? 2 : 1);
  st.spt = st.trkspt[0];
  st.spg = st.spt == 18 ? 6 : 5;
}

// The sectors in table order, up to the first free entry; then the index
// the locator looks sectors up in.
void ScanJv3Directory(DiskState& st) {
  const Jv3Blocks blocks = st.jv3;
  DirectoryScan scan(st, false);
  KeyCount keys;
  int last_track = 1;  // a table without any used entry counts two tracks
  // The entries met, for the index: up to the first free one, each block
  // is in use throughout, so the n-th met is entry n. Kept in a plain
  // array while the walk runs (appending to the index's list there costs
  // some twenty instructions an entry more), then copied over at once.
  const auto met = std::make_unique_for_overwrite<LocatorIndex::Jv3Entry[]>(static_cast<size_t>(blocks.count) * kJv3Entries);
  int n = 0;
  int64_t data = kJv3DataStart;
  const WalkStop stop = WalkToFreeEntry(st, blocks, [&](const uint8_t* e) {
    scan.Add({e[0], e[2] & kJv3FlagSide1, e[1], (e[2] & kJv3FlagDirMark) != 0});
    last_track = e[0];
    keys.Add(e);
    if (n == kJv3Entries) data = blocks.data2;
    met[n] = {static_cast<uint16_t>(n), e[1], e[2], static_cast<uint32_t>(data)};
    data += Jv3UsedBlockBytes(e[2]);
    ++n;
  });
  LocatorIndex& ix = st.locator;
  ix.Clear();
  ix.jv3_entries.assign(met.get(), met.get() + n);
  scan.Finish();
  st.tracks = static_cast<int16_t>(1 + last_track);
  IndexJv3(st, blocks, stop, keys);
}

}  // namespace vornik

// The sector locator's index against the search it stands in for, and the
// sector source against the one made without the scan's searches, on every
// image at hand; the data-mark search; and JV3's second header block.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "image/find_sector.h"
#include "image/image_access.h"
#include "image/jv3_blocks.h"
#include "image/mark_search.h"
#include "support.h"

namespace vornik::testing {
namespace {

// Everything a lookup sets, from the same starting values.
struct Lookup {
  Located located;
  int errflg, secstep, datamark_dmk, datamark_jv;
  double fpa;
  bool operator==(const Lookup&) const = default;
};

Lookup Look(DiskState& st, Located (*locate)(DiskState&), int track, int side, int sector) {
  st.TrkToFind = static_cast<int16_t>(track);
  st.SideToFind = static_cast<int16_t>(side);
  st.SecToFind = static_cast<int16_t>(sector);
  st.fpa = -7;
  st.errflg = 9;
  st.secstep = 9;
  st.datamarkDmk = 77;
  st.datamarkjv = 77;
  const Located located = locate(st);
  return {located, st.errflg, st.secstep, st.datamarkDmk, st.datamarkjv, st.fpa};
}

Disk EightInchDisk();

// The real images, the samples, the fuzz seeds and regressions, a JV3 with
// two header blocks, two with sectors out of order, one with a free entry
// among those in use, one cut inside its table, and a DMK with a sector
// that has no data mark.
std::vector<std::pair<std::string, Bytes>> ImagesAtHand() {
  Disk unmarked = WithEntries(Uniform(40, 1, 18, true), ThreeFiles());
  Sector& no_mark = unmarked.At(7, 0).sectors[4];
  no_mark.mark = kNoMark;
  no_mark.data[0] = no_mark.data[1] = no_mark.data[2] = 0x11;  // nothing there that looks like a mark
  DmkMap map;
  Bytes f9 = ToDmk(WithEntries(Uniform(40, 1, 18, true), ThreeFiles()), {}, &map);
  f9[size_t(map.id[5][0] + 20)] = 0xF9;  // in a gap: the scan passes over it, the sector source takes it
  // A single-density sector whose only mark lies past its window, yet within reach of the scan's search.
  DmkMap fm;
  Bytes late = ToDmk(WithEntries(Uniform(40, 1, 10, false), ThreeFiles()), {}, &fm);
  late[size_t(fm.data[3][2] - 1)] = 0xFF;
  late[size_t(fm.id[3][2] + 40)] = 0xFB;
  // The same on a double-density disk, whose search reaches past a single-density sector's window.
  Disk mixed = WithEntries(Uniform(40, 1, 18, true), ThreeFiles());
  mixed.At(2, 0).sectors[3].double_density = false;
  mixed.At(2, 0).sectors[3].mark_distance = 40;
  // Sectors stored out of order on track 3; on track 4 one number twice and one missing.
  Disk shuffled = WithEntries(Uniform(40, 1, 18, true), ThreeFiles());
  std::reverse(shuffled.At(3, 0).sectors.begin(), shuffled.At(3, 0).sectors.end());
  shuffled.At(4, 0).sectors[5].number = shuffled.At(4, 0).sectors[9].number;
  // A sector of track 0 stored last, behind every other track's: the
  // table's last entry is not of its highest track.
  Bytes track0_last = ToJv3(WithEntries(Uniform(40, 1, 18, true), ThreeFiles()));
  constexpr size_t kMoved = 5, kLast = 40 * 18 - 1, kData = 0x2200;
  std::swap_ranges(track0_last.begin() + kMoved * 3, track0_last.begin() + kMoved * 3 + 3, track0_last.begin() + kLast * 3);
  std::swap_ranges(track0_last.begin() + kData + kMoved * 256, track0_last.begin() + kData + kMoved * 256 + 256,
                   track0_last.begin() + kData + kLast * 256);
  // Records whose last sector's data CRC ends on the record's last byte.
  DmkMap dd;
  ToDmk(WithEntries(Uniform(40, 1, 18, true), ThreeFiles()), {}, &dd);
  const Bytes flush = ToDmk(WithEntries(Uniform(40, 1, 18, true), ThreeFiles()),
                            {.track_length = int(dd.data[0].back() - 16 + 256 + 2)});
  // Pointer tables at their limits: track 2's 32 entries all in use (the
  // last 14 again those of its first sectors); track 3's 18th entry 8000,
  // a double-density bit with no offset (its first entry made single
  // density, so that a field read at offset 0 has a track number in range).
  Bytes tables = ToDmk(WithEntries(Uniform(40, 1, 18, true), ThreeFiles()));
  const auto table = [&](int track) { return tables.begin() + 16 + 6400 * track; };
  std::copy_n(table(2), 2 * 14, table(2) + 2 * 18);
  PutLe16(tables, size_t(table(3) - tables.begin()) + 2 * 17, 0x8000);
  table(3)[1] &= 0x7F;
  // A JV3 entry freed mid-table, its block (128 bytes by its flags) kept in place.
  Bytes freed = ToJv3(WithEntries(Uniform(40, 1, 18, true), ThreeFiles()));
  std::fill_n(freed.begin() + 100 * 3, 3, uint8_t{0xFF});
  freed[100 * 3 + 2] = 0xFE;
  // A JV3 that ends inside its table, behind a free entry, with a sector
  // whose flags byte lies just past the end of the file.
  const Bytes cut_table{0, 0, 0, 0, 1, 0, 0, 2, 0, 0, 3, 0, 0xFF, 0xFF, 0xFF, 0, 5};
  std::vector<std::pair<std::string, Bytes>> images{{"two-block JV3", ToJv3(EightInchDisk())},
                                                    {"JV3 entry freed mid-table", freed},
                                                    {"JV3 cut inside its table", cut_table},
                                                    {"DMK sectors ending their records", flush},
                                                    {"DMK pointer tables at their limits", tables},
                                                    {"JV3 sectors out of order", ToJv3(shuffled)},
                                                    {"JV3 track 0 sector stored last", track0_last},
                                                    {"unmarked DMK sector", ToDmk(unmarked)},
                                                    {"F9 in a DMK gap", f9},
                                                    {"late single-density mark", late},
                                                    {"late single-density mark among double", ToDmk(mixed)}};
  for (const char* dir : {VORNIK_REAL_IMAGES, VORNIK_SAMPLES_DIR, VORNIK_FUZZ_DIR "/seeds", VORNIK_FUZZ_DIR "/regressions"}) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
      if (e.is_regular_file() && e.path().extension() != ".md" && e.path().extension() != ".jsonl")
        images.emplace_back(e.path().string(), ReadBytes(e.path()));
  }
  return images;
}

TEST(Locator, IndexGivesWhatTheSearchGivesOnEveryImageAtHand) {
  int compared = 0;
  for (const auto& [name, bytes] : ImagesAtHand()) {
    auto o = OpenBytes(bytes);
    DiskState& st = o->st;
    if (st.filetype.empty() || st.jv1 == 1) continue;
    ++compared;
    // The sector source took the scan's data-mark searches: it is the one it makes alone.
    const SectorSource alone(std::span<const uint8_t>(st.diskbuf.data(), size_t(st.fileend)),
                             {st.dmkflag == 1 ? ImageFormat::kDmk : ImageFormat::kJv3, st.sides, st.trkindex});
    ASSERT_TRUE(std::ranges::equal(alone.Sectors(), st.source.Sectors())) << name;
    // Each track side's run and lookup by number, against the list itself.
    int tracks = 0, sides = 1;
    for (const StoredSector& s : alone.Sectors()) tracks = std::max(tracks, s.track + 1), sides = std::max(sides, s.side + 1);
    ASSERT_EQ(std::pair(st.source.Tracks(), st.source.Sides()), std::pair(tracks, sides)) << name;
    for (int track = 0; track < tracks; ++track)
      for (int side = 0; side < 2; ++side) {
        std::vector<StoredSector> run;
        for (const StoredSector& s : alone.Sectors())
          if (s.track == track && s.side == side) run.push_back(s);
        ASSERT_TRUE(std::ranges::equal(st.source.OnTrack(track, side), run)) << name << " track " << track;
        for (const StoredSector& s : run)
          ASSERT_EQ(*st.source.Find(track, side, s.id), *std::ranges::find(run, s.id, &StoredSector::id)) << name;
      }
    for (int track = -1; track <= st.tracks + 1; ++track)
      for (int side = 0; side <= 2; ++side)
        for (const int sector : {0, 1, 2, 3, 4, 5, 9, 10, 17, 18, 25, 26, 35, 36, 128, 255, 256}) {
          const Lookup indexed = Look(st, FindSector, track, side, sector);
          const Lookup searched = Look(st, SearchSector, track, side, sector);
          ASSERT_EQ(indexed, searched) << name << ": track " << track << " side " << side << " sector " << sector;
        }
  }
  EXPECT_GE(compared, 10);
}

// The locator's data-mark search in a DMK gap: F9 is no data mark to it,
// and a search that runs off the end of the file ends the open.
TEST(Locator, DmkGapRules) {
  Disk disk = WithEntries(Uniform(40, 1, 18, true), ThreeFiles());
  DmkMap map;
  const Bytes clean = ToDmk(disk, {}, &map);
  Bytes f9 = clean;
  f9[size_t(map.id[5][0] + 20)] = 0xF9;  // in the gap of README/TXT's first sector
  auto o = OpenBytes(f9);
  ASSERT_TRUE(o->Copy("README", "TXT"));
  EXPECT_EQ(o->Copied(), SectorsOf(disk, Range(disk.TrackStart(5), disk.TrackStart(5) + 4)));

  Bytes cut = clean;
  cut.resize(size_t(map.id[39].back() + 20));  // inside the last sector's gap
  auto c = OpenBytes(cut);
  EXPECT_EQ(c->out.kind, OpenKind::kDamaged);
  EXPECT_NE(c->out.detail.find("outside the image"), std::string::npos) << c->out.detail;
}

// The many-bytes-at-a-time search against one byte at a time: every start
// and end in a buffer of gap bytes with marks strewn about, F9 taken or not.
TEST(Locator, MarkSearchFindsTheFirstMarkInItsWindow) {
  Bytes d(80, 0x4E);
  for (const auto& [at, b] : {std::pair{3, 0xF9}, {17, 0xFC}, {18, 0xFB}, {33, 0xF9}, {47, 0xFA}, {63, 0xF8}, {79, 0xFB}})
    d[size_t(at)] = uint8_t(b);
  for (const bool f9 : {false, true}) {
    for (int64_t from = 0; from < 80; ++from) {
      for (int64_t to = from - 1; to < 80; ++to) {
        int64_t want = -1;
        for (int64_t i = from; i <= to && want < 0; ++i)
          if ((d[size_t(i)] & 0xFC) == 0xF8 && (f9 || d[size_t(i)] != 0xF9)) want = i;
        ASSERT_EQ(FindDataMarkIn(d.data(), from, to, f9), want) << from << ".." << to << " f9 " << f9;
        if (f9 && to == from + kDmkHorizonBytes - 1) {
          ASSERT_EQ(FindMarkFamilyInHorizon(d.data() + from), want < 0 ? kDmkHorizonBytes : want - from) << from;
        }
      }
    }
  }
}

// The bounds test of the sector last located against the rounded offset it
// stands for: whole offsets and stray halves around both ends of the image.
TEST(Locator, SectorBytesInImageAsTheRoundedOffsetSays) {
  DiskState st;
  st.fileend = 1001;
  for (const int step : {1, 2}) {
    for (const auto& [first, count] : {std::pair{0, 256}, {5, 32}, {224, 32}}) {
      for (double fpa = -600; fpa <= 1001; fpa += 0.5) {
        st.secstep = int16_t(step);
        st.fpa = fpa;
        const int64_t from = AsIndex(fpa) + int64_t{step} * first;
        const bool want = from >= 0 && from + int64_t{step} * (count - 1) < st.fileend;
        ASSERT_EQ(SectorBytesInImage(st, first, count), want) << fpa << " step " << step << " from " << first;
      }
    }
  }
}

// The trim of free entries behind the last one in use, which skips runs of
// FF bytes, against one entry at a time: a used entry or a free one that is
// not all FF at every place around the runs of eight.
TEST(Locator, TrimOfFreeJv3EntriesStopsAtTheLastOneInUse) {
  for (const int entries : {0, 1, 7, 8, 9, 16, 17, 40}) {
    for (int used = -1; used < entries; ++used) {
      for (const Bytes& last : {Bytes{5, 1, 0}, Bytes{0, 0xFF, 0xFF}, Bytes{0xFF, 0, 0xFF}}) {
        Bytes table(size_t(entries) * 3, 0xFF);
        if (used >= 0) std::copy(last.begin(), last.end(), table.begin() + used * 3);
        int want = entries;
        while (want > 0 && table[size_t(want - 1) * 3] == 0xFF) --want;
        ASSERT_EQ(Jv3EntriesInUse(table.data(), entries), want) << entries << " entries, " << used;
      }
    }
  }
}

// ---- JV3 with two header blocks ---------------------------------------------

// An 8-inch double-sided double-density disk: 77 tracks of 26 sectors a side
// (4,004 sectors), a file on track 5 in the first block and one on track 70
// in the second.
Disk EightInchDisk() {
  return WithEntries(Uniform(77, 2, 26, true),
                     {{0x10, "LOW", "DAT", 10, {Slot(5, 0, 2)}}, {0x10, "HIGH", "DAT", 10, {Slot(70, 0, 2)}}});
}

TEST(Jv3SecondBlock, ListsAndCopiesBothBlocks) {
  Disk disk = EightInchDisk();
  const Bytes jv3 = ToJv3(disk);
  ASSERT_EQ(jv3.size(), 2u * 0x2200 + 4004u * 256);  // two tables
  auto o = OpenBytes(jv3);
  ASSERT_EQ(o->out.kind, OpenKind::kListed);
  EXPECT_EQ(o->st.tracks, 77);
  EXPECT_EQ(o->st.source.Sectors().size(), 4004u);  // the DOS layer and the check see both blocks
  EXPECT_EQ(o->Items(), (std::vector<std::string>{"HIGH     DAT", "LOW      DAT"}));
  for (const auto& [name, track] : {std::pair{"HIGH", 70}, {"LOW", 5}}) {
    ASSERT_TRUE(o->Copy(name, "DAT"));
    EXPECT_EQ(o->Copied(), SectorsOf(disk, Range(disk.TrackStart(track), disk.TrackStart(track) + 9))) << name;
  }
}

// When a second block is read, and when the image says more than is read.
TEST(Jv3SecondBlock, IsReadOnlyBehindAFullFirstBlockAndAWholeTable) {
  constexpr size_t kTable = 0x2200, kEntries = 2901, kData = kEntries * 256;
  auto block = [&](bool full) {
    Bytes b(kTable + kData, 0xE5);
    for (size_t n = 0; n < kEntries; ++n) {
      b[3 * n] = full || n < 100 ? uint8_t(n % 20 / 10) : 0xFF;  // tracks 0 and 1, 10 sectors each
      b[3 * n + 1] = uint8_t(n % 10);
      b[3 * n + 2] = b[3 * n] == 0xFF ? 0xFF : 0x00;  // 256-byte blocks, used or free
    }
    return b;
  };
  const Bytes table_only(kTable, 0x01);
  struct Case {
    const char* label;
    Bytes image;
    int count;
    bool third;
  } cases[] = {
      {"one block", block(true), 1, false},
      {"a free entry in the first", Cat(block(false), block(true)), 1, false},
      {"second table cut short", Cat(block(true), Bytes(kTable - 1, 0x01)), 1, false},
      {"two blocks", Cat(block(true), block(false)), 2, false},
      {"a third table follows", Cat(block(true), block(true), table_only), 2, true},
      {"after two full blocks, a cut table", Cat(block(true), block(true), Bytes(kTable - 1, 0x01)), 2, false},
  };
  for (const Case& c : cases) {
    const Jv3Blocks b = Jv3BlocksOf(c.image);
    EXPECT_EQ(b.count, c.count) << c.label;
    EXPECT_EQ(b.third_unread, c.third) << c.label;
    EXPECT_EQ(OpenBytes(c.image)->out.listing.unread_block, c.third) << c.label;  // and the listing says so
    if (c.count == 2) {
      EXPECT_EQ(b.header2, int64_t(kTable + kData)) << c.label;
      EXPECT_EQ(Jv3EntryOffset(b, 2901), b.header2) << c.label;
    }
  }
}

}  // namespace
}  // namespace vornik::testing

// Opening images through the core: built disks of every layout read back
// whole (geometry, summary, names, every file's bytes and every sector as the
// DOS layer sees it), where the scan puts the directory, the Newdos/80 mark,
// refusals, and files cut short.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "directory/dos_name.h"
#include "image/read_disk_image.h"
#include "state/disk_error.h"
#include "support.h"

namespace vornik::testing {
namespace {

// ---- round trip: built layout -> geometry, summary, names, file bytes ------

struct RoundTrip {
  const char* label;
  std::function<Disk()> make;  // ThreeFiles' entries, each 5 sectors from the start of its track
  Fmt fmt;
  DmkOptions dmk;
  const char* summary;
  int sides, dirstart, dirend;
};
void PrintTo(const RoundTrip& c, std::ostream* os) { *os << c.label; }

// ThreeFiles on `l` with the directory on the whole of track 17, side `side`.
Disk DirOn(Layout l, int side = 0, std::function<void(Disk&)> quirk = {}) {
  Disk d = WithEntries(l, ThreeFiles(), 17, side);
  if (quirk) quirk(d);
  return d;
}
Layout Mixed(TrackLayout track0) {
  Layout l = Uniform(40, 1, 18, true);
  l.overrides = {{0, track0}};
  return l;
}
Disk Jv1Disk(int tracks) { return Jv1With(ThreeFiles(), tracks); }

// Where real DMK files keep their sectors: ID marks elsewhere on a track, data
// marks anywhere in the window after the ID field (with mark bytes in the data
// where a fixed window looked), a sector number twice (the lower slot counts),
// an F8 directory mark, track 0 in doubled single density on both sides.
Disk DmkQuirks() {
  Layout l = Uniform(40, 2, 18, true);
  l.overrides = {{0, {10, false, true}}};
  return DirOn(l, 0, [](Disk& d) {
    d.At(5, 0).first_id = 400;
    const int distances[] = {33, 45, 46, 33};
    for (int i = 0; i < 4; ++i) d.At(5, 0).sectors[size_t(i + 1)].mark_distance = distances[i];
    for (int k = 7; k <= 12; ++k) d.At(5, 0).sectors[4].data[size_t(k)] = kMarkDir;
    d.At(6, 0).sectors[7].number = 3;
    d.At(17, 0).sectors[2].mark = kMarkDirAlt;
  });
}

const char kSd40[] = " 40 Track   S/Density  S/Sided  Sec/Cyl. = 10 ( 10 * 1)   Spg = 5";
const char kDd40[] = " 40 Track   D/Density  S/Sided  Sec/Cyl. = 18 ( 18 * 1)   Spg = 6";
const char kDs40[] = " 40 Track   D/Density  D/Sided  Sec/Cyl. = 36 ( 18 * 2)   Spg = 6";

const RoundTrip kRoundTrips[] = {
    {"jv1_80_tracks", [] { return Jv1Disk(80); }, Fmt::kJv1, {},
     " 80 Track   S/Density  S/Sided  Sec/Cyl. = 10 ( 10 * 1)   Spg = 5", 1, 170, 179},
    {"jv1_39_tracks_counts_40", [] { return Jv1Disk(39); }, Fmt::kJv1, {}, kSd40, 1, 170, 179},
    {"jv1_41_tracks", [] { return Jv1Disk(41); }, Fmt::kJv1, {},
     " 41 Track   S/Density  S/Sided  Sec/Cyl. = 10 ( 10 * 1)   Spg = 5", 1, 170, 179},
    {"jv3_ss_sd", [] { return DirOn(Uniform(40, 1, 10, false)); }, Fmt::kJv3, {}, kSd40, 1, 170, 179},
    {"jv3_ds_dd", [] { return DirOn(Uniform(40, 2, 18, true)); }, Fmt::kJv3, {}, kDs40, 2, 612, 629},
    {"jv3_ds_dd_directory_on_side_1", [] { return DirOn(Uniform(40, 2, 18, true), 1); }, Fmt::kJv3, {}, kDs40, 2, 630,
     647},
    {"jv3_side_0_stored_first", [] { return DirOn(Uniform(40, 2, 18, true)); }, Fmt::kJv3SideMajor, {},
     " 40 Track   D/Density  D/Sided  Sec/Cyl. = 36 ( 18 * 2)   Spg = 6", 2, 306, 323},
    {"jv3_mixed", [] { return DirOn(Mixed({10, false, false})); }, Fmt::kJv3, {},
     " 40 Track   Dual/Density  S/Sided  Sec/Cyl. = 10 ( 10 * 1)   Spg = 5", 1, 298, 315},
    {"jv3_numbered_from_1", [] { return DirOn(Uniform(40, 1, 10, false, 1)); }, Fmt::kJv3, {}, kSd40, 1, 170, 179},
    {"dmk_ss_dd", [] { return DirOn(Uniform(40, 1, 18, true)); }, Fmt::kDmk, {}, kDd40, 1, 306, 323},
    {"dmk_ss_sd_3264", [] { return DirOn(Uniform(35, 1, 10, false)); }, Fmt::kDmk, {},
     " 35 Track   S/Density  S/Sided  Sec/Cyl. = 10 ( 10 * 1)   Spg = 5", 1, 170, 179},
    {"dmk_ds_dd", [] { return DirOn(Uniform(40, 2, 18, true)); }, Fmt::kDmk, {}, kDs40, 2, 612, 629},
    {"dmk_ds_dd_directory_on_side_1", [] { return DirOn(Uniform(40, 2, 18, true), 1); }, Fmt::kDmk, {}, kDs40, 2, 630,
     647},
    {"dmk_numbered_from_1", [] { return DirOn(Uniform(40, 1, 18, true, 1)); }, Fmt::kDmk, {}, kDd40, 1, 306, 323},
    {"dmk_doubled_single_density", [] { return DirOn(DoubledSd()); }, Fmt::kDmk, {},
     " 40 Track   D/Density  S/Sided  Sec/Cyl. = 10 ( 10 * 1)   Spg = 6", 1, 170, 179},
    {"dmk_track0_doubled_sd", [] { return DirOn(Mixed({10, false, true})); }, Fmt::kDmk, {},
     " 40 Track   D/Density  S/Sided  Sec/Cyl. = 10 ( 10 * 1)   Spg = 6", 1, 298, 315},
    {"dmk_track0_five_sd", [] { return DirOn(Mixed({5, false, false})); }, Fmt::kDmk, {},
     " 40 Track   D/Density  S/Sided  Sec/Cyl. = 5 ( 5 * 1)   Spg = 6", 1, 293, 310},
    // Track lengths other writers use: double-density class from 0x1800 on.
    {"dmk_length_18EA", [] { return DirOn(Uniform(40, 1, 18, true)); }, Fmt::kDmk, {0x18EA}, kDd40, 1, 306, 323},
    {"dmk_length_0D00", [] { return DirOn(Uniform(40, 1, 10, false)); }, Fmt::kDmk, {0x0D00}, kSd40, 1, 170, 179},
    {"dmk_directory_short_gap",
     [] { return DirOn(Uniform(40, 1, 18, true), 0, [](Disk& d) { for (Sector& s : d.At(17, 0).sectors) s.mark_distance = 33; }); },
     Fmt::kDmk, {}, kDd40, 1, 306, 323},
    {"dmk_directory_ids_elsewhere",
     [] { return DirOn(Uniform(40, 1, 18, true), 0, [](Disk& d) { d.At(17, 0).first_id = 360; d.At(17, 0).gap = 20; }); },
     Fmt::kDmk, {}, kDd40, 1, 306, 323},
    // Track 0's ID offsets land in data bytes of 1 on tracks 1..9: the
    // header, not those bytes, tells the sides.
    {"dmk_side_bytes_misleading",
     [] {
       return DirOn(Uniform(40, 1, 18, true), 0, [](Disk& d) {
         d.At(0, 0).first_id = 300;
         for (int t = 1; t <= 9; ++t)
           for (Sector& s : d.At(t, 0).sectors) s.data.fill(0x01);
       });
     },
     Fmt::kDmk, {}, kDd40, 1, 306, 323},
    {"dmk_quirks", DmkQuirks, Fmt::kDmk, {},
     " 40 Track   D/Density  D/Sided  Sec/Cyl. = 20 ( 10 * 2)   Spg = 6", 2, 596, 613},
};

class RoundTripTest : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(RoundTripTest, ReadsBackWhatWasBuilt) {
  const RoundTrip& c = GetParam();
  Disk d = c.make();
  const Bytes bytes = Serialize(d, c.fmt, c.dmk);
  auto o = OpenBytes(bytes);
  ASSERT_EQ(o->out.kind, OpenKind::kListed) << o->out.detail;
  EXPECT_TRUE(o->notices.empty());
  const char* format = c.fmt == Fmt::kJv1 ? "JV1" : c.fmt == Fmt::kDmk ? "DMK" : "JV3";
  EXPECT_EQ(o->out.listing.filetype, format);
  EXPECT_EQ(o->out.listing.summary, c.summary);
  EXPECT_FALSE(o->out.listing.newdos);
  EXPECT_EQ(o->st.sides, c.sides);
  EXPECT_EQ(o->st.dirstartsec, c.dirstart);
  EXPECT_EQ(o->st.direndsec, c.dirend);
  EXPECT_EQ(o->st.diskbuf.size(), bytes.size() + 1);
  EXPECT_EQ(o->st.diskbuf.back(), 0);
  ASSERT_EQ(o->Items(), (std::vector<std::string>{"HELLO    BAS", "HELLO    CMD", "README   TXT"}));
  const std::pair<const char*, int> files[] = {{"README", 5}, {"BAS", 6}, {"CMD", 7}};
  for (const auto& [name, track] : files) {
    const bool readme = std::string(name) == "README";
    ASSERT_TRUE(o->Copy(readme ? "README" : "HELLO", readme ? "TXT" : name)) << name;
    EXPECT_EQ(o->Copied(), SectorsOf(d, Range(d.TrackStart(track), d.TrackStart(track) + 4))) << name;
  }
  const SectorSource& source = o->st.source;
  ASSERT_EQ(source.Sectors().size(), size_t(d.LogicalCount()));
  for (int l = 0; l < d.LogicalCount(); ++l) {
    const Sector& want = d.Find(d.Logical(l).track, d.Logical(l).side, d.Logical(l).number);
    const StoredSector* s = source.Find(want.track, want.side, want.number);
    std::array<uint8_t, 256> got{};
    ASSERT_TRUE(s && source.Read(*s, got) == 256u) << l;
    EXPECT_EQ(got, want.data) << l;
    EXPECT_EQ(s->dir_mark, want.mark == kMarkDir || want.mark == kMarkDirAlt) << l;
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, RoundTripTest, ::testing::ValuesIn(kRoundTrips),
                         [](const auto& info) { return std::string(info.param.label); });

// ---- where the scan puts the directory -----------------------------------

struct RangeCase {
  const char* label;
  Fmt fmt;
  Layout layout;
  std::vector<int> marked, entry_sectors;  // logical sectors; one entry in slot 0 of each
  int dirstart, dirend;
  std::set<std::pair<int, int>> listed;
};
void PrintTo(const RangeCase& c, std::ostream* os) { *os << c.label; }

Layout WideTrack17() {
  Layout l = Uniform(40, 1, 10, false);
  l.overrides = {{17, {40, true, false}}};
  return l;
}

const RangeCase kRanges[] = {
    // Both sides of track 17 marked (612..629 side 0, 630.. side 1): all count.
    {"jv3_both_sides", Fmt::kJv3, Uniform(40, 2, 18, true), Range(612, 633),
     {614, 629, 631, 633}, 612, 633, {{614, 0}, {629, 0}, {631, 0}, {633, 0}}},
    {"dmk_both_sides", Fmt::kDmk, Uniform(40, 2, 18, true), Range(612, 633),
     {614, 629, 631, 633}, 612, 633, {{614, 0}, {629, 0}, {631, 0}, {633, 0}}},
    // The third sector read carries an ordinary mark: the walk stops there.
    {"dmk_stops_early", Fmt::kDmk, Uniform(40, 1, 18, true), Cat(Range(306, 308), Range(310, 323)), {308, 310}, 306,
     322, {{308, 0}}},
    // A directory running over a track boundary starts at its lowest start.
    {"jv3_over_track_boundary", Fmt::kJv3, Uniform(40, 1, 10, false), Range(175, 184), {177, 181}, 175, 184,
     {{177, 0}, {181, 0}}},
    {"dmk_over_track_boundary", Fmt::kDmk, Uniform(40, 1, 10, false), Range(175, 184), {177, 181}, 175, 184,
     {{177, 0}, {181, 0}}},
    // A whole marked cylinder is a directory; more marks than a directory
    // of one HIT can have are none.
    {"dmk_whole_cylinder", Fmt::kDmk, Uniform(40, 2, 18, true), Range(612, 647), {614, 640}, 612, 647,
     {{614, 0}, {640, 0}}},
    {"jv3_34_marks", Fmt::kJv3, Uniform(40, 1, 10, false), Range(170, 203), {172, 203}, 170, 203, {{172, 0}, {203, 0}}},
    {"dmk_35_marks_single_sided", Fmt::kDmk, Uniform(40, 1, 18, true), Range(306, 340), {308}, 306, 305, {}},
    // An entry code names at most 32 entry sectors: the walk reads no more.
    {"jv3_walk_stops_at_32_entry_sectors", Fmt::kJv3, WideTrack17(), Range(170, 209), {203, 204}, 170, 209,
     {{203, 0}}},
    {"jv3_no_marks", Fmt::kJv3, Uniform(40, 1, 10, false), {}, {172}, 0, -1, {}},
    {"dmk_from_1_no_marks", Fmt::kDmk, Uniform(40, 1, 18, true, 1), {}, {308}, 0, -1, {}},
};

class DirectoryRange : public ::testing::TestWithParam<RangeCase> {};

TEST_P(DirectoryRange, StartEndAndListedEntries) {
  const RangeCase& c = GetParam();
  Disk d = MakeDisk(c.layout);
  for (int s = 0; s < d.LogicalCount(); ++s) FillPattern(d, s);
  for (int s : c.marked) {
    d.Logical(s).mark = kMarkDir;
    d.Logical(s).data.fill(0);
  }
  int n = 0;
  for (int s : c.entry_sectors) PutEntry(d, s, 0, {0x10, "F" + std::to_string(n++), "DAT", 1, {Slot(5, 0, 1)}});
  auto o = OpenBytes(Serialize(d, c.fmt));
  ASSERT_EQ(o->out.kind, OpenKind::kListed) << o->out.detail;
  EXPECT_EQ(o->st.dirstartsec, c.dirstart);
  EXPECT_EQ(o->st.direndsec, c.dirend);
  EXPECT_EQ(o->Places(), c.listed);
  EXPECT_EQ(o->out.listing.cut, c.dirend - c.dirstart + 1 > 34);
}

INSTANTIATE_TEST_SUITE_P(Disks, DirectoryRange, ::testing::ValuesIn(kRanges),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(DirectoryWalk, ListsUsedEntriesOfSectors172To179) {
  Disk d = Jv1With({});
  struct Put {
    int logsec, slot;
    uint8_t attr;
    const char* name;
    bool listed;
  } puts[] = {{171, 0, 0x10, "HIT", false},   {172, 0, 0x10, "SYS0", true}, {172, 1, 0x00, "GONE", false},
              {172, 2, 0x90, "EXTENT", false}, {172, 3, 0x80, "HIGH", true}, {172, 7, 0x08, "EIGHT", true},
              {174, 2, 0x10, "ZED", true},     {177, 5, 0x10, "zed", true},  {179, 6, 0x10, "LAST", true}};
  std::set<std::pair<int, int>> want;
  for (const Put& p : puts) {
    PutEntry(d, p.logsec, p.slot, {p.attr, p.name, "SYS", 1, {Slot(5, 0, 1)}});
    if (p.listed) want.insert({p.logsec, p.slot});
  }
  auto o = OpenBytes(ToJv1(d));
  EXPECT_EQ(o->Places(), want);
  EXPECT_EQ(o->Items(), (std::vector<std::string>{"EIGHT    SYS", "HIGH     SYS", "LAST     SYS", "SYS0     SYS",
                                                  "ZED      SYS", "zed      SYS"}));
  // The two lists stay in step: the lower-case twin sorts after its equal.
  EXPECT_EQ(o->list1.ItemData(5), 177);
  EXPECT_EQ(o->list2.ItemData(5), 5);
}

// Entries sharing a directory sector and slot (an odd DOS directory) are
// found together, and each leads to the first of them.
TEST(DirectoryWalk, EntriesOfOnePlaceAndTheFirstOfThem) {
  const std::pair<int32_t, int32_t> places[] = {{172, 0}, {172, 1}, {172, 0}, {170, 7}, {172, 1}, {-1, 0}};
  std::vector<ListedEntry> entries;
  for (const auto& [sector, slot] : places) {
    ListedEntry& e = entries.emplace_back();
    e.sector = sector;
    e.slot = slot;
  }
  const ListedIndex index = IndexListed(entries);
  EXPECT_EQ(FirstAlike(index), (std::vector<uint32_t>{0, 1, 0, 3, 1, 5}));
  const struct {
    int32_t sector, slot;
    std::vector<uint32_t> at;
  } finds[] = {{172, 0, {0, 2}}, {172, 1, {1, 4}}, {170, 7, {3}}, {-1, 0, {5}}, {171, 0, {}}, {172, 2, {}}};
  for (const auto& f : finds) {
    std::vector<uint32_t> at;
    for (const auto& [key, place] : ListedAt(index, f.sector, f.slot)) at.push_back(place);
    EXPECT_EQ(at, f.at) << f.sector << "/" << f.slot;
  }
}

// A name three ways, and back from its list text.
TEST(DosName, ListTextFrameAndCopyNames) {
  const struct {
    const char *entry, *item, *shown, *copy;
  } cases[] = {{"PROG    CMD", "PROG     CMD", "PROG/CMD", "PROG.CMD"},
               {"MY FILE TXT", "MY FILE  TXT", "MY/FILETXT", "MYFILE.TXT"},
               {"README     ", "README      ", "README/", "README."},
               {"ABCDEFGHXYZ", "ABCDEFGH XYZ", "ABCDEFGH/XYZ", "ABCDEFGH.XYZ"},
               {" LEAD    E ", " LEAD     E ", "/LEADE", "LEAD.E"},
               {"           ", "            ", "/", "."}};
  for (const auto& c : cases) {
    const DosName name = DosName::FromEntry(reinterpret_cast<const uint8_t*>(c.entry));
    EXPECT_EQ(name.ItemText(), c.item);
    const DosName back = DosName::FromItem(c.item);
    EXPECT_EQ(back.Shown(), c.shown) << c.item;
    EXPECT_EQ(back.CopyName(), c.copy) << c.item;
    const std::string cut(c.item, 10);  // a short text reads as one padded with blanks
    EXPECT_EQ(DosName::FromItem(cut).ItemText(), DosName::FromItem(cut + "  ").ItemText());
  }
}

TEST(SortedList, Collation) {
  const struct {
    const char *a, *b;
    int sign;
  } cases[] = {{"abc", "ABC", 0},  {"a", "B", -1},   {"_", "a", 1},      {"[", "b", 1},
               {"Z", "\xE9", -1}, {"z", "\x80", -1}, {"AB", "ABC", -1}, {"A ", "A!", -1}};
  for (const auto& c : cases) {
    const int r = SortedList::Compare(c.a, c.b);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
  }
  SortedList l;
  for (const char* t : {"beta", "ALPHA", "BETA", "alpha"}) l.AddItem(t);
  EXPECT_EQ(l.NewIndex(), 1);
  EXPECT_EQ(l.List(0) + l.List(1) + l.List(2) + l.List(3), "ALPHAalphabetaBETA");
  EXPECT_EQ(l.Given(0), -1);  // added one by one
  SortedList filled;  // added all at once: the same order and the same NewIndex
  const std::vector<std::pair<std::string, int32_t>> six = {{"beta", 1}, {"\xE9", 5}, {"ALPHA", 2},
                                                            {"_", 6},    {"BETA", 3},  {"alpha", 4}};
  filled.Fill(six);
  SortedList twin;  // the same texts, other data
  twin.FillLike(filled, {11, 15, 12, 16, 13, 14});
  for (const SortedList* l : {&filled, &twin}) {
    EXPECT_EQ(l->NewIndex(), 1);
    std::string all;
    for (int i = 0; i < l->ListCount(); ++i) all += l->List(i);
    EXPECT_EQ(all, "ALPHAalphabetaBETA_\xE9");
    EXPECT_EQ(l->ItemData(3) % 10, 3);
    EXPECT_EQ(l->ItemData(5) % 10, 5);
    for (int i = 0; i < l->ListCount(); ++i) EXPECT_EQ(six.at(size_t(l->Given(i))).second, l->ItemData(i) % 10);
  }
  // Fill sorts as AddItem places, short texts and long ones alike.
  std::vector<std::string> texts = {std::string("A\0", 2), "A", std::string("A\0B", 3), "abcdefgh" "ABCDEFGH",
                                    "ABCDEFGH" "abcdefg\xFF", "ABCDEFGH" "ABCDEFGH", "`", "{", "@", "\xE1", "\xFB"};
  for (const auto& c : cases) texts.insert(texts.end(), {c.a, c.b});
  texts.push_back("ABCDEFGH" "abcdefgh!");
  for (const size_t count : {texts.size() - 1, texts.size()}) {  // the last text is 17 bytes
    SortedList added, all;
    std::vector<std::pair<std::string, int32_t>> given;
    for (size_t i = 0; i < count; ++i) added.AddItem(texts[i]), given.emplace_back(texts[i], 0);
    all.Fill(given);
    EXPECT_EQ(all.NewIndex(), added.NewIndex());
    for (int i = 0; i < added.ListCount(); ++i) EXPECT_EQ(all.List(i), added.List(i)) << i;
  }
}

// ---- the Newdos/80 mark ----------------------------------------------------

struct NewdosCase {
  const char* label;
  Fmt fmt;
  Layout layout;
  int mark_track;  // -1: none
  int flag, spl, spg;
};
void PrintTo(const NewdosCase& c, std::ostream* os) { *os << c.label; }

const NewdosCase kNewdos[] = {
    {"jv1_track1_is_not_looked_at", Fmt::kJv1, Uniform(40, 1, 10, false), 1, 0, -1, 5},
    {"jv3_only_track1", Fmt::kJv3, Uniform(40, 1, 10, false), 1, 1, 10, 5},
    {"jv3_track2_is_not_looked_at", Fmt::kJv3, Uniform(40, 1, 10, false), 2, 0, -1, 5},
    {"dmk_dd_none", Fmt::kDmk, Uniform(40, 1, 18, true), -1, 0, -1, 6},
    {"dmk_from_1_only_track1", Fmt::kDmk, Uniform(40, 1, 18, true, 1), 1, 1, 10, 5},
    {"dmk_doubled_track0", Fmt::kDmk, DoubledSd(), 0, 1, 10, 5},
};

class Newdos : public ::testing::TestWithParam<NewdosCase> {};

TEST_P(Newdos, MarkAndItsBoxes) {
  const NewdosCase& c = GetParam();
  Disk d = c.fmt == Fmt::kJv1 ? Jv1With(ThreeFiles()) : DirOn(c.layout);
  if (c.mark_track >= 0) SetNewdosMark(d, c.mark_track, 10, c.layout.first_sector);
  auto o = OpenBytes(Serialize(d, c.fmt));
  ASSERT_EQ(o->out.kind, OpenKind::kListed) << o->out.detail;
  EXPECT_EQ(o->st.newdosflag, c.flag);
  const std::string& summary = o->out.listing.summary;
  EXPECT_EQ(summary.substr(summary.size() - 10), "   Spg = " + std::to_string(c.spg));
  EXPECT_EQ(o->out.listing.newdos, c.flag == 1);
  if (c.flag) { EXPECT_EQ(o->st.spl, c.spl); }
  EXPECT_EQ(o->list1.ListCount(), 3);
}

INSTANTIATE_TEST_SUITE_P(Disks, Newdos, ::testing::ValuesIn(kNewdos),
                         [](const auto& info) { return std::string(info.param.label); });

// ---- refusals and files cut short --------------------------------------------

const char kRealDiskText[] =
    "** ERROR **  This file is a DMK type REAL disk format,\r                     used to access REAL Disks";
const char kNoHeaderText[] =
    "** ERROR **\r This file does not have an EMULATOR Disk format HEADER\r    It may be a Disk file for use with a "
    "dedicated program";
const char kNotFoundText[] = "** ERROR **  Not found, or File format faulty";

struct ShortCase {
  const char* label;
  std::function<Bytes()> make;
  OpenKind kind;
  int listed;
  const char* message;  // the one message box shown, or none
};
void PrintTo(const ShortCase& c, std::ostream* os) { *os << c.label; }

Bytes Dd18(DmkOptions o = {}) { return ToDmk(DirOn(Uniform(40, 1, 18, true)), o); }
Bytes Jv1Bytes() { return ToJv1(Jv1With(ThreeFiles())); }
Bytes Jv3From1() { return ToJv3(DirOn(Uniform(40, 1, 10, false, 1))); }

const ShortCase kShort[] = {
    {"dmk_real_disk", [] { return Dd18({-1, -1, -1, true}); }, OpenKind::kRefused, 0, kRealDiskText},
    {"plausible_length_real_disk", [] { return Dd18({0x18EA, -1, -1, true}); }, OpenKind::kRefused, 0, kRealDiskText},
    {"text_file", [] { std::string s = "Just some text, not a disk image at all.\n"; return Bytes(s.begin(), s.end()); },
     OpenKind::kRefused, 0, kNoHeaderText},
    // A plausible track length, but no whole number of records.
    {"dmk_like_ragged_length", [] { Bytes b = Dd18({0x18EA}); b.resize(b.size() + 100); return b; },
     OpenKind::kRefused, 0, kNoHeaderText},
    {"jv3_fourth_entry_on_another_track", [] { Bytes b = Jv1Bytes(); b[0] = b[3] = b[6] = 7, b[9] = 8; return b; },
     OpenKind::kRefused, 0, kNoHeaderText},
    {"dmk_like_length_too_long", [] { Bytes b = Dd18(); PutLe16(b, 2, 0x4001); b.resize(16 + 0x4001 * 10); return b; },
     OpenKind::kRefused, 0, kNoHeaderText},
    {"empty", [] { return Bytes{}; }, OpenKind::kDamaged, 0, nullptr},
    {"jv1_signature_only", [] { return Bytes{0x00, 0xFE, 0x11}; }, OpenKind::kDamaged, 0, nullptr},
    {"jv1_750_bytes", [] { return Cut(Jv1Bytes(), 750); }, OpenKind::kDamaged, 0, nullptr},
    // 751 bytes: the mark test reads the spare element; the walk then runs
    // off the image and ends quietly with nothing listed.
    {"jv1_751_bytes", [] { return Cut(Jv1Bytes(), 751); }, OpenKind::kListed, 0, nullptr},
    // Cut inside the third directory sector: the first entry sector is read.
    {"jv1_cut_in_directory", [] { return Cut(Jv1Bytes(), 173 * 256 + 100); }, OpenKind::kListed, 3, nullptr},
    // Numbered from 1: the probe for sector 0 runs off the header's end.
    {"jv3_cut_in_header", [] { return Cut(Jv3From1(), 4000); }, OpenKind::kDamaged, 0, kNotFoundText},
    {"jv3_header_only", [] { return Cut(Jv3From1(), 8704); }, OpenKind::kDamaged, 0, nullptr},
    {"dmk_header_only", [] { return Cut(Dd18(), 16); }, OpenKind::kDamaged, 0, nullptr},
    {"dmk_cut_in_pointer_table", [] { return Cut(Dd18(), 40); }, OpenKind::kDamaged, 0, nullptr},
    {"dmk_cut_after_five_records", [] { return Cut(Dd18(), 16 + 5 * 6400 + 3000); }, OpenKind::kDamaged, 0, nullptr},
};

class ShortFile : public ::testing::TestWithParam<ShortCase> {};

TEST_P(ShortFile, EndsAsExpectedWithoutReadingOutside) {
  const ShortCase& c = GetParam();
  auto o = OpenBytes(c.make());
  EXPECT_EQ(o->out.kind, c.kind) << o->out.detail;
  EXPECT_EQ(o->list1.ListCount(), c.listed);
  ASSERT_EQ(o->notices.size(), c.message ? 1u : 0u);
  if (!c.message) return;
  EXPECT_EQ(o->notices[0].text, c.message);
  EXPECT_EQ(o->notices[0].title, "Error");
  EXPECT_EQ(o->notices[0].icon, MsgIcon::None);
}

INSTANTIATE_TEST_SUITE_P(Files, ShortFile, ::testing::ValuesIn(kShort),
                         [](const auto& info) { return std::string(info.param.label); });

// A header table cut inside an entry in use: the open fails on the first
// byte of that entry outside the image (the spare byte behind the image
// reads as a track byte in use).
TEST(ShortJv3, FailsOnTheFirstByteOfTheCutEntryOutside) {
  for (const auto& [size, offset] : {std::pair{299, 300}, {300, 302}, {301, 302}, {302, 303}}) {
    auto o = OpenBytes(Cut(Jv3From1(), size_t(size)));
    EXPECT_EQ(o->out.kind, OpenKind::kDamaged) << size;
    EXPECT_NE(o->out.detail.find("offset " + std::to_string(offset) + " outside"), std::string::npos)
        << size << ": " << o->out.detail;
  }
}

TEST(Refusal, TooLargeChangesNothing) {
  Opened o;
  ASSERT_EQ(o.Open(Jv1Bytes()).kind, OpenKind::kListed);
  const ByteBuffer before = o.st.diskbuf;
  EXPECT_EQ(o.Open(Bytes(64 * 1024 * 1024 + 1, 0)).kind, OpenKind::kTooLarge);
  ASSERT_EQ(o.notices.size(), 1u);
  EXPECT_EQ(o.notices[0].text, "** ERROR **  File is too large to be a disk image");
  EXPECT_EQ(o.list1.ListCount(), 0);
  EXPECT_EQ(o.st.diskbuf, before);
}

// A file that shrinks between its open and its read: the failed read
// leaves nothing of the image before it (no format, no length past the
// buffer), so nothing is made of its sectors.
TEST(Reopen, AFailedReadLeavesNothingOfTheImageBefore) {
#ifdef _WIN32
  GTEST_SKIP() << "an open file keeps its length on Windows";
#else
  Opened o;
  ASSERT_EQ(o.Open(ToDmk(WithEntries(Uniform(80, 2, 18, true), ThreeFiles()))).kind, OpenKind::kListed);
  TempDir dir;
  const fs::path shrinking = dir.path() / "shrinking.dsk";
  WriteBytes(shrinking, Jv1Bytes());
  ASSERT_TRUE(OpenFile(o.st, shrinking.string()));
  fs::resize_file(shrinking, 1000);
  Notices notices;
  EXPECT_THROW(ReadDiskImage(o.st, notices), DiskError);
  EXPECT_TRUE(o.st.filetype.empty());
  EXPECT_LT(size_t(o.st.fileend), o.st.diskbuf.size());
  EXPECT_EQ(o.st.locator.kind, LocatorIndex::Kind::kNone);
#endif
}

TEST(Reopen, NumberingBaseAndListOfAnEarlierImageDoNotLeak) {
  Disk first = DirOn(Uniform(40, 1, 10, false, 1));
  PutEntry(first, 172, 3, {0x10, "FOUR", "X", 0, {Slot(8, 0, 1)}});
  Opened o;
  ASSERT_EQ(o.Open(ToJv3(first)).kind, OpenKind::kListed);
  ASSERT_EQ(o.list1.ListCount(), 4);
  Disk jv1 = Jv1With(ThreeFiles());
  ASSERT_EQ(o.Open(ToJv1(jv1)).kind, OpenKind::kListed);
  EXPECT_EQ(o.Items(), (std::vector<std::string>{"HELLO    BAS", "HELLO    CMD", "README   TXT"}));
  ASSERT_TRUE(o.Copy("README", "TXT"));
  EXPECT_EQ(o.Copied(), SectorsOf(jv1, Range(50, 54)));
}

// The committed samples are what their generator makes.
TEST(Samples, CommittedImagesMatchTheGenerator) {
  TempDir made;
  ASSERT_EQ(std::system((std::string(VORNIK_MAKE_SAMPLES) + " " + made.path().string()).c_str()), 0);
  for (const char* name : {"newdos80-jv1.dsk", "double-sided.jv3", "double-density.dmk"}) {
    const Bytes bytes = ReadBytes(made.path() / name);
    EXPECT_FALSE(bytes.empty()) << name;
    EXPECT_TRUE(bytes == ReadBytes(fs::path(VORNIK_SAMPLES_DIR) / name)) << name << ": run make_samples samples/";
  }
}

}  // namespace
}  // namespace vornik::testing

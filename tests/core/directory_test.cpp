// Where the directory lies, how it is walked, what the lists hold, and the
// Newdos/80 mark.
#include <gtest/gtest.h>

#include <compare>
#include <functional>
#include <set>

#include "support/core_harness.h"
#include "directory/read_directory.h"

namespace vornik::testing {
namespace {

Layout Uniform(int tracks, int sides, int sectors, bool dd, int base = 0) {
  Layout l;
  l.tracks = tracks;
  l.sides = sides;
  l.normal = {sectors, dd, false};
  l.first_sector = base;
  return l;
}

enum class Fmt { kJv3, kDmk, kJv3SideMajor };
Bytes Serialize(const Disk& d, Fmt f) {
  return f == Fmt::kDmk ? ToDmk(d) : ToJv3(d, {f == Fmt::kJv3 ? Jv3Order::kTrackMajor : Jv3Order::kSideMajor});
}
const char* Name(Fmt f) { return f == Fmt::kDmk ? "DMK" : "JV3"; }

struct Listed {
  int logsec, slot;
  auto operator<=>(const Listed&) const = default;
};
std::set<Listed> ListedEntries(const Opened& o) {
  std::set<Listed> s;
  for (int i = 0; i < o.win.list1.ListCount(); ++i) s.insert({o.win.list1.ItemData(i), o.win.list2.ItemData(i)});
  return s;
}

TEST(DirectoryJv1, ListsUsedEntriesOfSectors172To179WithTheirPlaces) {
  Disk d = Jv1With({});
  struct Put {
    int logsec, slot;
    uint8_t attr;
    const char* name;
    bool listed;
  } puts[] = {{172, 0, 0x10, "SYS0", true}, {172, 1, 0x00, "GONE", false}, {172, 2, 0x90, "EXTENT", false},
              {172, 3, 0x80, "HIGH", true}, {172, 7, 0x08, "EIGHT", true}, {174, 2, 0x10, "ZED", true},
              {177, 5, 0x10, "zed", true},  {179, 6, 0x10, "LAST", true}};
  std::set<Listed> want;
  for (const Put& p : puts) {
    PutEntry(d, p.logsec, p.slot, {p.attr, p.name, "SYS", 1, {Slot(5, 0, 1)}});
    if (p.listed) want.insert({p.logsec, p.slot});
  }
  // An entry in sector 171 is never read.
  PutEntry(d, 171, 0, {0x10, "HIT", "SYS", 1, {Slot(5, 0, 1)}});
  auto o = OpenBytes(ToJv1(d));
  ASSERT_EQ(o->out.kind, OpenKind::kListed);
  EXPECT_EQ(o->st.direndsec, 179);
  EXPECT_EQ(ListedEntries(*o), want);
  EXPECT_EQ(o->Items(), (std::vector<std::string>{"EIGHT    SYS", "HIGH     SYS", "LAST     SYS", "SYS0     SYS",
                                                  "ZED      SYS", "zed      SYS"}));
  // The two lists stay in step: the lower-case twin sorts after its equal.
  EXPECT_EQ(o->win.list1.ItemData(4), 174);
  EXPECT_EQ(o->win.list2.ItemData(4), 2);
  EXPECT_EQ(o->win.list1.ItemData(5), 177);
  EXPECT_EQ(o->win.list2.ItemData(5), 5);
}

TEST(DirectoryItems, TextsKeepTheRawBytes) {
  Disk d = Jv1With({{0x10, "\xE9T\xE9", "T\x01X", 1, {Slot(5, 0, 1)}}, {0x10, "A B", "", 1, {Slot(5, 0, 1)}}});
  auto o = OpenBytes(ToJv1(d));
  EXPECT_EQ(o->Items(), (std::vector<std::string>{"A B         ", "\xE9T\xE9      T\x01X"}));
}

TEST(SortedList, Collation) {
  struct C {
    const char *a, *b;
    int sign;
  } cases[] = {{"abc", "ABC", 0},  {"a", "B", -1},   {"_", "a", 1},   {"[", "b", 1},
               {"Z", "\xE9", -1}, {"z", "\x80", -1}, {"AB", "ABC", -1}, {"A ", "A!", -1}};
  for (const C& c : cases) {
    const int r = SortedList::Compare(c.a, c.b);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
  }
  SortedList l;
  EXPECT_EQ(l.AddItem("beta"), 0);
  EXPECT_EQ(l.AddItem("ALPHA"), 0);
  EXPECT_EQ(l.AddItem("BETA"), 2);  // equal to "beta": after it
  EXPECT_EQ(l.AddItem("alpha"), 1);
  EXPECT_EQ(l.NewIndex(), 1);
  EXPECT_EQ(l.List(0), "ALPHA");
  EXPECT_EQ(l.List(3), "BETA");
}

TEST(ShownName, FirstBlankBecomesSlashLaterBlanksDrop) {
  EXPECT_EQ(ShownName("PROG     CMD"), "PROG/CMD");
  EXPECT_EQ(ShownName("ABCDEFGH BAS"), "ABCDEFGH/BAS");
  EXPECT_EQ(ShownName("MY FILE  TXT"), "MY/FILETXT");
  EXPECT_EQ(ShownName("README      "), "README/");
}

// ---- where the scan puts the directory ------------------------------------

struct RangeCase {
  const char* label;
  Fmt fmt;
  std::function<Disk()> make;
  int dirstart, dirend;
  std::set<Listed> listed;
};
void PrintTo(const RangeCase& c, std::ostream* os) { *os << c.label; }

// Marks logical sectors; entries in `entry_sectors`, slot 0 each.
Disk Marked(Layout l, std::vector<int> marked, std::vector<int> entry_sectors) {
  Disk d = MakeDisk(l);
  for (int s = 0; s < d.LogicalCount(); ++s) FillPattern(d, s);
  for (int s : marked) {
    d.Logical(s).mark = kMarkDir;
    d.Logical(s).data.fill(0);
  }
  int n = 0;
  for (int s : entry_sectors) PutEntry(d, s, 0, {0x10, "F" + std::to_string(n++), "DAT", 1, {Slot(5, 0, 1)}});
  return d;
}

std::vector<int> Concat(std::vector<int> a, const std::vector<int>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const RangeCase kRanges[] = {
    // Both sides of track 17 (612..629 side 0, 630.. side 1) marked: all count.
    {"jv3_both_sides", Fmt::kJv3,
     [] { return Marked(Uniform(40, 2, 18, true), Concat(Range(612, 629), Range(630, 633)), {614, 629, 631, 633}); },
     612, 633, {{614, 0}, {629, 0}, {631, 0}, {633, 0}}},
    // Every track of side 0 stored first: side 0 is numbered 18 a track.
    {"jv3_side_0_stored_first", Fmt::kJv3SideMajor,
     [] {
       Disk d = MakeDisk(Uniform(40, 2, 18, true));
       for (int s = 0; s < d.LogicalCount(); ++s) FillPattern(d, s);
       for (Sector& s : d.At(17, 0).sectors) s.mark = kMarkDir, s.data.fill(0);
       PutEntry(d, d.TrackStart(17) + 3, 1, {0x10, "F0", "DAT", 1, {Slot(5, 0, 1)}});
       return d;
     },
     306, 323, {{309, 1}}},
    {"dmk_both_sides", Fmt::kDmk,
     [] { return Marked(Uniform(40, 2, 18, true), Concat(Range(612, 629), Range(630, 633)), {614, 629, 631, 633}); },
     612, 633, {{614, 0}, {629, 0}, {631, 0}, {633, 0}}},
    // The third sector read carries an ordinary mark: the walk stops there.
    {"dmk_stops_early", Fmt::kDmk,
     [] { return Marked(Uniform(40, 1, 18, true), Concat(Range(306, 308), Range(310, 323)), {308, 310}); }, 306,
     322, {{308, 0}}},
    // A directory running over a track boundary starts at its lowest start.
    {"jv3_over_track_boundary", Fmt::kJv3,
     [] { return Marked(Uniform(40, 1, 10, false), Range(175, 184), {177, 181}); }, 175, 184, {{177, 0}, {181, 0}}},
    {"dmk_over_track_boundary", Fmt::kDmk,
     [] { return Marked(Uniform(40, 1, 10, false), Range(175, 184), {177, 181}); }, 175, 184, {{177, 0}, {181, 0}}},
    // A whole marked cylinder is a directory ...
    {"dmk_whole_cylinder", Fmt::kDmk, [] { return Marked(Uniform(40, 2, 18, true), Range(612, 647), {614, 640}); },
     612, 647, {{614, 0}, {640, 0}}},
    {"jv3_34_marks", Fmt::kJv3, [] { return Marked(Uniform(40, 1, 10, false), Range(170, 203), {172, 203}); }, 170,
     203, {{172, 0}, {203, 0}}},
    // ... more marks than any directory of one HIT has is none.
    {"dmk_35_marks_single_sided", Fmt::kDmk,
     [] { return Marked(Uniform(40, 1, 18, true), Range(306, 340), {308}); }, 306, 305, {}},
    {"jv3_no_marks", Fmt::kJv3, [] { return Marked(Uniform(40, 1, 10, false), {}, {172}); }, 0, -1, {}},
    // Numbered from 1: the scan's start is one too high and is lowered.
    {"jv3_from_1", Fmt::kJv3, [] { return Marked(Uniform(40, 1, 10, false, 1), Range(170, 179), {172, 179}); }, 170,
     179, {{172, 0}, {179, 0}}},
    {"dmk_from_1", Fmt::kDmk, [] { return Marked(Uniform(40, 1, 18, true, 1), Range(306, 323), {308, 323}); }, 306,
     323, {{308, 0}, {323, 0}}},
    {"dmk_from_1_no_marks", Fmt::kDmk, [] { return Marked(Uniform(40, 1, 18, true, 1), {}, {308}); }, 0, -1, {}},
};

class DirectoryRange : public ::testing::TestWithParam<RangeCase> {};

TEST_P(DirectoryRange, StartEndAndListedEntries) {
  const RangeCase& c = GetParam();
  auto o = OpenBytes(Serialize(c.make(), c.fmt));
  ASSERT_EQ(o->out.kind, OpenKind::kListed) << o->out.detail;
  EXPECT_EQ(o->st.filetype, Name(c.fmt));
  EXPECT_EQ(o->st.dirstartsec, c.dirstart);
  EXPECT_EQ(o->st.direndsec, c.dirend);
  EXPECT_EQ(ListedEntries(*o), c.listed);
}

INSTANTIATE_TEST_SUITE_P(Disks, DirectoryRange, ::testing::ValuesIn(kRanges),
                         [](const auto& info) { return std::string(info.param.label); });

// ---- DMK layouts of real disks in the directory --------------------------

struct DmkDirCase {
  const char* label;
  std::function<void(Disk&)> quirk;
  Layout layout;
  int sides;
};
void PrintTo(const DmkDirCase& c, std::ostream* os) { *os << c.label; }

Layout DoubledSd() {
  Layout l = Uniform(40, 1, 10, false);
  l.normal.doubled = true;
  return l;
}

const DmkDirCase kDmkDirs[] = {
    {"doubled_single_density", [](Disk&) {}, DoubledSd(), 1},
    {"directory_rewritten_short_gap",
     [](Disk& d) { for (Sector& s : d.At(17, 0).sectors) s.mark_distance = 33; }, Uniform(40, 1, 18, true), 1},
    {"directory_track_ids_elsewhere", [](Disk& d) { d.At(17, 0).first_id = 360; d.At(17, 0).gap = 20; }, Uniform(40, 1, 18, true), 1},
    // Track 0's ID offsets land in data bytes of 1 on tracks 1..9: the
    // header, not those bytes, tells the sides.
    {"side_bytes_misleading",
     [](Disk& d) {
       d.At(0, 0).first_id = 300;
       for (int t = 1; t <= 9; ++t)
         for (Sector& s : d.At(t, 0).sectors) s.data.fill(0x01);
     },
     Uniform(40, 1, 18, true), 1},
};

class DmkDirectory : public ::testing::TestWithParam<DmkDirCase> {};

TEST_P(DmkDirectory, ListsTheFiles) {
  Disk d = MakeDisk(GetParam().layout);
  Populate(d, d.TrackStart(17), int(d.At(17, 0).sectors.size()), ThreeFiles());
  GetParam().quirk(d);
  auto o = OpenBytes(ToDmk(d));
  ASSERT_EQ(o->out.kind, OpenKind::kListed) << o->out.detail;
  EXPECT_EQ(o->st.sides, GetParam().sides);
  EXPECT_EQ(o->st.tracks, 40);
  EXPECT_EQ(o->st.dirstartsec, d.TrackStart(17));
  EXPECT_EQ(o->Items(), (std::vector<std::string>{"HELLO    BAS", "HELLO    CMD", "README   TXT"}));
  ASSERT_TRUE(o->Copy("README", "TXT"));
  EXPECT_EQ(o->Copied(), SectorsOf(d, Range(d.TrackStart(5), d.TrackStart(5) + 4)));
}

INSTANTIATE_TEST_SUITE_P(Quirks, DmkDirectory, ::testing::ValuesIn(kDmkDirs),
                         [](const auto& info) { return std::string(info.param.label); });

// ---- Newdos/80 ----------------------------------------------------------

struct NewdosCase {
  const char* label;
  std::function<Bytes()> make;
  int flag, spl, spg;
};
void PrintTo(const NewdosCase& c, std::ostream* os) { *os << c.label; }

Bytes NewdosOn(Layout l, Fmt f, int track) {
  Disk d = MakeDisk(l);
  Populate(d, d.TrackStart(17), int(d.At(17, 0).sectors.size()), ThreeFiles());
  if (track >= 0) SetNewdosMark(d, track, 10, l.first_sector);
  return Serialize(d, f);
}

Bytes Jv1Newdos(int track) {
  Disk d = Jv1With(ThreeFiles());
  SetNewdosMark(d, track, 15);
  return ToJv1(d);
}

const NewdosCase kNewdos[] = {
    {"jv1_track0", [] { return Jv1Newdos(0); }, 1, 15, 5},
    {"jv1_track1_is_not_looked_at", [] { return Jv1Newdos(1); }, 0, -1, 5},
    {"jv3_track0", [] { return NewdosOn(Uniform(40, 1, 10, false), Fmt::kJv3, 0); }, 1, 10, 5},
    {"jv3_only_track1", [] { return NewdosOn(Uniform(40, 1, 10, false), Fmt::kJv3, 1); }, 1, 10, 5},
    {"jv3_track2_is_not_looked_at", [] { return NewdosOn(Uniform(40, 1, 10, false), Fmt::kJv3, 2); }, 0, -1, 5},
    {"dmk_dd_track0", [] { return NewdosOn(Uniform(40, 1, 18, true), Fmt::kDmk, 0); }, 1, 10, 5},
    {"dmk_dd_none", [] { return NewdosOn(Uniform(40, 1, 18, true), Fmt::kDmk, -1); }, 0, -1, 6},
    {"dmk_from_1_only_track1", [] { return NewdosOn(Uniform(40, 1, 18, true, 1), Fmt::kDmk, 1); }, 1, 10, 5},
    {"jv3_from_1_track0", [] { return NewdosOn(Uniform(40, 2, 18, true, 1), Fmt::kJv3, 0); }, 1, 10, 5},
    {"dmk_doubled_track0", [] { return NewdosOn(DoubledSd(), Fmt::kDmk, 0); }, 1, 10, 5},
};

class Newdos : public ::testing::TestWithParam<NewdosCase> {};

TEST_P(Newdos, MarkAndItsBoxes) {
  const NewdosCase& c = GetParam();
  auto o = OpenBytes(c.make());
  ASSERT_EQ(o->out.kind, OpenKind::kListed) << o->out.detail;
  EXPECT_EQ(o->st.newdosflag, c.flag);
  EXPECT_EQ(o->st.spg, c.spg);
  EXPECT_EQ(o->st.spgaa, "   Spg = " + std::to_string(c.spg));
  EXPECT_EQ(o->st.Disktype.substr(o->st.Disktype.size() - 10), "   Spg = " + std::to_string(c.spg));
  const Box& t2 = o->win.Get(TextBox::Text2);
  if (c.flag) {
    EXPECT_EQ(o->st.spl, c.spl);
    EXPECT_EQ(t2.text, "  Newdos/80");
    EXPECT_EQ(t2.fore, kColourNewdos);
    EXPECT_EQ(o->win.Get(TextBox::Text3).fore, kColourBlue);
  } else {
    EXPECT_EQ(t2.text, "");
  }
  EXPECT_EQ(o->win.list1.ListCount(), 3);
}

INSTANTIATE_TEST_SUITE_P(Disks, Newdos, ::testing::ValuesIn(kNewdos),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace vornik::testing

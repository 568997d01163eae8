// Identification, geometry and summary of whole images, the refusals, and
// files too short or too long to be images.
#include <gtest/gtest.h>

#include <functional>

#include "support/core_harness.h"
#include "image/read_disk_image.h"

namespace vornik::testing {
namespace {

struct Built {
  Disk disk;
  Bytes bytes;
};

// A disk of `layout` with its directory on track 17 side 0 and three files.
Disk WithDirectory(const Layout& layout) {
  Disk disk = MakeDisk(layout);
  const int start = disk.TrackStart(17);
  Populate(disk, start, int(disk.At(17, 0).sectors.size()), ThreeFiles());
  return disk;
}

Layout Uniform(int tracks, int sides, int sectors, bool dd) {
  Layout l;
  l.tracks = tracks;
  l.sides = sides;
  l.normal = {sectors, dd, false};
  return l;
}

Layout Mixed(TrackLayout track0) {
  Layout l = Uniform(40, 1, 18, true);
  l.overrides = {{0, track0}};
  return l;
}

struct GeoCase {
  const char* label;
  std::function<Built()> make;
  const char* filetype;
  int dens, sides, tracks, spg, dirstart, dirend;
  const char* summary;
};
void PrintTo(const GeoCase& c, std::ostream* os) { *os << c.label; }

Built Jv3(const Layout& l) {
  Disk d = WithDirectory(l);
  return {d, ToJv3(d)};
}
Built Dmk(const Layout& l, DmkOptions o = {}) {
  Disk d = WithDirectory(l);
  return {d, ToDmk(d, o)};
}

const GeoCase kGeoCases[] = {
    {"jv1", [] { Disk d = Jv1With(ThreeFiles()); return Built{d, ToJv1(d)}; }, "JV1", 1, 1, 40, 5, 170, 179,
     " 40 Track   S/Density  S/Sided  Sec/Cyl. = 10 ( 10 * 1)   Spg = 5"},
    {"jv1_80_tracks", [] { Disk d = Jv1With(ThreeFiles(), 80); return Built{d, ToJv1(d)}; }, "JV1", 1, 1, 80, 5,
     170, 179, " 80 Track   S/Density  S/Sided  Sec/Cyl. = 10 ( 10 * 1)   Spg = 5"},
    {"jv1_35_tracks_counts_40", [] { Disk d = Jv1With(ThreeFiles(), 35); return Built{d, ToJv1(d)}; }, "JV1", 1, 1,
     40, 5, 170, 179, " 40 Track   S/Density  S/Sided  Sec/Cyl. = 10 ( 10 * 1)   Spg = 5"},
    {"jv3_ss_sd", [] { return Jv3(Uniform(40, 1, 10, false)); }, "JV3", 1, 1, 40, 5, 170, 179,
     " 40 Track   S/Density  S/Sided  Sec/Cyl. = 10 ( 10 * 1)   Spg = 5"},
    {"jv3_ds_dd", [] { return Jv3(Uniform(40, 2, 18, true)); }, "JV3", 2, 2, 40, 6, 612, 629,
     " 40 Track   D/Density  D/Sided  Sec/Cyl. = 36 ( 18 * 2)   Spg = 6"},
    {"jv3_mixed", [] { return Jv3(Mixed({10, false, false})); }, "JV3", 3, 1, 40, 5, 298, 315,
     " 40 Track   Dual/Density  S/Sided  Sec/Cyl. = 10 ( 10 * 1)   Spg = 5"},
    {"dmk_ss_dd", [] { return Dmk(Uniform(40, 1, 18, true)); }, "DMK", 2, 1, 40, 6, 306, 323,
     " 40 Track   D/Density  S/Sided  Sec/Cyl. = 18 ( 18 * 1)   Spg = 6"},
    {"dmk_ss_sd_3264", [] { return Dmk(Uniform(35, 1, 10, false)); }, "DMK", 1, 1, 35, 5, 170, 179,
     " 35 Track   S/Density  S/Sided  Sec/Cyl. = 10 ( 10 * 1)   Spg = 5"},
    {"dmk_ds_dd", [] { return Dmk(Uniform(40, 2, 18, true)); }, "DMK", 2, 2, 40, 6, 612, 629,
     " 40 Track   D/Density  D/Sided  Sec/Cyl. = 36 ( 18 * 2)   Spg = 6"},
    // Track 0 in doubled single density, the others double density.
    {"dmk_mixed_doubled_track0", [] { return Dmk(Mixed({10, false, true})); }, "DMK", 2, 1, 40, 6, 298, 315,
     " 40 Track   D/Density  S/Sided  Sec/Cyl. = 10 ( 10 * 1)   Spg = 6"},
    {"dmk_track0_five_sd", [] { return Dmk(Mixed({5, false, false})); }, "DMK", 2, 1, 40, 6, 293, 310,
     " 40 Track   D/Density  S/Sided  Sec/Cyl. = 5 ( 5 * 1)   Spg = 6"},
    // Track lengths other writers use: double class from 0x1800 on.
    {"dmk_len_18EA", [] { return Dmk(Uniform(40, 1, 18, true), {0x18EA}); }, "DMK", 2, 1, 40, 6, 306, 323,
     " 40 Track   D/Density  S/Sided  Sec/Cyl. = 18 ( 18 * 1)   Spg = 6"},
    {"dmk_len_0D00_single_class", [] { return Dmk(Uniform(40, 1, 10, false), {0x0D00}); }, "DMK", 1, 1, 40, 5,
     170, 179, " 40 Track   S/Density  S/Sided  Sec/Cyl. = 10 ( 10 * 1)   Spg = 5"},
};

class Geometry : public ::testing::TestWithParam<GeoCase> {};

TEST_P(Geometry, IdentifiesDescribesAndLists) {
  const GeoCase& c = GetParam();
  Built b = c.make();
  auto o = OpenBytes(b.bytes);
  const DiskState& st = o->st;
  ASSERT_EQ(o->out.kind, OpenKind::kListed) << o->out.detail;
  EXPECT_EQ(st.filetype, c.filetype);
  EXPECT_EQ(st.dens, c.dens);
  EXPECT_EQ(st.sides, c.sides);
  EXPECT_EQ(st.tracks, c.tracks);
  EXPECT_EQ(st.spg, c.spg);
  EXPECT_EQ(st.dirstartsec, c.dirstart);
  EXPECT_EQ(st.direndsec, c.dirend);
  EXPECT_EQ(st.Disktype, c.summary);
  EXPECT_EQ(o->win.Get(TextBox::Text3).text, c.summary);
  EXPECT_EQ(o->win.Get(TextBox::Txtfiletype).text, c.filetype);
  const int32_t back = std::string(c.filetype) == "DMK" ? kColourRed : std::string(c.filetype) == "JV3" ? kColourGreen : -1;
  EXPECT_EQ(o->win.Get(TextBox::Txtfiletype).back, back);
  EXPECT_EQ(o->win.Get(TextBox::Text2).text, "");
  EXPECT_EQ(st.newdosflag, 0);
  const int held = std::min(b.disk.tracks(), int(st.tracks));
  for (int t = 0; t < held; ++t) {
    EXPECT_EQ(st.trkspt[t], int(b.disk.At(t, 0).sectors.size())) << "track " << t;
    EXPECT_EQ(st.trkstartsec[t], b.disk.TrackStart(t)) << "track " << t;
  }
  EXPECT_EQ(o->win.list1.ListCount(), 3);
  EXPECT_EQ(o->win.list2.ListCount(), 3);
  EXPECT_TRUE(o->win.messages.empty());
  EXPECT_EQ(st.fileend, int32_t(b.bytes.size()));
  ASSERT_EQ(st.diskbuf.size(), b.bytes.size() + 1);
  EXPECT_EQ(st.diskbuf.back(), 0);
  EXPECT_EQ(st.copybuf.size(), b.bytes.size() + 1);
}

INSTANTIATE_TEST_SUITE_P(Images, Geometry, ::testing::ValuesIn(kGeoCases),
                         [](const auto& info) { return std::string(info.param.label); });

// ---- refusals ----------------------------------------------------------

const char* const kRealDiskText =
    "** ERROR **  This file is a DMK type REAL disk format,\r                     used to access REAL Disks";
const char* const kNoHeaderText =
    "** ERROR **\r This file does not have an EMULATOR Disk format HEADER\r    It may be a Disk file for use with a "
    "dedicated program";

struct RefusalCase {
  const char* label;
  std::function<Bytes()> make;
  const char* text;
};
void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.label; }

Bytes Plain18() {
  Disk d = WithDirectory(Uniform(40, 1, 18, true));
  return ToDmk(d);
}

const RefusalCase kRefusals[] = {
    {"dmk_real_disk", [] { Disk d = WithDirectory(Uniform(40, 1, 18, true)); return ToDmk(d, {-1, -1, -1, true}); },
     kRealDiskText},
    {"plausible_length_real_disk",
     [] { Disk d = WithDirectory(Uniform(40, 1, 18, true)); return ToDmk(d, {0x18EA, -1, -1, true}); }, kRealDiskText},
    {"text_file", [] { std::string s = "Just some text, not a disk image at all.\n"; return Bytes(s.begin(), s.end()); },
     kNoHeaderText},
    // A plausible track length, but the file is no whole number of records.
    {"dmk_like_ragged_length",
     [] { Disk d = WithDirectory(Uniform(40, 1, 18, true)); Bytes b = ToDmk(d, {0x18EA}); b.resize(b.size() + 100); return b; },
     kNoHeaderText},
    {"dmk_like_length_too_long", [] { Bytes b = Plain18(); PutLe16(b, 2, 0x4001); b.resize(16 + 0x4001 * 10); return b; },
     kNoHeaderText},
};

class Refusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Refusal, ShowsItsMessageAndListsNothing) {
  auto o = OpenBytes(GetParam().make());
  EXPECT_EQ(o->out.kind, OpenKind::kRefused);
  ASSERT_EQ(o->win.messages.size(), 1u);
  const Message& m = o->win.messages[0];
  EXPECT_EQ(m.text, GetParam().text);
  EXPECT_EQ(m.title, "Error");
  EXPECT_EQ(m.icon, MsgIcon::None);
  EXPECT_EQ(m.buttons, MsgButtons::Ok);
  EXPECT_EQ(o->win.list1.ListCount(), 0);
  EXPECT_EQ(o->win.Get(TextBox::Txtfiletype).text, "");  // the directory walk never ran
}

INSTANTIATE_TEST_SUITE_P(Images, Refusal, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(Refusal, TooLargeChangesNothing) {
  Opened o;
  Disk d = Jv1With(ThreeFiles());
  ASSERT_EQ(o.Open(ToJv1(d)).kind, OpenKind::kListed);
  const DiskState before = o.st;
  Bytes huge(64 * 1024 * 1024 + 1, 0);
  EXPECT_EQ(o.Open(std::move(huge)).kind, OpenKind::kTooLarge);
  ASSERT_EQ(o.win.messages.size(), 1u);
  EXPECT_EQ(o.win.messages[0].text, "** ERROR **  File is too large to be a disk image");
  EXPECT_EQ(o.win.messages[0].title, "Error");
  EXPECT_EQ(o.win.messages[0].icon, MsgIcon::None);
  EXPECT_EQ(o.win.list1.ListCount(), 0);
  EXPECT_EQ(o.st.fileend, before.fileend);
  EXPECT_EQ(o.st.diskbuf, before.diskbuf);
  EXPECT_EQ(o.st.filetype, before.filetype);
  EXPECT_EQ(o.st.dirstartsec, before.dirstartsec);
  EXPECT_EQ(o.st.Disktype, before.Disktype);
}

TEST(Refusal, MessageConstantsAreExact) {
  EXPECT_STREQ(kMsgRealDisk, kRealDiskText);
  EXPECT_STREQ(kMsgNoHeader, kNoHeaderText);
  EXPECT_STREQ(kMsgOpenFailed, "Error encountered while trying to open file, please retry.");
  EXPECT_STREQ(kTitleOpenFailed, "Text Editor");
  EXPECT_STREQ(kMsgCopyFailed, "** ERROR **  File could not be read, nothing was copied");
}

// ---- short, truncated and odd files -------------------------------------

struct ShortCase {
  const char* label;
  std::function<Bytes()> make;
  OpenKind kind;
  int listed;
};
void PrintTo(const ShortCase& c, std::ostream* os) { *os << c.label; }

Bytes Jv1Cut(size_t size) {
  Disk d = Jv1With(ThreeFiles());
  Bytes b = ToJv1(d);
  b.resize(size);
  return b;
}

Bytes Cut(Bytes b, size_t size) {
  b.resize(size);
  return b;
}

Bytes Jv3Ss() { return ToJv3(WithDirectory(Uniform(40, 1, 10, false))); }

const ShortCase kShort[] = {
    {"empty", [] { return Bytes{}; }, OpenKind::kDamaged, 0},
    {"one_byte", [] { return Bytes{0}; }, OpenKind::kDamaged, 0},
    {"jv1_signature_only", [] { return Bytes{0x00, 0xFE, 0x11}; }, OpenKind::kDamaged, 0},
    {"jv1_750_bytes", [] { return Jv1Cut(750); }, OpenKind::kDamaged, 0},
    // 751 bytes: the mark test reads the spare element; the walk then runs
    // off the image and ends quietly with nothing listed.
    {"jv1_751_bytes", [] { return Jv1Cut(751); }, OpenKind::kListed, 0},
    // Cut inside the third directory sector: the first entry sector is read.
    {"jv1_cut_in_directory", [] { return Jv1Cut(173 * 256 + 100); }, OpenKind::kListed, 3},
    {"jv3_cut_in_header", [] { return Cut(Jv3Ss(), 4000); }, OpenKind::kDamaged, 0},
    {"jv3_header_only", [] { return Cut(Jv3Ss(), 8704); }, OpenKind::kDamaged, 0},
    {"dmk_header_only", [] { return Cut(Plain18(), 16); }, OpenKind::kDamaged, 0},
    {"dmk_cut_after_five_records", [] { return Cut(Plain18(), 16 + 5 * 6400 + 3000); }, OpenKind::kDamaged, 0},
    {"dmk_cut_in_pointer_table", [] { return Cut(Plain18(), 40); }, OpenKind::kDamaged, 0},
};

class ShortFile : public ::testing::TestWithParam<ShortCase> {};

TEST_P(ShortFile, EndsAsExpectedWithoutReadingOutside) {
  auto o = OpenBytes(GetParam().make());
  EXPECT_EQ(o->out.kind, GetParam().kind) << o->out.detail;
  EXPECT_EQ(o->win.list1.ListCount(), GetParam().listed);
  for (const Message& m : o->win.messages) EXPECT_NE(m.text, kMsgNoHeader);
}

INSTANTIATE_TEST_SUITE_P(Files, ShortFile, ::testing::ValuesIn(kShort),
                         [](const auto& info) { return std::string(info.param.label); });

// ---- state carried from one open to the next -----------------------------

TEST(Reopen, NumberingBaseAndListOfAnEarlierImageDoNotLeak) {
  Layout from1 = Uniform(40, 1, 10, false);
  from1.first_sector = 1;
  Disk first = WithDirectory(from1);
  PutEntries(first, 170, {{0x10, "ONLY", "ONE", 0, {Slot(5, 0, 1)}},
                          {0x10, "TWO", "X", 0, {Slot(6, 0, 1)}},
                          {0x10, "THREE", "X", 0, {Slot(7, 0, 1)}},
                          {0x10, "FOUR", "X", 0, {Slot(8, 0, 1)}}});
  Opened o;
  ASSERT_EQ(o.Open(ToJv3(first)).kind, OpenKind::kListed);
  ASSERT_EQ(o.st.firstsecnum, 1);
  ASSERT_EQ(o.win.list1.ListCount(), 4);

  Disk jv1 = Jv1With(ThreeFiles());
  ASSERT_EQ(o.Open(ToJv1(jv1)).kind, OpenKind::kListed);
  EXPECT_EQ(o.st.firstsecnum, 0);
  EXPECT_EQ(o.Items(), (std::vector<std::string>{"HELLO    BAS", "HELLO    CMD", "README   TXT"}));
  ASSERT_TRUE(o.Copy("README", "TXT"));
  EXPECT_EQ(o.Copied(), SectorsOf(jv1, Range(50, 54)));
}

}  // namespace
}  // namespace vornik::testing

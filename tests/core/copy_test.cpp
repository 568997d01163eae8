// Assembling a listed file (names, extents, sector counts, granule sizes,
// Newdos/80 allocation units, entries or sectors that cannot be read) and
// writing a copy out (safe host names, a replace only when asked and never
// of the image, whole or not at all), and an image that turns into a FIFO.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <functional>
#include <thread>
#include <tuple>

#include "extract/safe_name.h"
#include "extract/write_copy.h"
#include "image/find_sector.h"
#include "support.h"

namespace vornik::testing {
namespace {

Entry File(uint16_t n, std::vector<std::pair<uint8_t, uint8_t>> slots, bool terminate = true) {
  Entry e{0x10, "FILE", "DAT", n, std::move(slots)};
  e.terminate = terminate;
  return e;
}

struct CopyCase {
  const char* label;
  std::function<Disk()> make;
  Fmt fmt;
  std::function<Bytes(Disk&)> expect;
};
void PrintTo(const CopyCase& c, std::ostream* os) { *os << c.label; }

auto Logical(std::vector<int> l) {
  return [l](Disk& d) { return SectorsOf(d, l); };
}

Disk Jv1Newdos(const Entry& e, int spl) {
  Disk d = Jv1With({e});
  SetNewdosMark(d, 0, spl);
  return d;
}

// FILE/DAT with N = `n` on track 5, linked to an extension entry (slot 3 of
// sector 173) whose own count `ext_n` does not count.
Disk Extended(uint16_t n, std::vector<std::pair<uint8_t, uint8_t>> ext_slots, uint16_t ext_n = 0) {
  Disk d = Jv1With({File(n, {Slot(5, 0, 1), Link(1, 3)})});
  PutEntry(d, 173, 3, {0x90, "", "", ext_n, std::move(ext_slots)});
  return d;
}

// Track 0 in 10 doubled single-density sectors, the rest 18 double density,
// Newdos/80 with 10-sector units, the directory on track 11; the boot
// sector's byte 2 says in which unit Newdos/80 keeps the directory.
Disk MixedNewdos(uint8_t boot_dir_unit) {
  Layout l = Uniform(40, 1, 18, true);
  l.overrides = {{0, {10, false, true}}};
  Disk d = WithEntries(l, {File(0, {Slot(3, 1, 1)})}, 11);
  SetNewdosMark(d, 0, 10);
  d.Find(0, 0, 0).data[2] = boot_dir_unit;
  return d;
}

// Track 0 with 10 single-density sectors, the others 18, track 20 with 15.
Layout GranuleLayout() {
  Layout l = Uniform(40, 1, 18, true);
  l.overrides = {{0, {10, false, false}}, {20, {15, true, false}}};
  return l;
}

const CopyCase kCopies[] = {
    {"prog_cmd_twelve_of_fifteen", [] { return Jv1With({File(12, {{0x05, 0x22}})}); }, Fmt::kJv1, Logical(Range(55, 66))},
    {"n_zero_copies_all", [] { return Jv1With({File(0, {Slot(5, 0, 2), Slot(8, 1, 1)})}); }, Fmt::kJv1,
     Logical(Cat(Range(50, 59), Range(85, 89)))},
    {"n_above_allocated", [] { return Jv1With({File(100, {Slot(5, 0, 2), Slot(8, 1, 1)})}); }, Fmt::kJv1,
     Logical(Cat(Range(50, 59), Range(85, 89)))},
    {"n_above_32767", [] { return Jv1With({File(40000, {Slot(5, 0, 2), Slot(8, 1, 1)})}); }, Fmt::kJv1,
     Logical(Cat(Range(50, 59), Range(85, 89)))},
    {"n_reached_in_first_extent", [] { return Jv1With({File(7, {Slot(5, 0, 2), Slot(8, 1, 1)})}); }, Fmt::kJv1,
     Logical(Range(50, 56))},
    // Track 5 holds 11 sectors: its third granule runs on into track 6,
    // from the sector just before the one the first extent started on.
    {"granule_into_the_next_track",
     [] {
       Layout l = Uniform(40, 1, 10, false);
       l.overrides = {{5, {11, false, false}}};
       return WithEntries(l, {File(0, {Slot(6, 0, 1), Slot(5, 2, 1)})});
     },
     Fmt::kJv3,
     [](Disk& d) {
       const int t6 = d.TrackStart(6);
       return SectorsOf(d, Cat(Range(t6, t6 + 4), Range(t6 - 1, t6 + 3)));
     }},
    {"no_extents", [] { return Jv1With({File(4, {})}); }, Fmt::kJv1, Logical({})},
    {"extension_entry", [] { return Extended(0, {Slot(9, 0, 1), Slot(12, 1, 1)}); }, Fmt::kJv1,
     Logical(Cat(Range(50, 54), Range(90, 94), Range(125, 129)))},
    {"extension_count_from_primary", [] { return Extended(7, {Slot(9, 0, 1), Slot(12, 1, 1)}, 99); }, Fmt::kJv1,
     Logical(Cat(Range(50, 54), Range(90, 91)))},
    {"link_inside_extension_ends_it", [] { return Extended(0, {Slot(9, 0, 1), Link(0, 5), Slot(12, 1, 1)}); },
     Fmt::kJv1, Logical(Cat(Range(50, 54), Range(90, 94)))},
    // Five slots and no end marker; the next entry's first bytes would read
    // as a slot on track 12.
    {"walk_stops_at_entry_end",
     [] {
       return Jv1With({File(0, {Slot(5, 0, 1), Slot(6, 0, 1), Slot(7, 0, 1), Slot(8, 0, 1), Slot(9, 0, 1)}, false),
                       {0x0C, "NEXT", "DAT", 0, {Slot(5, 0, 1)}}});
     },
     Fmt::kJv1, Logical({50, 51, 52, 53, 54, 60, 61, 62, 63, 64, 70, 71, 72, 73, 74, 80, 81, 82, 83, 84, 90, 91, 92, 93, 94})},
    {"over_sides_and_tracks", [] { return WithEntries(Uniform(40, 2, 18, true), {File(0, {Slot(5, 2, 3)})}); },
     Fmt::kJv3, Logical(Range(192, 209))},
    {"on_the_last_track_side_1", [] { return WithEntries(Uniform(40, 2, 18, true), {File(0, {Slot(39, 5, 1)})}); },
     Fmt::kJv3, Logical(Range(1434, 1439))},
    {"dmk_double_sided", [] { return WithEntries(Uniform(40, 2, 18, true), {File(0, {Slot(5, 2, 3)})}); }, Fmt::kDmk,
     Logical(Range(192, 209))},
    // Granules: 5 sectors on 10-sector tracks, 6 on 18, unchanged on 15.
    {"granule_sizes",
     [] { return WithEntries(GranuleLayout(), {File(0, {Slot(20, 0, 1), Slot(5, 1, 1), Slot(20, 1, 1)})}); }, Fmt::kJv3,
     [](Disk& d) {
       const int t20 = d.TrackStart(20), t5 = d.TrackStart(5);
       return SectorsOf(d, Cat(Range(t20, t20 + 4), Range(t5 + 6, t5 + 11), Range(t20 + 6, t20 + 11)));
     }},
    {"granule_on_track_0", [] { return WithEntries(GranuleLayout(), {File(0, {Slot(0, 1, 1)})}); }, Fmt::kDmk,
     Logical(Range(5, 9))},
    // The last of the 2901 entries a JV3 header holds.
    {"jv3_last_table_entry",
     [] {
       Layout l = Uniform(30, 1, 100, true);
       l.overrides = {{29, {1, true, false}}};
       return WithEntries(l, {File(1, {Slot(29, 0, 1)})});
     },
     Fmt::kJv3, Logical({2900})},
    {"from_1_jv3", [] { return WithEntries(Uniform(40, 1, 10, false, 1), {File(0, {Slot(5, 1, 1)})}); }, Fmt::kJv3,
     Logical(Range(55, 59))},
    {"from_1_dmk", [] { return WithEntries(Uniform(40, 1, 18, true, 1), {File(0, {Slot(5, 1, 2)})}); }, Fmt::kDmk,
     Logical(Range(96, 107))},
    {"doubled_single_density", [] { return WithEntries(DoubledSd(), {File(0, {Slot(3, 1, 2)})}); }, Fmt::kDmk,
     Logical(Range(35, 44))},
    {"newdos_units", [] { return Jv1Newdos(File(0, {Slot(3, 1, 2)}), 10); }, Fmt::kJv1, Logical(Range(35, 44))},
    {"newdos_units_beyond_track_count", [] { return Jv1Newdos(File(0, {Slot(70, 0, 1)}), 5); }, Fmt::kJv1,
     Logical(Range(350, 354))},
    // Newdos/80 counts units from track 1 on a disk whose track 0 differs.
    {"newdos_mixed_dmk_from_track_1", [] { return MixedNewdos(18); }, Fmt::kDmk,
     [](Disk& d) { return SectorsOf(d, Range(d.TrackStart(2) + 17, d.TrackStart(3) + 3)); }},
    // The boot sector names no unit that fits: the usual numbering stays.
    {"newdos_mixed_dmk_no_fit", [] { return MixedNewdos(7); }, Fmt::kDmk, Logical(Range(35, 39))},
};

class CopyOut : public ::testing::TestWithParam<CopyCase> {};

TEST_P(CopyOut, CopiesExactlyTheFilesSectors) {
  const CopyCase& c = GetParam();
  Disk d = c.make();
  auto o = OpenBytes(Serialize(d, c.fmt));
  ASSERT_EQ(o->out.kind, OpenKind::kListed) << o->out.detail;
  const int i = o->IndexOf("FILE", "DAT");
  ASSERT_GE(i, 0);
  ASSERT_TRUE(o->Copy(i));
  EXPECT_TRUE(o->notices.empty());
  const Bytes want = c.expect(d);
  EXPECT_EQ(o->st.fpb, double(want.size()));
  EXPECT_TRUE(o->Copied() == want) << "copied " << o->st.fpb / 256 << " sectors, wanted " << want.size() / 256;
  EXPECT_EQ(o->st.Copyfilename, "FILE.DAT");
  EXPECT_EQ(o->st.Filename, "FILE.DAT");
  // fpa is left past the last sector placed, wherever the copy stopped.
  if (!want.empty()) {
    const double after = o->st.fpa;
    ASSERT_EQ(FindSector(o->st), Located::kFound);
    EXPECT_EQ(after, o->st.fpa + 256.0 * o->st.secstep);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, CopyOut, ::testing::ValuesIn(kCopies),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(CopyOutNames, DosNameWithBlanksDropped) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"README  ", "   "}, "README."}, {{"MY FILE ", "BAS"}, "MYFILE.BAS"}, {{"PROG", "CMD"}, "PROG.CMD"},
      {{"A/B", "T\\X"}, "A/B.T\\X"},    {{"\xE9T\xE9", "TXT"}, "\xE9T\xE9.TXT"}, {{"", "ABC"}, ".ABC"}};
  std::vector<Entry> entries;
  for (const auto& c : cases) entries.push_back({0x10, c.first[0], c.first[1], 0, {Slot(5, 0, 1)}});
  auto o = OpenBytes(ToJv1(Jv1With(entries)));
  for (const auto& c : cases) {
    ASSERT_TRUE(o->Copy(c.first[0], c.first[1])) << c.second;
    EXPECT_EQ(o->st.Copyfilename, c.second);
  }
}

// ---- entries and sectors that cannot be read -----------------------------

struct BadCase {
  const char* label;
  std::function<Bytes()> make;
  // A sector off the disk stops the copy before it is located: the last
  // one placed (track, side, sector), which fpa is left past.
  std::array<int, 3> last_placed = {-1, -1, -1};
};
void PrintTo(const BadCase& c, std::ostream* os) { *os << c.label; }

Bytes Jv1Bad(const Entry& e) { return ToJv1(Jv1With({e})); }

const BadCase kBad[] = {
    {"track_beyond_disk", [] { return Jv1Bad(File(0, {Slot(40, 0, 1)})); }},
    {"track_beyond_tables", [] { return Jv1Bad(File(0, {Slot(90, 0, 1)})); }},
    {"sector_beyond_last_track",
     [] { return ToJv3(WithEntries(Uniform(40, 1, 10, false), {File(0, {Slot(39, 1, 2)})})); },
     {39, 0, 9}},
    {"sector_beyond_side_1_of_last_track",
     [] { return ToDmk(WithEntries(Uniform(40, 2, 18, true), {File(0, {Slot(39, 5, 2)})})); },
     {39, 1, 17}},
    {"sector_missing_jv3",
     [] {
       Disk d = WithEntries(Uniform(40, 1, 10, false), {File(0, {Slot(6, 0, 1)})});
       auto& s = d.At(6, 0).sectors;
       s.erase(s.begin() + 3);
       return ToJv3(d);
     }},
    {"sector_missing_dmk",
     [] {
       Disk d = WithEntries(Uniform(40, 1, 18, true), {File(0, {Slot(6, 0, 1)})});
       d.At(6, 0).sectors[3].number = 30;
       return ToDmk(d);
     }},
    {"sector_past_image_end", [] { return Cut(Jv1Bad(File(0, {Slot(35, 0, 1)})), 30 * 2560); }},
    {"sector_straddles_image_end", [] { return Cut(Jv1Bad(File(0, {Slot(35, 0, 1)})), 35 * 2560 + 4 * 256 + 100); }},  // its last sector
    {"extents_overflow_copy_buffer",
     [] { return Jv1Bad(File(0, {Slot(1, 0, 32), Slot(1, 0, 32), Slot(1, 0, 32), Slot(1, 0, 32), Slot(1, 0, 32)}, false)); }},
    {"newdos_unit_overflow", [] { return ToJv1(Jv1Newdos(File(0, {Slot(200, 0, 1)}), 1275)); }},
    {"newdos_mixed_dmk_unit_beyond_disk", [] {
       Disk d = MixedNewdos(18);
       PutEntry(d, d.TrackStart(11) + 2, 0, File(0, {Slot(80, 0, 1)}));
       return ToDmk(d);
     }},
};

class CopyFails : public ::testing::TestWithParam<BadCase> {};

TEST_P(CopyFails, ShowsOneMessageAndReturnsFalse) {
  auto o = OpenBytes(GetParam().make());
  ASSERT_EQ(o->out.kind, OpenKind::kListed) << o->out.detail;
  const int i = o->IndexOf("FILE", "DAT");
  ASSERT_GE(i, 0);
  EXPECT_FALSE(o->Copy(i));
  ASSERT_EQ(o->notices.size(), 1u);
  const Notice& m = o->notices[0];
  EXPECT_EQ(m.text, "** ERROR **  File could not be read, nothing was copied");
  EXPECT_EQ(m.title, "Error");
  EXPECT_EQ(m.icon, MsgIcon::None);
  if (const auto [t, s, n] = GetParam().last_placed; t >= 0) {
    const double after = o->st.fpa;
    o->st.TrkToFind = int16_t(t), o->st.SideToFind = int16_t(s), o->st.SecToFind = int16_t(n);
    ASSERT_EQ(FindSector(o->st), Located::kFound);
    EXPECT_EQ(after, o->st.fpa + 256.0 * o->st.secstep);
  }
}

INSTANTIATE_TEST_SUITE_P(Entries, CopyFails, ::testing::ValuesIn(kBad),
                         [](const auto& info) { return std::string(info.param.label); });

// An entry is listed and copied when its own 32 bytes lie in the image,
// whatever happens to the rest of its directory sector.
TEST(CopyOut, EntryOfADirectorySectorCutShort) {
  Disk d = Jv1With({{0x10, "FIRST", "DAT", 0, {Slot(5, 0, 1)}}, {0x10, "SECOND", "DAT", 0, {Slot(6, 0, 1)}}});
  auto o = OpenBytes(Cut(ToJv1(d), 172 * 256 + 60));  // entry 1's name is in, its extents are not
  ASSERT_EQ(o->Items(), std::vector<std::string>{"FIRST    DAT"});
  ASSERT_TRUE(o->Copy(0));
  EXPECT_EQ(o->Copied(), SectorsOf(d, Range(50, 54)));
}

// ---- writing the copy out -----------------------------------------------------

TEST(SafeHostName, NothingCanLeaveTheFolder) {
  const std::pair<std::string, std::string> cases[] = {
      {"PROG.CMD", "PROG.CMD"},     {"A/B.TXT", "A_B.TXT"}, {"../../X.", ".._.._X."},
      {"A\\B.C", "A_B.C"},         {std::string("A\0B.C", 5), "A_B.C"},
      {"\x01\x1F\x7F.X", "___.X"}, {".", "_"},             {"..", "_."},
      {"...", "_.."},               {"", "_"},              {"CAF\xC9.TXT", "CAF\xC3\x89.TXT"},
      {"\x80\x9B[2J\x9F.\xA0", "__[2J_.\xC2\xA0"}, {" ~.~", " ~.~"}, {"A\x7F.X", "A_.X"},
  };
#ifdef _WIN32
  for (const auto& [in, out] : cases) EXPECT_EQ(SafeHostName(in), WindowsHostName(out)) << in;
#else
  for (const auto& [in, out] : cases) EXPECT_EQ(SafeHostName(in), out) << in;
#endif
}

TEST(SafeHostName, WindowsRule) {
  const std::pair<std::string, std::string> cases[] = {
      {"PROG.CMD", "PROG.CMD"}, {"A:B*C?.\"<>|", "A_B_C_.____"}, {"X.", "X_"},         {"X. .", "X___"},
      {"con", "con_"},          {"CON.TXT", "CON_.TXT"},          {"Aux .A.B", "Aux_ .A.B"}, {"COM1.BAS", "COM1_.BAS"},
      {"LPT9", "LPT9_"},        {"COM\xC2\xB9.X", "COM\xC2\xB9_.X"},  {"COM0.X", "COM0.X"},  {"CONSOLE", "CONSOLE"},
      {"NULL.TXT", "NULL.TXT"}, {"LPT10", "LPT10"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(WindowsHostName(in), out) << in;
}

// Where a copy lands, and when two names are one, as this system sees it.
TEST(Platform, JoinsAndComparesNamesAsTheSystemDoes) {
#ifdef _WIN32
  const char* const joined[][3] = {{"out", "A.TXT", "out\\A.TXT"}, {"C:", "A.TXT", "C:A.TXT"},
                                   {"C:\\", "A.TXT", "C:\\A.TXT"}, {"out/", "A.TXT", "out/A.TXT"}};
  EXPECT_EQ(platform::FolderKey("alpha.bas"), platform::FolderKey("ALPHA.BAS"));
#else
  const char* const joined[][3] = {{"out", "A.TXT", "out/A.TXT"}, {"C:", "A.TXT", "C:/A.TXT"}};
  EXPECT_NE(platform::FolderKey("alpha.bas"), platform::FolderKey("ALPHA.BAS"));
#endif
  for (const auto& [folder, name, path] : joined) EXPECT_EQ(platform::InFolder(folder, name), path) << folder;
}

TEST(WriteFileAtomic, ReplacesOnlyWhenAskedNeverTheImageWholeOrNotAtAll) {
  TempDir dir;
  WriteError error;
  const auto write = [&](const std::string& name, const Bytes& b, WriteOptions options = {true, {}}) {
    error = {};
    return WriteFileAtomic(dir / name, b.data(), b.size(), options, &error);
  };
  WriteBytes(dir / "T.BIN", Pattern(1, 5000));
  ASSERT_TRUE(write("T.BIN", Pattern(2, 300))) << error.text;
  EXPECT_EQ(ReadBytes(dir / "T.BIN"), Pattern(2, 300));  // no stale tail

  // Refusals change nothing. T.BIN plays the image being read, also through a link.
  FileChannel image;
  ASSERT_TRUE(image.OpenForRead(dir / "T.BIN"));
  image.Close();
  const platform::FileId id = image.Identity();
#ifndef _WIN32
  fs::create_symlink("T.BIN", dir.path() / "LINK");
#endif
  WriteBytes(dir / "PLAIN", Pattern(4, 10));
  fs::create_directory(dir.path() / "FOLDER");
  const std::tuple<const char*, WriteOptions, WriteFailure> refusals[] = {
      {"PLAIN/UNDER.FILE", {true, {}}, WriteFailure::kCreate},  // the parent is a file
      {"FOLDER", {true, {}}, WriteFailure::kRename},
      {"FOLDER", {}, WriteFailure::kExists},
      {"PLAIN", {}, WriteFailure::kExists},
      {"T.BIN", {false, id}, WriteFailure::kIsImage},
      {"T.BIN", {true, id}, WriteFailure::kIsImage},
#ifndef _WIN32
      {"LINK", {true, id}, WriteFailure::kIsImage},
#endif
  };
  const Bytes b = Pattern(3, 4096);
  for (const auto& [name, options, kind] : refusals) {
    EXPECT_FALSE(write(name, b, options)) << name;
    EXPECT_EQ(error.kind, kind) << name << ": " << error.text;
  }
  EXPECT_EQ(ReadBytes(dir / "PLAIN"), Pattern(4, 10));
  EXPECT_EQ(ReadBytes(dir / "T.BIN"), Pattern(2, 300));

  // The last step itself refuses a name taken after the writing began.
  {
    platform::PendingFile late;
    ASSERT_EQ(late.Create(dir.path().string()), 0);
    ASSERT_EQ(late.Write(b.data(), b.size()) + late.Flush(), 0);
    WriteBytes(dir / "LATE", Pattern(5, 10));
    EXPECT_EQ(late.Publish(dir / "LATE", false), EEXIST);
    EXPECT_EQ(ReadBytes(dir / "LATE"), Pattern(5, 10));
  }

#ifndef _WIN32
  // A write that runs out of room half-way (the file size limit stops root too).
  WriteBytes(dir / "OLD.DAT", Pattern(5, 100));
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool ok = write("OLD.DAT", b);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_TRUE(!ok && error.kind == WriteFailure::kWrite) << error.text;
  EXPECT_EQ(ReadBytes(dir / "OLD.DAT"), Pattern(5, 100));
  EXPECT_EQ(FolderNames(dir.path()),
            (std::vector<std::string>{"FOLDER", "LATE", "LINK", "OLD.DAT", "PLAIN", "T.BIN"}));
#else
  EXPECT_EQ(FolderNames(dir.path()), (std::vector<std::string>{"FOLDER", "LATE", "PLAIN", "T.BIN"}));
#endif
}

#ifndef _WIN32
// An image that is swapped for a FIFO while it is being opened is refused
// at once: opening never waits for a writer. A child process opens while a
// thread swaps; a child still busy after the time limit hangs.
TEST(FileChannel, AFifoSwappedInForTheImageNeverBlocksTheOpen) {
  TempDir dir;
  const std::string image = dir / "IMAGE", next = dir / "NEXT", plain = dir / "PLAIN", fifo = dir / "FIFO";
  WriteBytes(plain, Pattern(1, 256));
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::atomic<int> swaps{0};
    std::thread swapper([&] {
      for (; swaps < 40000; ++swaps) {
        ::link((swaps % 2 ? fifo : plain).c_str(), next.c_str());
        ::rename(next.c_str(), image.c_str());
      }
    });
    FileChannel channel;
    while (swaps < 40000) channel.OpenForRead(image);
    swapper.join();
    ::_exit(0);
  }
  int status = 0;
  for (int tick = 0; tick < 200 && ::waitpid(child, &status, WNOHANG) == 0; ++tick) ::usleep(50000);
  if (WIFEXITED(status)) return;
  ::kill(child, SIGKILL);
  ::waitpid(child, &status, 0);
  FAIL() << "the open waited for a writer of the FIFO";
}
#endif

}  // namespace
}  // namespace vornik::testing

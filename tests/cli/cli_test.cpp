// The vornik-cli contract, run as a program: the `list --json` line of each
// image against its golden line, the listings of the real disk images,
// extract's files and statuses, usage, and the exit statuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "extract/safe_name.h"
#include "support.h"

namespace vornik::testing {
namespace {

using Json = nlohmann::ordered_json;

RunResult Cli(const std::vector<std::string>& args, const fs::path& cwd = {}) { return Run(VORNIK_CLI, args, cwd); }

std::vector<Json> JsonLines(const std::string& out) {
  std::vector<Json> lines;
  size_t start = 0;
  while (start < out.size()) {
    const size_t end = out.find('\n', start);
    EXPECT_NE(end, std::string::npos) << "last line without a newline";
    lines.push_back(Json::parse(out.substr(start, end - start)));
    start = end + 1;
  }
  return lines;
}

// A copy's name as this build writes it: Windows avoids more names.
std::string HostName(const std::string& name) {
#ifdef _WIN32
  return WindowsHostName(name);
#else
  return name;
#endif
}

// The image path, compared by its file name; the copies' names as this build makes them.
Json ByFileName(Json j) {
  if (j.contains("image")) j["image"] = fs::path(j["image"].get<std::string>()).filename().string();
  if (j.contains("files"))
    for (Json& file : j["files"])
      if (file.contains("pc_name")) file["pc_name"] = HostName(file["pc_name"].get<std::string>());
  return j;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }
std::string Sample(const char* name) { return (fs::path(VORNIK_SAMPLES) / name).string(); }

[[maybe_unused]] std::string ByteHex(const std::string& bytes) {
  std::string hex;
  for (unsigned char c : bytes) hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15];
  return hex;
}

// Images built for these tests, written once into a shared folder, with the
// bytes some listed files must copy to.
struct Images {
  TempDir dir;
  std::string plain, odd, killed, newdos, cases, greedy, damaged, jv3 = Sample("double-sided.jv3"), dmk = Sample("double-density.dmk");
  Bytes hello, prog, dup1, kept;
};
Images* images = nullptr;

void Save(std::string& path, const std::string& name, const Bytes& bytes) {
  path = images->dir / name;
  WriteBytes(path, bytes);
}

void MakeImages(Images& im) {
  // JV1: HELLO/TXT (two sectors counted of a granule), PROG/CMD (N = 0: the whole granule).
  Disk plain = MakeJv1Disk();
  PutFile(plain, 50, Text(std::string(300, 'h') + "\nend of the short text\n"));
  for (int l = 65; l < 70; ++l) FillPattern(plain, l);
  // LONG/TXT: its DOS's size (20 sectors) needs more than its one granule.
  PutEntries(plain, 170, {{0x10, "HELLO", "TXT", 2, {Slot(5, 0, 1)}, true, 67},
                          {0x10, "PROG", "CMD", 0, {Slot(6, 1, 1)}},
                          {0x10, "LONG", "TXT", 20, {Slot(7, 0, 1)}},
                          {0x4F, "GONE", "SYS", 1, {Slot(7, 0, 1)}}});
  im.hello = SectorsOf(plain, Range(50, 51));
  im.prog = SectorsOf(plain, Range(65, 69));
  Save(im.plain, "plain.dsk", ToJv1(plain));

  // JV1 with awkward names, a damaged entry and two entries of one name.
  Disk odd = MakeJv1Disk();
  for (int l = 80; l < 100; ++l) FillPattern(odd, l);
  PutEntries(odd, 170, {{0x10, "A/B\xE9", "\bX", 1, {Slot(8, 0, 1)}},
                        {0x10, "..", "", 1, {Slot(8, 1, 1)}},
                        {0x10, "BAD", "DAT", 1, {Slot(60, 0, 1)}},  // track 60 of 40
                        {0x10, "DUP", "TXT", 1, {Slot(9, 0, 1)}},
                        {0x10, "DUP", "TXT", 1, {Slot(9, 1, 1)}}});
  im.dup1 = SectorsOf(odd, {90});
  Save(im.odd, "odd.dsk", ToJv1(odd));

  // A killed entry ahead of the file in use of the same name.
  Disk killed = MakeJv1Disk();
  for (int l = 80; l < 100; ++l) FillPattern(killed, l);
  PutEntries(killed, 170, {{0x4F, "KEPT", "TXT", 1, {Slot(8, 0, 1)}}, {0x10, "KEPT", "TXT", 1, {Slot(9, 0, 1)}}});
  im.kept = SectorsOf(killed, {90});
  Save(im.killed, "killed.dsk", ToJv1(killed));

  // JV1 with the Newdos/80 mark: extents count allocation units of spl sectors.
  Disk newdos = MakeJv1Disk();
  SetNewdosMark(newdos, 0, 10);
  for (int l = 100; l < 115; ++l) FillPattern(newdos, l);
  PutEntries(newdos, 170, {{0x10, "ND", "TXT", 7, {Slot(10, 1, 2)}}});
  Save(im.newdos, "newdos.dsk", ToJv1(newdos));

  // One name in three cases, and a name that would move a terminal's cursor and fake a line.
  Save(im.cases, "cases.dsk",
       ToJv1(Jv1With({{0x10, "ALPHA", "BAS", 1, {Slot(5, 0, 1)}},
                      {0x10, "alpha", "bas", 1, {Slot(6, 0, 1)}},
                      {0x10, "Alpha", "Bas", 1, {Slot(7, 0, 1)}},
                      {0x10, "\x1b[2J\nX", "\x9b" "1m", 1, {Slot(5, 0, 1)}}})));

  // A DMK whose FILE/DAT has a data CRC error in its first sector.
  DmkMap map;
  Bytes spoiled = ToDmk(WithEntries(Uniform(40, 1, 18, true), {{0x10, "FILE", "DAT", 5, {Slot(5, 0, 1)}}}), {}, &map);
  spoiled[size_t(map.data[5][0])] ^= 1;
  Save(im.damaged, "damaged.dmk", spoiled);

  // 64 entries, each naming the same 320 sectors: 5 MB from a 100 KB image.
  std::vector<Entry> greedy;
  for (int i = 0; i < 64; ++i) greedy.push_back({0x10, "G" + std::to_string(i), "DAT", 0, {Slot(1, 0, 32), Slot(1, 0, 32)}});
  Save(im.greedy, "greedy.dsk", ToJv1(Jv1With(greedy)));
}

class CliTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    images = new Images;
    MakeImages(*images);
  }
  static void TearDownTestSuite() {
    delete images;
    images = nullptr;
  }
};

// ---- list --json against the golden lines -----------------------------------

TEST_F(CliTest, ListJsonEqualsTheGoldenLine) {
  std::map<std::string, Json> golden;
  std::ifstream in(fs::path(VORNIK_GOLDEN));
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) {
      Json j = Json::parse(line);
      golden[j["image"].get<std::string>()] = j;
    }
  const std::pair<std::string, int> cases[] = {{images->plain, 0},
                                               {images->odd, 3},
                                               {images->newdos, 0},
                                               {Sample("newdos80-jv1.dsk"), 0},
                                               {images->jv3, 0},
                                               {images->dmk, 0}};
  for (const auto& [image, status] : cases) {
    SCOPED_TRACE(image);
    const RunResult r = Cli({"list", "--json", image});
    EXPECT_EQ(r.status, status) << r.err;
    const std::vector<Json> lines = JsonLines(r.out);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]["image"], image);
    const Json got = ByFileName(lines[0]);
    EXPECT_EQ(got, ByFileName(golden[got["image"].get<std::string>()])) << got.dump();
  }
  // Disk bytes outside printable ASCII are escaped as \u00XX, but for the
  // two-character escapes of the quote, the backslash, tab, LF and CR.
  EXPECT_NE(Cli({"list", "--json", images->odd}).out.find("\"A/B\\u00e9     \\u0008X \""), std::string::npos);
  TempDir dir;
  WriteBytes(dir / "escapes.dsk",
             ToJv1(Jv1With({{0x10, "\t\n\r\"\\\f\x7f\x01", std::string("\0\xff\x1f", 3), 1, {Slot(5, 0, 1)}}})));
  EXPECT_NE(Cli({"list", "--json", dir / "escapes.dsk"}).out.find(R"("item":"\t\n\r\"\\\u000c\u007f\u0001 \u0000\u00ff\u001f")"),
            std::string::npos);
}

TEST_F(CliTest, ImagesThatCannotBeListedGiveErrorObjects) {
  TempDir dir;
  WriteBytes(dir / "empty.dsk", {});
  WriteBytes(dir / "noheader.dsk", Text("0123456789abcdefghijklmnopqrstuvwxyz"));
  fs::create_directory(dir.path() / "folder.dsk");
  const char kOpenFailed[] = "Error encountered while trying to open file, please retry.";
#ifdef _WIN32
  const std::string missing = dir / "missing.dsk";  // a Windows command line is text, not bytes
#else
  const std::string missing = dir / "missing\xff.dsk";
#endif
  const std::vector<std::string> paths = {missing, dir / "folder.dsk", dir / "noheader.dsk", dir / "empty.dsk",
                                          images->plain};
  const std::pair<std::string, std::string> want[] = {
      {"unreadable", kOpenFailed},
      {"unreadable", kOpenFailed},
      {"refused", "** ERROR **\r This file does not have an EMULATOR Disk format HEADER\r    It may be a Disk file "
                  "for use with a dedicated program"},
      {"damaged", "image could not be read: "}};
  std::vector<std::string> args = {"list", "--json"};
  args.insert(args.end(), paths.begin(), paths.end());
  const RunResult r = Cli(args);
  EXPECT_EQ(r.status, 2);  // the largest status that applies
  std::vector<Json> lines = JsonLines(r.out);
  ASSERT_EQ(lines.size(), paths.size());
#ifndef _WIN32
  // A path that is not UTF-8 is named by its bytes too.
  EXPECT_EQ(lines[0]["image_hex"], ByteHex(paths[0]));
  lines[0].erase("image_hex");
  EXPECT_EQ(lines[0]["image"], dir / "missing\uFFFD.dsk");
  lines[0]["image"] = paths[0];
#endif
  for (size_t i = 0; i < std::size(want); ++i) {
    EXPECT_EQ(lines[i].size(), 3u);
    EXPECT_EQ(lines[i]["image"], paths[i]);
    EXPECT_EQ(lines[i]["kind"], want[i].first);
    EXPECT_EQ(lines[i]["error"].get<std::string>().rfind(want[i].second, 0), 0u) << lines[i].dump();
  }
  EXPECT_EQ(lines[4]["format"], "JV1");  // a fresh state per image
  EXPECT_FALSE(fs::exists(dir.path() / "missing.dsk"));  // the image is never created
}

#ifndef _WIN32
// Each byte that JSON text must escape, and the printable ones next to
// them, at every place of a name: the line holds printable ASCII only and
// gives the path back (by its bytes when it is not UTF-8).
TEST_F(CliTest, ImageNamesAreEscapedWhereverTheByteFalls) {
  TempDir dir;
  const std::string odd[] = {"\x01", "\b", "\x1f", " ", "\"", "\\", "~", "\x7f", "\x80", "\xff", "\xc3\xa9"};
  std::vector<std::string> args = {"list", "--json"};
  for (const std::string& c : odd)
    for (size_t at = 0; at < 16; ++at) args.push_back(dir / (std::string(at, 'n') + c + std::string(15 - at, 'n') + ".dsk"));
  const RunResult r = Cli(args);
  const std::vector<Json> lines = JsonLines(r.out);
  ASSERT_EQ(lines.size(), args.size() - 2);
  EXPECT_TRUE(std::all_of(r.out.begin(), r.out.end(), [](char c) { return c == '\n' || (c >= 0x20 && c < 0x7f); }));
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& path = args[i + 2];
    if (lines[i].contains("image_hex")) {
      EXPECT_EQ(lines[i]["image_hex"], ByteHex(path));
    } else {
      EXPECT_EQ(lines[i]["image"], path);
    }
  }
}
#endif

TEST_F(CliTest, SeveralImagesGiveOneLineEachAndTheLargestStatus) {
  const RunResult r = Cli({"list", "--json", images->odd, images->plain, images->dmk});
  EXPECT_EQ(r.status, 3);
  const std::vector<Json> lines = JsonLines(r.out);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2], JsonLines(Cli({"list", "--json", images->dmk}).out).at(0));  // reads as alone
  EXPECT_EQ(Cli({"info", images->odd, images->plain}).status, 0);
  EXPECT_EQ(Cli({"info", images->odd + ".missing", images->plain}).status, 2);
}

TEST_F(CliTest, ListAndInfoText) {
  const RunResult list = Cli({"list", images->plain});
  EXPECT_EQ(list.status, 0);
  EXPECT_EQ(list.out, images->plain + ": JV1, 4 files\n" +
                          "  GONE/SYS      256 bytes     sector 172  entry 3  size 256    -          SI7 killed\n"
                          "  HELLO/TXT     512 bytes     sector 172  entry 0  size 323    -          --0\n"
                          "  LONG/TXT      1280 bytes    sector 172  entry 2  size 5120   -          --0\n"
                          "  PROG/CMD      1280 bytes    sector 172  entry 1  size 0      -          --0\n");
  // Control characters in names are written visibly: no cursor moves, no extra line.
  const RunResult hostile = Cli({"list", images->cases});
  EXPECT_NE(hostile.out.find("\n  \\x1b[2J\\x0aX/\\x9b1m 256 bytes"), std::string::npos) << hostile.out;
  EXPECT_EQ(std::count(hostile.out.begin(), hostile.out.end(), '\n'), 5);
  const RunResult info = Cli({"info", images->newdos});
  EXPECT_EQ(info.out, "Image:       " + images->newdos +
                          "\nFormat:      JV1\n"
                          "Summary:      40 Track   S/Density  S/Sided  Sec/Cyl. = 10 ( 10 * 1)   Spg = 5\n"
                          "Newdos/80:   yes\nDirectory:   sectors 170 to 179\nDOS:         TRSDOS 2.x\n"
                          "Disk name:   \\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\n"
                          "Disk date:   \\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\n"
                          "Free:        102400 of 102400 bytes\nFiles:       1\n");
}

TEST_F(CliTest, UsageVersionAndHelp) {
  const struct {
    std::vector<std::string> args;
    int status;
    const char* out_start;
  } cases[] = {
      {{"--version"}, 0, "vornik-cli 1.0\n"},
      {{"--help"}, 0, "Usage:\n"},
      {{"list", "--help"}, 0, "Usage:\n"},
      {{}, 1, ""},
      {{"frobnicate", "x.dsk"}, 1, ""},
      {{"list"}, 1, ""},
      {{"list", "--bogus", "x.dsk"}, 1, ""},
      {{"info", "--json", "x.dsk"}, 1, ""},
      {{"extract", "x.dsk"}, 1, ""},  // neither names nor --all
      {{"extract", "x.dsk", "--all", "-o"}, 1, ""},
      {{"check"}, 1, ""},
      {{"map", "x.dsk"}, 1, ""},  // no -o
      {{"extract", "--all"}, 1, ""},
  };
  for (const auto& c : cases) {
    const RunResult r = Cli(c.args);
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0]);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(r.out.substr(0, std::string(c.out_start).size()), c.out_start);
    if (c.status == 1) {
      EXPECT_TRUE(r.out.empty() && r.err.find("Usage:") != std::string::npos) << r.err;
    }
  }
}

// ---- check and map --------------------------------------------------------------

TEST_F(CliTest, CheckSaysWhichSectorsAndFilesAreDamaged) {
  const RunResult intact = Cli({"check", "--json", images->dmk, images->plain});
  EXPECT_EQ(intact.status, 0) << intact.err;
  const std::vector<Json> lines = JsonLines(intact.out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]["sectors"], (Json{{"total", 720}, {"intact", 720}, {"damaged", 0}, {"id_crc_errors", 0},
                                        {"data_crc_errors", 0}, {"no_data_mark", 0}, {"flagged", 0}, {"truncated", 0},
                                        {"unchecked", 0}}));
  EXPECT_EQ(lines[0]["files"][0], (Json{{"shown", "HELLO/BAS"}, {"pc_name", "HELLO.BAS"}, {"integrity", "intact"},
                                        {"bad_sectors", Json::array()}}));
  EXPECT_EQ(lines[1]["sectors"]["unchecked"], 400);  // JV1 keeps nothing to check
  EXPECT_EQ(lines[1]["files"][0]["integrity"], "unchecked");

  const RunResult damaged = Cli({"check", images->damaged});
  EXPECT_EQ(damaged.status, 5);
  EXPECT_NE(damaged.out.find("1 damaged (0 ID CRC, 1 data CRC"), std::string::npos) << damaged.out;
  EXPECT_NE(damaged.out.find("\n  FILE/DAT: damaged: track 5 side 0 sector 0 (data CRC error)\n"), std::string::npos);
  EXPECT_EQ(Cli({"check", images->damaged, images->plain + ".missing"}).status, 2);

  // The copy is written all the same, and said to be damaged.
  TempDir out;
  const RunResult extract = Cli({"extract", images->damaged, "--all", "-o", out.path().string()});
  EXPECT_EQ(extract.status, 0);
  EXPECT_NE(extract.err.find("FILE/DAT: written, but 1 of its sectors failed their check"), std::string::npos);
  // The disk map, as an SVG file.
  EXPECT_EQ(Cli({"map", images->damaged, "-o", out / "map.svg"}).status, 0);
  const Bytes svg = ReadBytes(out.path() / "map.svg");
  EXPECT_NE(std::string(svg.begin(), svg.end()).find("</svg>"), std::string::npos);
}

// ---- extract ------------------------------------------------------------------

TEST_F(CliTest, ExtractWritesWhatItCanAndSaysWhatItCannot) {
  const struct {
    const char* label;
    std::string* image;
    std::vector<std::string> args;  // after the image; -o is added
    int status;
    std::vector<std::string> written;
  } cases[] = {
      {"a name in any form", &images->plain, {"Hello/Txt", "hello.txt", "PROG.CMD"}, 0, {"HELLO.TXT", "PROG.CMD"}},
      {"every file of a jv3", &images->jv3, {"--all"}, 0, {"HELLO.BAS", "HELLO.CMD", "NOTES.TXT", "README.TXT"}},
      {"every file of a dmk", &images->dmk, {"--all"}, 0, {"HELLO.BAS", "HELLO.CMD", "NOTES.TXT", "README.TXT"}},
      {"newdos allocation units", &images->newdos, {"nd/txt"}, 0, {"ND.TXT"}},
      // The DOS's size: 323 bytes of HELLO/TXT; none where the extents fall short.
      {"exact size", &images->plain, {"hello/txt", "--exact"}, 0, {"HELLO.TXT"}},
      {"exact size the extents lack", &images->plain, {"long/txt", "--exact"}, 3, {}},
      // A damaged entry writes nothing; of two files of one name the second is skipped.
      {"all of odd", &images->odd, {"--all"}, 4, {"A_B\u00e9._X", "DUP.TXT", "_.."}},
      {"damaged entry", &images->odd, {"bad/dat"}, 3, {}},
      {"a name not on the disk", &images->odd, {"NOPE/TXT", "dup.txt"}, 4, {"DUP.TXT"}},
      {"missing name only", &images->odd, {"NOPE.TXT"}, 3, {}},
      // The file in use takes its name, wherever a killed entry of that name stands.
      {"a killed entry first", &images->killed, {"--all"}, 4, {"KEPT.TXT"}},
      {"hostile name by its safe form", &images->odd, {"a_b\u00e9._x"}, 0, {"A_B\u00e9._X"}},
#ifndef _WIN32
      // A name given exactly as listed selects that entry alone.
      {"exactly as listed", &images->cases, {"alpha/bas", "Alpha.Bas"}, 0, {"Alpha.Bas", "alpha.bas"}},
      {"in another case", &images->cases, {"alpha/BAS"}, 0, {"ALPHA.BAS", "Alpha.Bas", "alpha.bas"}},
#else
      // A folder that ignores case takes the first of the three names.
      {"in another case", &images->cases, {"alpha/BAS"}, 4, {"ALPHA.BAS"}},
#endif
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    TempDir out;
    std::vector<std::string> args = {"extract", *c.image};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.insert(args.end(), {"-o", out.path().string()});
    const RunResult r = Cli(args);
    EXPECT_EQ(r.status, c.status) << r.err;
    std::vector<std::string> written;
    for (const std::string& name : c.written) written.push_back(HostName(name));
    std::sort(written.begin(), written.end());
    EXPECT_EQ(FolderNames(out.path()), written);
    // Each written file is named on stdout with its size, and has that size.
    for (const std::string& name : written) {
      const fs::path file = out.path() / Utf8Path(name);
      const std::u8string shown = file.u8string();
      const std::string line = std::string(shown.begin(), shown.end()) + "  " + std::to_string(fs::file_size(file)) + " bytes\n";
      EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
    }
  }
  // The bytes: against the built sectors, and one list entry each against `list --json`.
  TempDir out;
  Cli({"extract", images->plain, "hello/txt", "--exact", "-o", out.path().string()});
  EXPECT_EQ(ReadBytes(out.path() / "HELLO.TXT"), Bytes(images->hello.begin(), images->hello.begin() + 323));
  Cli({"extract", images->plain, "--all", "--force", "-o", out.path().string()});
  Cli({"extract", images->odd, "DUP/TXT", "-o", out.path().string()});
  EXPECT_EQ(ReadBytes(out.path() / "HELLO.TXT"), images->hello);
  EXPECT_EQ(ReadBytes(out.path() / "PROG.CMD"), images->prog);
  EXPECT_EQ(ReadBytes(out.path() / "DUP.TXT"), images->dup1);  // the first of the two
  const RunResult bad = Cli({"extract", images->odd, "bad/dat", "-o", out.path().string()});
  EXPECT_NE(bad.err.find("BAD/DAT: ** ERROR **  File could not be read, nothing was copied\n"), std::string::npos)
      << bad.err;
  const RunResult killed = Cli({"extract", images->killed, "kept/txt", "-o", out.path().string()});
  EXPECT_NE(killed.err.find("KEPT/TXT: skipped, a killed entry"), std::string::npos) << killed.err;
  EXPECT_EQ(ReadBytes(out.path() / "KEPT.TXT"), images->kept);
}

// One extract writes at most four times the image or 4 MiB: 51 files of
// 80 KB here, then it stops and says so.
TEST_F(CliTest, ExtractStopsAtItsWriteBudget) {
  TempDir out;
  const RunResult r = Cli({"extract", images->greedy, "--all", "-o", out.path().string()});
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("would write more than 4194304 bytes"), std::string::npos) << r.err;
  EXPECT_EQ(FolderNames(out.path()).size(), 51u);
}

TEST_F(CliTest, ExtractNeverOverwritesWithoutForceAndReportsWriteFailures) {
  TempDir out;
  const Bytes old(3000, 'o');  // longer than the copy: no stale tail may stay
  WriteBytes(out / "HELLO.TXT", old);
  const RunResult refused = Cli({"extract", images->plain, "--all", "-o", out.path().string()});
  EXPECT_EQ(refused.status, 4);
  EXPECT_NE(refused.err.find("HELLO.TXT: exists, not overwritten (use --force)"), std::string::npos) << refused.err;
  EXPECT_EQ(ReadBytes(out.path() / "HELLO.TXT"), old);
  EXPECT_EQ(ReadBytes(out.path() / "PROG.CMD"), images->prog);  // the other file is written

  EXPECT_EQ(Cli({"extract", images->plain, "--all", "--force"}, out.path()).status, 0);  // into the current folder
  EXPECT_EQ(ReadBytes(out.path() / "HELLO.TXT"), images->hello);

  fs::remove(out.path() / "HELLO.TXT");
  fs::create_directory(out.path() / "HELLO.TXT");  // a folder in the way
  const RunResult in_the_way = Cli({"extract", images->plain, "hello/txt", "--force", "-o", out.path().string()});
  EXPECT_EQ(in_the_way.status, 4);
  EXPECT_NE(in_the_way.err.find("HELLO.TXT: Is a directory"), std::string::npos) << in_the_way.err;
  EXPECT_TRUE(fs::is_directory(out.path() / "HELLO.TXT"));
#ifndef _WIN32
  // A pipe (or a device) in the way is never written over, by a copy or by a map.
  const fs::path pipe = out / "PROG.CMD";
  fs::remove(pipe);
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const RunResult on_pipe = Cli({"extract", images->plain, "prog/cmd", "--force", "-o", out.path().string()});
  EXPECT_EQ(on_pipe.status, 4);
  EXPECT_NE(on_pipe.err.find("PROG.CMD is a device, a pipe or a socket, not a file"), std::string::npos) << on_pipe.err;
  EXPECT_EQ(Cli({"map", images->plain, "-o", pipe.string()}).status, 4);
  EXPECT_TRUE(fs::is_fifo(pipe));
  fs::remove(pipe);
  EXPECT_EQ(Cli({"extract", images->plain, "prog/cmd", "-o", out.path().string()}).status, 0);
#endif
  // A folder that cannot take files is named once, not once a file.
  const RunResult missing = Cli({"extract", images->plain, "--all", "-o", out / "missing"});
  EXPECT_EQ(missing.status, 4);
  EXPECT_EQ(missing.err, "vornik-cli: " + images->plain + ": " + out / "missing" +
                             ": no file can be written in this folder (No such file or directory); nothing is written\n");
  EXPECT_EQ(Cli({"extract", out / "none.dsk", "--all", "-o", out.path().string()}).status, 2);
  EXPECT_EQ(FolderNames(out.path()), (std::vector<std::string>{"GONE.SYS", "HELLO.TXT", "LONG.TXT", "PROG.CMD"}));
}

// A copy shorter than the size its DOS gives the file is written and said
// to be; the exact copy refuses it.
TEST_F(CliTest, ExtractSaysWhenTheDosCountsMoreThanTheExtentsHold) {
  Disk d = MakeJv1Disk();
  SetNewdosMark(d, 0, 10);
  PutEntries(d, 170, {{0x10, "ND", "TXT", 40, {Slot(10, 1, 2)}}});
  TempDir out;
  const std::string path = out / "short.dsk";
  WriteBytes(path, ToJv1(d));
  fs::create_directory(out / "x");
  const RunResult r = Cli({"extract", path, "--all", "-o", out / "x"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("ND/TXT: written, but only 2560 of the 10240 bytes its DOS counts"), std::string::npos) << r.err;
  EXPECT_EQ(fs::file_size(out.path() / "x" / "ND.TXT"), 2560u);
  EXPECT_EQ(Cli({"extract", path, "--all", "--exact", "--force", "-o", out / "x"}).status, 3);
}

// An image cut short inside its directory lists what is left and says the
// rest is lost, in list and in check; a directory that cannot be read at
// all is named in check's JSON as in its text.
TEST_F(CliTest, AnImageCutInsideItsDirectorySaysSo) {
  TempDir dir;
  const Bytes whole = ReadBytes(images->plain);
  struct CutCase {
    size_t size;
    std::vector<std::string> files;
  };
  const CutCase cases[] = {{172 * 256 + 40, {"HELLO/TXT"}}, {100 * 256, {}}};
  for (const CutCase& c : cases) {
    SCOPED_TRACE(c.size);
    const std::string path = dir / "cut.dsk";
    WriteBytes(path, Cut(whole, c.size));
    const RunResult list = Cli({"list", "--json", path});
    EXPECT_EQ(list.status, 3);
    EXPECT_NE(list.err.find("the image ends inside the directory"), std::string::npos) << list.err;
    const std::vector<Json> lines = JsonLines(list.out);
    std::vector<std::string> shown;
    for (const Json& f : lines.at(0)["files"]) shown.push_back(f["shown"]);
    EXPECT_EQ(shown, c.files) << list.out;
    const RunResult check = Cli({"check", path});
    EXPECT_EQ(check.status, 5);
    EXPECT_NE(check.err.find("the image ends inside the directory"), std::string::npos) << check.err;
    EXPECT_EQ(check.out.find("truncated") != std::string::npos, c.size % 256 != 0) << check.out;
  }

  // Track 0 without its third sector: the format is told, the directory not read.
  Layout l = Uniform(40, 1, 18, true);
  l.overrides = {{0, {2, true, false}}};
  const std::string probe = dir / "probe.dsk";
  WriteBytes(probe, Serialize(WithEntries(l, {}), Fmt::kDmk));
  const RunResult text = Cli({"check", probe});
  const RunResult json = Cli({"check", "--json", probe});
  ASSERT_NE(text.out.find("the directory cannot be read: "), std::string::npos) << text.out;
  const Json line = JsonLines(json.out).at(0);
  EXPECT_EQ(line["format"], "DMK");
  EXPECT_FALSE(line.value("directory_error", std::string()).empty()) << json.out;
}

// ---- the real disk images beside the checkout ----------------------------------

// A load module: type 1 load records (lengths 0 to 2 mean 256 to 258),
// header and comment records skipped, up to the type 2 transfer record.
bool IsLoadModule(const Bytes& b, size_t* bad_at) {
  static const std::string kSkipped = {4, 5, 6, 7, 8, 0x0A, 0x0C, 0x0E, 0x10, 0x1F};
  for (size_t at = 0; at + 2 <= b.size(); at += 2 + b[at + 1] + (b[at] == 1 && b[at + 1] < 3 ? 256 : 0)) {
    if (b[at] == 2) return true;
    if (b[at] != 1 && kSkipped.find(char(b[at])) == std::string::npos) return *bad_at = at, false;
  }
  return *bad_at = b.size(), false;
}

// Sectors allocated and never written hold only format fill: E5, or the
// 6D B6 pattern of a double-density format.
bool IsFormatFill(const Bytes& bytes) {
  if (std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0xE5; })) return true;
  for (size_t i = 0; i < bytes.size(); ++i)
    if (bytes[i] != ((i % 2 == 0) == (bytes[0] == 0x6D) ? 0x6D : 0xB6)) return false;
  return true;
}

TEST(RealImages, ListingsEqualTheExpectedOnesAndCommandFilesAreLoadModules) {
  const fs::path dir(VORNIK_REAL_IMAGES);
  if (!fs::exists(dir / "expected.jsonl")) GTEST_SKIP() << "no real images at " << dir;
  std::vector<Json> expected;
  std::vector<std::string> args = {"list", "--json"};
  std::ifstream in(dir / "expected.jsonl");
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) continue;
    expected.push_back(Json::parse(line));
    args.push_back((dir / expected.back()["image"].get<std::string>()).string());
  }
  const std::vector<Json> got = JsonLines(Cli(args).out);
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i) {
    const std::string image = args[i + 2];
    SCOPED_TRACE(image);
    if (expected[i].value("kind", "") == "damaged") {
      EXPECT_EQ(got[i]["kind"], "damaged");
      continue;
    }
    // The listing as it was, DOS facts aside; TRSDOS 1.3 disks list their
    // files now, where the walk of 32-byte entries found none.
    const auto only = [](const Json& keys, Json& j) {
      Json kept;
      for (const auto& [key, value] : j.items())
        if (keys.contains(key)) kept[key] = value;
      j = kept;
    };
    Json old = ByFileName(got[i]);
    only(expected[i], old);
    for (Json& file : old["files"]) only(expected[i]["files"].empty() ? file : expected[i]["files"][0], file);
    if (got[i]["dos"] == "TRSDOS 1.3") {
      EXPECT_FALSE(old["files"].empty());
      old["files"] = Json::array(), old["directory"] = expected[i]["directory"];
    }
    EXPECT_EQ(old, ByFileName(expected[i]));
    TempDir out;
    Cli({"extract", image, "--all", "-o", out.path().string()});
    for (const std::string& name : FolderNames(out.path())) {
      if (name.size() < 4 || name.substr(name.size() - 4) != ".CMD") continue;
      const Bytes bytes = ReadBytes(out.path() / name);
      size_t bad_at = 0;
      if (!bytes.empty() && !IsFormatFill(bytes)) {
        EXPECT_TRUE(IsLoadModule(bytes, &bad_at)) << name << " at " << bad_at;
      }
    }
  }
}

}  // namespace
}  // namespace vornik::testing

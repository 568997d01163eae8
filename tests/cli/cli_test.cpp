// End-to-end tests of vornik-cli on images built in the test: the JSON of
// `list --json` parsed and checked, exit statuses, and the files `extract`
// writes compared byte for byte with the sectors they came from.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_run.h"
#include "support/image_builder.h"

namespace vornik::testing {
namespace {

namespace fs = std::filesystem;

const char kCopyFailed[] = "** ERROR **  File could not be read, nothing was copied";

// The bytes a copy of `count` logical sectors from `first` must hold.
Bytes SectorBytes(Disk& disk, int first, int count) {
  Bytes bytes;
  for (int l = first; l < first + count; ++l) {
    const auto& data = disk.Logical(l).data;
    bytes.insert(bytes.end(), data.begin(), data.end());
  }
  return bytes;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

Entry MakeEntry(const std::string& name, const std::string& ext, uint16_t sectors,
                std::vector<std::pair<uint8_t, uint8_t>> slots) {
  Entry e;
  e.name = name;
  e.ext = ext;
  e.sectors = sectors;
  e.slots = std::move(slots);
  return e;
}

// The images every test reads, written once into a shared folder, with the
// bytes each listed file must copy to.
struct Images {
  TempDir dir;
  std::string plain, odd, jv3, dmk, newdos;
  Bytes hello, prog, dup1, jv3_file, dmk_file, newdos_file;
};

Images* images = nullptr;

// JV1: HELLO/TXT (two sectors counted of a granule), PROG/CMD (N = 0: the
// whole granule).
void MakePlain(Images& im) {
  Disk disk = MakeJv1Disk();
  PutFile(disk, 50, Text(std::string(300, 'h') + "\nend of the short text\n"));
  for (int l = 65; l < 70; ++l) FillPattern(disk, l);
  PutEntries(disk, 170, {MakeEntry("HELLO", "TXT", 2, {Slot(5, 0, 1)}), MakeEntry("PROG", "CMD", 0, {Slot(6, 1, 1)})});
  im.hello = SectorBytes(disk, 50, 2);
  im.prog = SectorBytes(disk, 65, 5);
  im.plain = im.dir / "plain.dsk";
  WriteBytes(im.plain, ToJv1(disk));
}

// JV1 with awkward names, a damaged entry and two entries of one name.
void MakeOdd(Images& im) {
  Disk disk = MakeJv1Disk();
  for (int l = 80; l < 100; ++l) FillPattern(disk, l);
  PutEntries(disk, 170, {
                            MakeEntry("A/B\xE9", "\x08X", 1, {Slot(8, 0, 1)}),
                            MakeEntry("..", "", 1, {Slot(8, 1, 1)}),
                            MakeEntry("BAD", "DAT", 1, {Slot(60, 0, 1)}),  // track 60 of 40
                            MakeEntry("DUP", "TXT", 1, {Slot(9, 0, 1)}),
                            MakeEntry("DUP", "TXT", 1, {Slot(9, 1, 1)}),
                        });
  im.dup1 = SectorBytes(disk, 90, 1);
  im.odd = im.dir / "odd.dsk";
  WriteBytes(im.odd, ToJv1(disk));
}

// Double-sided double-density JV3 with a file that runs from side 0 to side 1.
void MakeJv3(Images& im) {
  Layout layout;
  layout.sides = 2;
  layout.normal = {18, true, false};
  Disk disk = MakeDisk(layout);
  MarkDirectory(disk, 612, 18);
  for (int l = 756; l < 780; ++l) FillPattern(disk, l);
  PutEntries(disk, 612, {MakeEntry("SIDES", "DAT", 0, {Slot(21, 2, 2)})});
  im.jv3_file = SectorBytes(disk, 768, 12);
  im.jv3 = im.dir / "two.jv3";
  WriteBytes(im.jv3, ToJv3(disk));
}

void MakeDmk(Images& im) {
  Layout layout;
  layout.normal = {18, true, false};
  Disk disk = MakeDisk(layout);
  MarkDirectory(disk, 306, 18);
  for (int l = 360; l < 366; ++l) FillPattern(disk, l);
  PutEntries(disk, 306, {MakeEntry("DD", "BIN", 4, {Slot(20, 0, 1)})});
  im.dmk_file = SectorBytes(disk, 360, 4);
  im.dmk = im.dir / "dd.dmk";
  WriteBytes(im.dmk, ToDmk(disk));
}

// JV1 with the Newdos/80 mark: extents count allocation units of spl sectors.
void MakeNewdos(Images& im) {
  Disk disk = MakeJv1Disk();
  SetNewdosMark(disk, 0, 10);
  for (int l = 100; l < 115; ++l) FillPattern(disk, l);
  PutEntries(disk, 170, {MakeEntry("ND", "TXT", 7, {Slot(10, 1, 2)})});  // unit 10 = sector 100, granule 1
  im.newdos_file = SectorBytes(disk, 105, 7);
  im.newdos = im.dir / "newdos.dsk";
  WriteBytes(im.newdos, ToJv1(disk));
}

class CliTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    images = new Images;
    MakePlain(*images);
    MakeOdd(*images);
    MakeJv3(*images);
    MakeDmk(*images);
    MakeNewdos(*images);
  }
  static void TearDownTestSuite() {
    delete images;
    images = nullptr;
  }

  static std::vector<Json> JsonLines(const std::string& out) {
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

  static Json ListOne(const std::string& image, int expected_status) {
    const RunResult r = RunCli({"list", "--json", image});
    EXPECT_EQ(r.status, expected_status) << r.err;
    const std::vector<Json> lines = JsonLines(r.out);
    EXPECT_EQ(lines.size(), 1u) << r.out;
    return lines.empty() ? Json{} : lines.front();
  }
};

TEST_F(CliTest, ListJsonHasTheKeysInOrder) {
  const Json j = ListOne(images->plain, 0);
  EXPECT_EQ(Keys(j), (std::vector<std::string>{"image", "format", "summary", "newdos", "tracks", "sides",
                                                "sectors_per_track", "density", "sectors_per_granule", "directory",
                                                "files"}));
  EXPECT_EQ(Keys(j.at("directory")), (std::vector<std::string>{"first", "last"}));
  ASSERT_EQ(j.at("files").size(), 2u);
  EXPECT_EQ(Keys(j.at("files")[0]),
            (std::vector<std::string>{"item", "shown", "pc_name", "sector", "entry", "bytes"}));
  EXPECT_EQ(j.at("image"), images->plain);
}

TEST_F(CliTest, ListJsonDescribesEachFormat) {
  struct Case {
    std::string* image;
    std::string format, summary;
    bool newdos;
    int tracks, sides, spt, density, spg, first, last;
    std::string item;
    int sector, bytes;
  };
  const Case cases[] = {
      {&images->plain, "JV1", " 40 Track   S/Density  S/Sided  Sec/Cyl. = 10 ( 10 * 1)   Spg = 5", false, 40, 1, 10,
       1, 5, 170, 179, "HELLO    TXT", 172, 512},
      {&images->newdos, "JV1", " 40 Track   S/Density  S/Sided  Sec/Cyl. = 10 ( 10 * 1)   Spg = 5", true, 40, 1, 10,
       1, 5, 170, 179, "ND       TXT", 172, 7 * 256},
      {&images->jv3, "JV3", " 40 Track   D/Density  D/Sided  Sec/Cyl. = 36 ( 18 * 2)   Spg = 6", false, 40, 2, 18,
       2, 6, 612, 629, "SIDES    DAT", 614, 12 * 256},
      {&images->dmk, "DMK", " 40 Track   D/Density  S/Sided  Sec/Cyl. = 18 ( 18 * 1)   Spg = 6", false, 40, 1, 18,
       2, 6, 306, 323, "DD       BIN", 308, 4 * 256},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(*c.image);
    const Json j = ListOne(*c.image, 0);
    EXPECT_EQ(j.at("format"), c.format);
    EXPECT_EQ(j.at("summary"), c.summary);
    EXPECT_EQ(j.at("newdos"), c.newdos);
    EXPECT_EQ(j.at("tracks"), c.tracks);
    EXPECT_EQ(j.at("sides"), c.sides);
    EXPECT_EQ(j.at("sectors_per_track"), c.spt);
    EXPECT_EQ(j.at("density"), c.density);
    EXPECT_EQ(j.at("sectors_per_granule"), c.spg);
    EXPECT_EQ(j.at("directory").at("first"), c.first);
    EXPECT_EQ(j.at("directory").at("last"), c.last);
    ASSERT_FALSE(j.at("files").empty());
    const Json& f = j.at("files")[0];
    EXPECT_EQ(f.at("item"), c.item);
    EXPECT_EQ(f.at("sector"), c.sector);
    EXPECT_EQ(f.at("entry"), 0);
    EXPECT_EQ(f.at("bytes"), c.bytes);
  }
}

TEST_F(CliTest, ListJsonNamesDamagedEntriesAndDuplicates) {
  const RunResult r = RunCli({"list", "--json", images->odd});
  EXPECT_EQ(r.status, 3);  // one copy fails
  EXPECT_NE(r.err.find(kCopyFailed), std::string::npos) << r.err;
  // Non-ASCII and control bytes are escaped as \u00XX, backspace too.
  EXPECT_NE(r.out.find("A/B\\u00e9"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\\u0008X"), std::string::npos) << r.out;
  const Json j = Json::parse(r.out);
  struct Row {
    std::string item, shown, pc_name;
    int sector, entry;
    bool copied;
  };
  const Row rows[] = {
      {"..          ", "../", "_..", 172, 1, true},
      {"A/B\u00e9     \x08X ", "A/B\u00e9/\x08X", "A_B\u00e9._X", 172, 0, true},
      {"BAD      DAT", "BAD/DAT", "BAD.DAT", 172, 2, false},
      {"DUP      TXT", "DUP/TXT", "DUP.TXT", 172, 3, true},
      {"DUP      TXT", "DUP/TXT", "DUP.TXT", 172, 4, true},
  };
  const auto& files = j.at("files");
  ASSERT_EQ(files.size(), std::size(rows));
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i].dump());
    const Row& row = rows[i];
    EXPECT_EQ(files[i].at("item"), row.item);
    EXPECT_EQ(files[i].at("shown"), row.shown);
    EXPECT_EQ(files[i].at("pc_name"), row.pc_name);
    EXPECT_EQ(files[i].at("sector"), row.sector);
    EXPECT_EQ(files[i].at("entry"), row.entry);
    if (row.copied) {
      EXPECT_EQ(files[i].at("bytes"), 256);
      EXPECT_FALSE(files[i].contains("error"));
    } else {
      EXPECT_TRUE(files[i].at("bytes").is_null());
      EXPECT_EQ(files[i].at("error"), kCopyFailed);
    }
  }
}

TEST_F(CliTest, ImagesThatCannotBeListedGiveErrorObjects) {
  TempDir dir;
  WriteBytes(dir / "empty.dsk", {});
  WriteBytes(dir / "noheader.dsk", Text("0123456789abcdefghijklmnopqrstuvwxyz"));
  fs::create_directory(dir / "folder.dsk");
  struct Case {
    std::string path, kind, error_part;
  };
  const Case cases[] = {
      {dir / "missing.dsk", "unreadable", "Error encountered while trying to open file, please retry."},
      {dir / "folder.dsk", "unreadable", "Error encountered while trying to open file, please retry."},
      {dir / "noheader.dsk", "refused", "** ERROR **\r This file does not have an EMULATOR Disk format HEADER\r"},
      {dir / "empty.dsk", "damaged", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const Json j = ListOne(c.path, 2);
    EXPECT_EQ(Keys(j), (std::vector<std::string>{"image", "error", "kind"}));
    EXPECT_EQ(j.at("image"), c.path);
    EXPECT_EQ(j.at("kind"), c.kind);
    const std::string error = j.at("error");
    EXPECT_FALSE(error.empty());
    EXPECT_NE(error.find(c.error_part), std::string::npos) << error;
  }
  EXPECT_FALSE(fs::exists(dir / "missing.dsk"));  // the image is never created
}

TEST_F(CliTest, SeveralImagesGiveOneLineEachAndTheLargestStatus) {
  TempDir dir;
  const RunResult r = RunCli({"list", "--json", images->plain, dir / "missing.dsk", images->odd, images->dmk});
  EXPECT_EQ(r.status, 3);
  const std::vector<Json> lines = JsonLines(r.out);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].at("format"), "JV1");
  EXPECT_EQ(lines[1].at("kind"), "unreadable");
  EXPECT_EQ(lines[2].at("files").size(), 5u);
  EXPECT_EQ(lines[3].at("format"), "DMK");
  // A fresh state per image: the DMK after the JV1 images reads as alone.
  EXPECT_EQ(lines[3].dump(), ListOne(images->dmk, 0).dump());
}

TEST_F(CliTest, ListAndInfoText) {
  const RunResult list = RunCli({"list", images->plain});
  EXPECT_EQ(list.status, 0);
  EXPECT_NE(list.out.find(images->plain + ": JV1, 2 files"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("HELLO/TXT"), std::string::npos);
  EXPECT_NE(list.out.find("512 bytes"), std::string::npos);
  EXPECT_NE(list.out.find("sector 172"), std::string::npos);

  TempDir dir;
  const RunResult info = RunCli({"info", images->newdos, dir / "missing.dsk"});
  EXPECT_EQ(info.status, 2);
  EXPECT_NE(info.out.find("Summary:      40 Track   S/Density  S/Sided"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("Newdos/80:   yes"), std::string::npos);
  EXPECT_NE(info.out.find("Directory:   sectors 170 to 179"), std::string::npos);
  EXPECT_NE(info.out.find("unreadable"), std::string::npos);
}

TEST_F(CliTest, UsageVersionAndHelp) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out_part;
  };
  const Case cases[] = {
      {{"--version"}, 0, "vornik-cli 1.0\n"},
      {{"--help"}, 0, "Usage:"},
      {{"list", "--help"}, 0, "Usage:"},
      {{}, 1, ""},
      {{"frobnicate", "x.dsk"}, 1, ""},
      {{"list"}, 1, ""},
      {{"list", "--bogus", "x.dsk"}, 1, ""},
      {{"info", "--json", "x.dsk"}, 1, ""},
      {{"extract", "x.dsk"}, 1, ""},  // neither names nor --all
      {{"extract", "x.dsk", "--all", "-o"}, 1, ""},
      {{"extract", "--all"}, 1, ""},
  };
  for (const Case& c : cases) {
    const RunResult r = RunCli(c.args);
    EXPECT_EQ(r.status, c.status) << (c.args.empty() ? "(none)" : c.args[0]) << " " << r.err;
    if (c.out_part.empty()) {
      EXPECT_TRUE(r.out.empty()) << r.out;
    } else {
      EXPECT_NE(r.out.find(c.out_part), std::string::npos) << r.out;
    }
  }
  EXPECT_EQ(RunCli({"--version"}).out, "vornik-cli 1.0\n");
}

TEST_F(CliTest, ExtractMatchesNamesInAnyForm) {
  for (const std::string name : {"HELLO/TXT", "hello.txt", "Hello/Txt", "HELLO.TXT"}) {
    SCOPED_TRACE(name);
    TempDir out;
    const RunResult r = RunCli({"extract", images->plain, name, "-o", out.path().string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(FolderNames(out.path()), std::vector<std::string>{"HELLO.TXT"});
    EXPECT_EQ(ReadBytes(out.path() / "HELLO.TXT"), images->hello);
  }
}

TEST_F(CliTest, ExtractAllWritesEveryFileByteExact) {
  struct Case {
    std::string* image;
    std::vector<std::pair<std::string, Bytes*>> files;
  };
  const Case cases[] = {
      {&images->plain, {{"HELLO.TXT", &images->hello}, {"PROG.CMD", &images->prog}}},
      {&images->jv3, {{"SIDES.DAT", &images->jv3_file}}},
      {&images->dmk, {{"DD.BIN", &images->dmk_file}}},
      {&images->newdos, {{"ND.TXT", &images->newdos_file}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(*c.image);
    TempDir out;
    const RunResult r = RunCli({"extract", *c.image, "--all", "-o", out.path().string()});
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> names;
    for (const auto& [name, bytes] : c.files) {
      names.push_back(name);
      EXPECT_EQ(ReadBytes(out.path() / name), *bytes) << name;
      EXPECT_NE(r.out.find(name), std::string::npos) << r.out;
    }
    EXPECT_EQ(FolderNames(out.path()), names);
  }
}

TEST_F(CliTest, ExtractIntoTheCurrentFolderByDefault) {
  TempDir out;
  const RunResult r = RunCli({"extract", images->plain, "prog/cmd"}, out.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadBytes(out.path() / "PROG.CMD"), images->prog);
}

TEST_F(CliTest, ExtractNeverOverwritesWithoutForce) {
  TempDir out;
  const Bytes old(3000, 'o');  // longer than the copy: no stale tail may stay
  WriteBytes(out / "HELLO.TXT", old);
  const RunResult refused = RunCli({"extract", images->plain, "--all", "-o", out.path().string()});
  EXPECT_EQ(refused.status, 4);
  EXPECT_NE(refused.err.find("HELLO.TXT"), std::string::npos) << refused.err;
  EXPECT_EQ(ReadBytes(out.path() / "HELLO.TXT"), old);
  EXPECT_EQ(ReadBytes(out.path() / "PROG.CMD"), images->prog);  // the other file is written

  const RunResult forced = RunCli({"extract", images->plain, "--all", "--force", "-o", out.path().string()});
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(ReadBytes(out.path() / "HELLO.TXT"), images->hello);
  EXPECT_EQ(FolderNames(out.path()), (std::vector<std::string>{"HELLO.TXT", "PROG.CMD"}));
}

TEST_F(CliTest, ExtractReportsWhatItCannotDo) {
  struct Case {
    std::string name;
    std::vector<std::string> args;  // after the image; -o is added
    int status;
    std::vector<std::string> written;
  };
  const Case cases[] = {
      // Damaged entry: nothing written; the duplicate name: the second skipped.
      {"all of odd", {"--all"}, 4, {"A_B\u00e9._X", "DUP.TXT", "_.."}},
      {"damaged entry", {"bad/dat"}, 3, {}},
      {"a name not on the disk", {"NOPE/TXT", "dup.txt"}, 4, {"DUP.TXT"}},
      {"missing name only", {"NOPE.TXT"}, 3, {}},
      {"hostile name by its safe form", {"a_b\u00e9._x"}, 0, {"A_B\u00e9._X"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir out;
    std::vector<std::string> args = {"extract", images->odd};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.insert(args.end(), {"-o", out.path().string()});
    const RunResult r = RunCli(args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(FolderNames(out.path()), c.written);
  }
  TempDir out;
  RunCli({"extract", images->odd, "DUP/TXT", "-o", out.path().string()});
  EXPECT_EQ(ReadBytes(out.path() / "DUP.TXT"), images->dup1);  // the first of the two
}

TEST_F(CliTest, ExtractWriteFailures) {
  TempDir out;
  fs::create_directory(out.path() / "HELLO.TXT");  // a folder in the way
  const RunResult in_the_way = RunCli({"extract", images->plain, "hello/txt", "--force", "-o", out.path().string()});
  EXPECT_EQ(in_the_way.status, 4);
  EXPECT_NE(in_the_way.err.find("Error occurred while trying to close file, please retry."), std::string::npos);
  EXPECT_TRUE(fs::is_directory(out.path() / "HELLO.TXT"));

  const RunResult no_folder = RunCli({"extract", images->plain, "--all", "-o", out / "missing"});
  EXPECT_EQ(no_folder.status, 4);
  EXPECT_FALSE(fs::exists(out.path() / "missing"));
  EXPECT_EQ(FolderNames(out.path()), std::vector<std::string>{"HELLO.TXT"});

  const RunResult bad_image = RunCli({"extract", out / "none.dsk", "--all", "-o", out.path().string()});
  EXPECT_EQ(bad_image.status, 2);
}

}  // namespace
}  // namespace vornik::testing

// Writing a copy out: safe host names, the atomic replace, the overwrite
// question and the failure message.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "extract/safe_name.h"
#include "extract/write_copy.h"
#include "support/core_harness.h"

namespace fs = std::filesystem;

namespace vornik::testing {
namespace {

TEST(SafeHostName, NothingCanLeaveTheFolder) {
  const std::pair<std::string, std::string> cases[] = {
      {"PROG.CMD", "PROG.CMD"},
      {"A/B.TXT", "A_B.TXT"},
      {"../../X.", ".._.._X."},
      {"A\\B.C", "A_B.C"},
      {std::string("A\0B.C", 5), "A_B.C"},
      {"\x01\x1F\x7F.X", "___.X"},
      {".", "_"},
      {"..", "_."},
      {"...", "_.."},
      {"", "_"},
      {"CAF\xC9.TXT", "CAF\xC3\x89.TXT"},
      {"\xE9.\xFF", "\xC3\xA9.\xC3\xBF"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(SafeHostName(in), out) << in;
}

class InFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vornik-write-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir = tmpl;
    old = fs::current_path();
    fs::create_directory(dir / "out");
    fs::current_path(dir / "out");
  }
  void TearDown() override {
    fs::current_path(old);
    fs::remove_all(dir);
  }
  static Bytes Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  static void Write(const fs::path& p, const Bytes& b) {
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
  }
  // Names in the output folder: a temporary file left behind shows here.
  std::vector<std::string> Listing() const {
    std::vector<std::string> v;
    for (const auto& e : fs::directory_iterator(dir / "out")) v.push_back(e.path().filename().string());
    std::sort(v.begin(), v.end());
    return v;
  }
  fs::path dir, old;
};

TEST_F(InFolder, AtomicWriteReplacesWithoutStaleTail) {
  Write("T.BIN", Pattern(1, 5000));
  const Bytes b = Pattern(2, 300);
  std::string error;
  ASSERT_TRUE(WriteFileAtomic("T.BIN", b.data(), b.size(), &error)) << error;
  EXPECT_EQ(Read("T.BIN"), b);
  EXPECT_EQ(Listing(), std::vector<std::string>{"T.BIN"});
}

TEST_F(InFolder, AtomicWriteFailuresLeaveTheOldStateAndNoTemporaryFile) {
  const Bytes b = Pattern(3, 4096);
  std::string error;
  Write("PLAIN", Pattern(4, 10));
  EXPECT_FALSE(WriteFileAtomic("PLAIN/UNDER.FILE", b.data(), b.size(), &error));  // parent is a file
  EXPECT_FALSE(error.empty());
  fs::create_directory("FOLDER");
  EXPECT_FALSE(WriteFileAtomic("FOLDER", b.data(), b.size(), &error));
  EXPECT_TRUE(fs::is_directory("FOLDER"));

  // A write that runs out of room half-way (the file size limit stops root too).
  Write("OLD.DAT", Pattern(5, 100));
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool ok = WriteFileAtomic("OLD.DAT", b.data(), b.size(), &error);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_FALSE(ok);
  EXPECT_EQ(Read("OLD.DAT"), Pattern(5, 100));
  EXPECT_EQ(Listing(), (std::vector<std::string>{"FOLDER", "OLD.DAT", "PLAIN"}));
}

// An image with a few files, opened and ready to copy.
class SaveCopy : public InFolder {
 protected:
  void SetUp() override {
    InFolder::SetUp();
    disk = Jv1With({{0x10, "LONG", "DAT", 0, {Slot(5, 0, 4)}},
                    {0x10, "SHORT", "DAT", 0, {Slot(9, 0, 1)}},
                    {0x10, "../UP", "TXT", 0, {Slot(10, 0, 1)}},
                    {0x10, "EMPTY", "", 0, {}},
                    {0x10, "", "DOT", 0, {Slot(11, 0, 1)}}});
    o = OpenBytes(ToJv1(disk));
    ASSERT_EQ(o->out.kind, OpenKind::kListed);
  }
  // The copy button after the Save dialog: copy, then write under the DOS name.
  void CopyAndSave(const std::string& name, const std::string& ext) {
    ASSERT_TRUE(o->Copy(name, ext));
    SaveAsFile(o->st, o->win, o->st.Copyfilename);
  }
  Disk disk;
  std::unique_ptr<Opened> o;
};

TEST_F(SaveCopy, WritesExactlyTheCopiedBytes) {
  CopyAndSave("LONG", "DAT");
  CopyAndSave("SHORT", "DAT");
  CopyAndSave("EMPTY", "");
  EXPECT_EQ(Read("LONG.DAT"), SectorsOf(disk, Range(50, 69)));
  EXPECT_EQ(Read("SHORT.DAT"), SectorsOf(disk, Range(90, 94)));
  EXPECT_TRUE(fs::exists("EMPTY.") && fs::file_size("EMPTY.") == 0);
  EXPECT_TRUE(o->win.messages.empty());
  EXPECT_EQ(Listing(), (std::vector<std::string>{"EMPTY.", "LONG.DAT", "SHORT.DAT"}));
}

TEST_F(SaveCopy, HostileNameStaysInTheFolder) {
  CopyAndSave("../UP", "TXT");
  EXPECT_EQ(Listing(), std::vector<std::string>{".._UP.TXT"});
  EXPECT_FALSE(fs::exists(dir / "UP.TXT"));
}

TEST_F(SaveCopy, OverwriteIsAskedAndNoKeepsTheFile) {
  Write("LONG.DAT", Pattern(9, 77));
  CopyAndSave("LONG", "DAT");
  ASSERT_EQ(o->win.messages.size(), 1u);
  const Message& m = o->win.messages[0];
  EXPECT_EQ(m.text, "Overwrite existing file?");
  EXPECT_EQ(m.icon, MsgIcon::Question);
  EXPECT_EQ(m.buttons, MsgButtons::YesNoDefaultNo);
  EXPECT_EQ(m.title, "Vornik");
  EXPECT_EQ(Read("LONG.DAT"), Pattern(9, 77));
}

TEST_F(SaveCopy, OverwriteConfirmedReplacesAndSecondCopyAsks) {
  Write("SHORT.DAT", Pattern(9, 9000));  // longer than the copy: no tail may stay
  o->win.answers = {MsgAnswer::Yes};
  CopyAndSave("SHORT", "DAT");
  EXPECT_EQ(Read("SHORT.DAT"), SectorsOf(disk, Range(90, 94)));
  CopyAndSave("SHORT", "DAT");  // the same entry again: asked, default No
  ASSERT_EQ(o->win.messages.size(), 1u);
  EXPECT_EQ(o->win.messages[0].text, "Overwrite existing file?");
}

TEST_F(SaveCopy, DotFileCountsAsExisting) {
  Write(".DOT", Pattern(9, 5));
  CopyAndSave("", "DOT");
  ASSERT_EQ(o->win.messages.size(), 1u);
  EXPECT_EQ(o->win.messages[0].text, "Overwrite existing file?");
  EXPECT_EQ(Read(".DOT"), Pattern(9, 5));
}

TEST_F(SaveCopy, FolderOfThatNameFailsWithTheMessage) {
  fs::create_directory("LONG.DAT");
  o->win.answers = {MsgAnswer::Yes};
  CopyAndSave("LONG", "DAT");
  ASSERT_FALSE(o->win.messages.empty());
  const Message& m = o->win.messages.back();
  EXPECT_EQ(m.text, "Error occurred while trying to close file, please retry.");
  EXPECT_EQ(m.icon, MsgIcon::Exclamation);
  EXPECT_EQ(m.buttons, MsgButtons::Ok);
  EXPECT_EQ(m.title, "Vornik");
  EXPECT_TRUE(fs::is_directory("LONG.DAT"));
  EXPECT_EQ(Listing(), std::vector<std::string>{"LONG.DAT"});
}

TEST(OpenImage, MissingOrFolderPathIsUnreadableAndCreatesNothing) {
  const std::string missing = "/tmp/vornik-no-such-folder-x/typo.dsk";
  for (const std::string& path : {missing, std::string("/tmp")}) {
    Opened o;
    o.out = OpenImage(o.st, o.win, path);
    EXPECT_EQ(o.out.kind, OpenKind::kUnreadable) << path;
    ASSERT_EQ(o.win.messages.size(), 1u);
    EXPECT_EQ(o.win.messages[0].text, "Error encountered while trying to open file, please retry.");
    EXPECT_EQ(o.win.messages[0].title, "Text Editor");
    EXPECT_EQ(o.win.messages[0].icon, MsgIcon::Exclamation);
  }
  EXPECT_FALSE(fs::exists(missing));
}

}  // namespace
}  // namespace vornik::testing

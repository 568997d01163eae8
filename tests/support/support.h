// What the tests share: opening built images through the core as the Open
// command does and copying listed files as the copy button does, the disk
// shapes most tests use, temporary folders and file bytes, and running the
// built vornik-cli.
#pragma once

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "directory/open_image.h"
#include "extract/copy_out_file.h"
#include "image_builder.h"
#include "state/disk_state.h"
#include "state/sorted_list.h"

namespace vornik::testing {

namespace fs = std::filesystem;

// A path from UTF-8 bytes (which Windows would otherwise take in its code page).
inline fs::path Utf8Path(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

// ---- the core as the window drives it ------------------------------------

struct Opened {
  DiskState st;
  OpenOutcome out;
  SortedList list1, list2;  // filled as the window fills its lists
  Notices notices;          // the message boxes of the last open or copy
  OpenOptions options;      // how Open opens

  // Opens another image into the same state.
  OpenOutcome Open(Bytes bytes);
  std::vector<std::string> Items() const;
  // (directory sector, slot) of every listed entry.
  std::set<std::pair<int, int>> Places() const;
  // Index in List1 of the entry NAME (padded to 8) / EXT (padded to 3), or -1.
  int IndexOf(const std::string& name, const std::string& ext) const;
  // Runs the copy of item i (whole sectors, or the DOS's size); the copied
  // bytes are Copied().
  bool Copy(int i, bool exact = false);
  bool Copy(const std::string& name, const std::string& ext) { return Copy(IndexOf(name, ext)); }
  Bytes Copied() const;
};

std::unique_ptr<Opened> OpenBytes(Bytes bytes);

// ---- disks ----------------------------------------------------------------

Layout Uniform(int tracks, int sides, int sectors, bool dd, int base = 0);
// 40 tracks of 10 single-density sectors, stored doubled in a DMK.
Layout DoubledSd();
std::vector<int> Range(int first, int last);
// The vectors one after another.
template <class T, class... More>
std::vector<T> Cat(std::vector<T> a, const More&... more) {
  (a.insert(a.end(), more.begin(), more.end()), ...);
  return a;
}
// The data of these logical sectors of `disk`, one after another.
Bytes SectorsOf(Disk& disk, const std::vector<int>& logical);
// Every sector filled with its own pattern, the directory marked at
// dir_first..dir_first+dir_count-1 with the entries from its third sector on.
void Populate(Disk& disk, int dir_first, int dir_count, const std::vector<Entry>& entries, uint8_t mark = kMarkDir);
// A disk of `layout` whose whole track `dir_track`, side `side`, is the directory.
Disk WithEntries(const Layout& layout, const std::vector<Entry>& entries, int dir_track = 17, int side = 0);
// A 40-track (or `tracks`) JV1 disk with its directory on track 17.
Disk Jv1With(const std::vector<Entry>& entries, int tracks = 40);
// Three ordinary files on tracks 5, 6 and 7.
std::vector<Entry> ThreeFiles();

enum class Fmt { kJv1, kJv3, kJv3SideMajor, kDmk };
Bytes Serialize(const Disk& d, Fmt f, DmkOptions dmk = {});
// The first `size` bytes of `b`.
Bytes Cut(Bytes b, size_t size);

// ---- files ----------------------------------------------------------------

// A fresh empty folder, removed again when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }
  // `name` in UTF-8; the path in the system's own encoding.
  std::string operator/(const std::string& name) const { return (path_ / Utf8Path(name)).string(); }

 private:
  fs::path path_;
};

Bytes ReadBytes(const fs::path& path);
void WriteBytes(const fs::path& path, const Bytes& bytes);
// The names in a folder, sorted.
std::vector<std::string> FolderNames(const fs::path& dir);

// ---- vornik-cli -------------------------------------------------------------

struct RunResult {
  int status = -1;  // exit status, -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// Runs `program` with these arguments in folder `cwd` (empty: the test's
// current folder), capturing its output.
RunResult Run(const std::string& program, const std::vector<std::string>& args, const fs::path& cwd = {});

}  // namespace vornik::testing

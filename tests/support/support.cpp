#include "support.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace vornik::testing {

OpenOutcome Opened::Open(Bytes bytes) {
  out = OpenImageBytes(st, std::move(bytes), options);
  notices = out.notices;
  list1.Clear();
  if (out.kind == OpenKind::kListed) FillLists(out.listing, list1, list2);
  return out;
}

std::vector<std::string> Opened::Items() const {
  std::vector<std::string> v;
  for (int i = 0; i < list1.ListCount(); ++i) v.push_back(list1.List(i));
  return v;
}

std::set<std::pair<int, int>> Opened::Places() const {
  std::set<std::pair<int, int>> s;
  for (int i = 0; i < list1.ListCount(); ++i) s.insert({list1.ItemData(i), list2.ItemData(i)});
  return s;
}

int Opened::IndexOf(const std::string& name, const std::string& ext) const {
  std::string text = name;
  text.resize(8, ' ');
  text += ' ' + ext;
  text.resize(12, ' ');
  for (int i = 0; i < list1.ListCount(); ++i)
    if (list1.List(i) == text) return i;
  return -1;
}

bool Opened::Copy(int i, bool exact) {
  notices.clear();
  if (i < 0 || i >= list1.ListCount()) return false;
  const ListedEntry* entry = FindListed(out.listing, list1.ItemData(i), list2.ItemData(i));
  return entry && CopyListedEntry(st, out.listing, *entry, exact, notices) == CopyStatus::kCopied;
}

Bytes Opened::Copied() const { return Bytes(st.copybuf.begin(), st.copybuf.begin() + long(st.fpb)); }

std::unique_ptr<Opened> OpenBytes(Bytes bytes) {
  auto o = std::make_unique<Opened>();
  o->Open(std::move(bytes));
  return o;
}

Layout Uniform(int tracks, int sides, int sectors, bool dd, int base) {
  Layout l;
  l.tracks = tracks;
  l.sides = sides;
  l.normal = {sectors, dd, false};
  l.first_sector = base;
  return l;
}

std::vector<int> Range(int first, int last) {
  std::vector<int> v;
  for (int i = first; i <= last; ++i) v.push_back(i);
  return v;
}

Layout DoubledSd() {
  Layout l = Uniform(40, 1, 10, false);
  l.normal.doubled = true;
  return l;
}

Bytes SectorsOf(Disk& disk, const std::vector<int>& logical) {
  Bytes b;
  for (int l : logical) b.insert(b.end(), disk.Logical(l).data.begin(), disk.Logical(l).data.end());
  return b;
}

void Populate(Disk& disk, int dir_first, int dir_count, const std::vector<Entry>& entries, uint8_t mark) {
  for (int l = 0; l < disk.LogicalCount(); ++l) FillPattern(disk, l);
  MarkDirectory(disk, dir_first, dir_count, mark);
  PutEntries(disk, dir_first, entries);
}

Disk WithEntries(const Layout& layout, const std::vector<Entry>& entries, int dir_track, int side) {
  Disk d = MakeDisk(layout);
  const int first = d.TrackStart(dir_track) + side * int(d.At(dir_track, 0).sectors.size());
  Populate(d, first, int(d.At(dir_track, side).sectors.size()), entries);
  return d;
}

Disk Jv1With(const std::vector<Entry>& entries, int tracks) {
  Disk disk = MakeJv1Disk(tracks);
  Populate(disk, 170, 10, entries);
  SetBootSignature(disk);
  return disk;
}

std::vector<Entry> ThreeFiles() {
  return {{0x10, "README", "TXT", 5, {Slot(5, 0, 1)}},
          {0x10, "HELLO", "BAS", 5, {Slot(6, 0, 1)}},
          {0x10, "HELLO", "CMD", 5, {Slot(7, 0, 1)}}};
}

Bytes Serialize(const Disk& d, Fmt f, DmkOptions dmk) {
  switch (f) {
    case Fmt::kJv1: return ToJv1(d);
    case Fmt::kJv3: return ToJv3(d);
    case Fmt::kJv3SideMajor: return ToJv3(d, {Jv3Order::kSideMajor});
    case Fmt::kDmk: break;
  }
  return ToDmk(d, dmk);
}

Bytes Cut(Bytes b, size_t size) {
  b.resize(size);
  return b;
}

TempDir::TempDir() {
  // A new folder of a random name, made by this process alone.
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = fs::temp_directory_path() / ("vornik-test-" + std::to_string(random()));
    if (fs::create_directory(candidate)) {
      fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace);
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("no temporary folder could be made");
}

TempDir::~TempDir() {
  std::error_code ignored;
  for (const auto& entry : fs::recursive_directory_iterator(path_, ignored))
    fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> FolderNames(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::u8string name = entry.path().filename().u8string();  // UTF-8 on every system
    names.emplace_back(name.begin(), name.end());
  }
  std::sort(names.begin(), names.end());
  return names;
}

namespace {
#ifdef _WIN32
// cmd.exe: the tests' arguments hold no double quotes.
std::string ShellQuote(const std::string& arg) { return "\"" + arg + "\""; }
#else
std::string ShellQuote(const std::string& arg) {
  std::string quoted = "'";
  for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}
#endif
}  // namespace

RunResult Run(const std::string& program, const std::vector<std::string>& args, const fs::path& cwd) {
  TempDir capture;
  std::string command;
#ifdef _WIN32
  if (!cwd.empty()) command = "cd /d " + ShellQuote(cwd.string()) + " && ";
#else
  if (!cwd.empty()) command = "cd " + ShellQuote(cwd.string()) + " && ";
#endif
  command += ShellQuote(program);
  for (const std::string& arg : args) command += " " + ShellQuote(arg);
  command += " >" + ShellQuote(capture / "out") + " 2>" + ShellQuote(capture / "err");
  RunResult result;
#ifdef _WIN32
  // cmd.exe /c drops the first and the last quote of the line; the
  // arguments are UTF-8 and go to the wide call whole.
  result.status = ::_wsystem(Utf8Path("\"" + command + "\"").c_str());
#else
  const int raw = std::system(command.c_str());
  if (raw != -1 && WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
#endif
  const Bytes out = ReadBytes(capture.path() / "out"), err = ReadBytes(capture.path() / "err");
  result.out.assign(out.begin(), out.end());
  result.err.assign(err.begin(), err.end());
  return result;
}

}  // namespace vornik::testing

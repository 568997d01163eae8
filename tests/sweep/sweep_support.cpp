#include "sweep_support.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "extract/safe_name.h"

namespace vornik::sweep {

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<fs::path> SampleImages() {
  std::vector<fs::path> out;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(VORNIK_SAMPLES, ec)) {
    const std::string ext = e.path().extension().string();
    if (e.is_regular_file() && (ext == ".dsk" || ext == ".jv3" || ext == ".dmk")) out.push_back(e.path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::set<std::string> Listing(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(dir)) names.insert(fs::relative(e.path(), dir).string());
  return names;
}

Scratch::Scratch() {
  std::string tmpl = (fs::temp_directory_path() / "vornik-sweep-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  base_ = tmpl;
  out_ = base_ / "out";
  fs::create_directory(out_);
  old_cwd_ = fs::current_path();
  fs::current_path(out_);
}

Scratch::~Scratch() {
  std::error_code ec;
  fs::current_path(old_cwd_, ec);
  fs::remove_all(base_, ec);
}

Result Scratch::Process(Bytes bytes, bool write) {
  DiskState st;
  testing::FakeWindow win;
  Result r;
  const auto start = std::chrono::steady_clock::now();
  std::chrono::steady_clock::duration writing{};
  r.kind = OpenImageBytes(st, win, std::move(bytes)).kind;
  if (r.kind == OpenKind::kListed) {
    SortedList& list = win.List1();
    r.listed = list.ListCount();
    for (int i = 0; i < list.ListCount(); ++i) {
      list.SetListIndex(i);
      st.secnum = list.ItemData(i);
      if (st.secnum < st.dirstartsec || st.secnum > st.direndsec) continue;
      if (!CopyOutFile(st, win)) continue;
      ++r.copied;
      if (!write) continue;
      const auto w0 = std::chrono::steady_clock::now();
      win.answers.push_back(MsgAnswer::Yes);
      SaveAsFile(st, win, st.Filename);
      win.answers.clear();
      std::string error;
      const std::string again = (out_ / ("again-" + SafeHostName(st.Copyfilename))).string();
      WriteFileAtomic(again, st.copybuf.data(), static_cast<size_t>(AsIndex(st.fpb)), &error);
      writing += std::chrono::steady_clock::now() - w0;
    }
  }
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start - writing).count();
  return r;
}

bool IsOutcomeKind(OpenKind kind) {
  switch (kind) {
    case OpenKind::kListed:
    case OpenKind::kRefused:
    case OpenKind::kTooLarge:
    case OpenKind::kUnreadable:
    case OpenKind::kDamaged:
      return true;
  }
  return false;
}

}  // namespace vornik::sweep

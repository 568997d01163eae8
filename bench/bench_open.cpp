// How fast an image opens, in the process and with the memory kept from one
// image to the next as the window and vornik-cli keep it: one DiskState
// serves every iteration. Beside each, the floor measured the same way: the
// same file opened and read whole into one reused buffer; for a DMK, the
// least any open of it does as well. And the fresh process: vornik-cli
// list --json over 1,000 real-image paths.
//   vornik_bench [--benchmark_filter=...]
// The counter x_read is the benchmark's time per iteration divided by the
// floor's.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "directory/open_image.h"
#include "extract/copy_out_file.h"
#include "image/layout.h"
#include "image/mark_search.h"
#include "state/disk_state.h"
#include "image_builder.h"

namespace fs = std::filesystem;
namespace t = vornik::testing;
using Clock = std::chrono::steady_clock;

namespace {

fs::path ScratchDir() {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("vornik-bench-" + std::to_string(::getpid()));
    fs::create_directories(d);
    return d;
  }();
  return dir;
}

void WriteBytes(const fs::path& p, const t::Bytes& b) {
  std::ofstream out(p, std::ios::binary);
  out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

// open + fstat + read of the whole file into a buffer kept across calls,
// + close: the floor of any open.
size_t ReadWhole(const std::string& path, std::vector<uint8_t>& buf) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  struct stat info {};
  size_t done = 0;
  if (::fstat(fd, &info) == 0) {
    const auto size = static_cast<size_t>(info.st_size);
    if (buf.size() < size + 1) buf.resize(size + 1);
    while (done < size) {
      const ssize_t n = ::read(fd, buf.data() + done, size - done);
      if (n <= 0) break;
      done += size_t(n);
    }
  }
  ::close(fd);
  return done;
}

// Seconds per read of `path`, warm, over a fixed time.
double FloorSeconds(const std::string& path) {
  std::vector<uint8_t> buf;
  for (int i = 0; i < 20; ++i) ReadWhole(path, buf);  // warm the cache
  int n = 0;
  const auto start = Clock::now();
  do {
    for (int i = 0; i < 50; ++i, ++n) benchmark::DoNotOptimize(ReadWhole(path, buf));
  } while (Clock::now() - start < std::chrono::milliseconds(300));
  return std::chrono::duration<double>(Clock::now() - start).count() / n;
}

// The 80-track double-sided double-density DMK: 16 + 160 x 6400 bytes.
t::Bytes BigDmk() {
  t::Layout l;
  l.tracks = 80;
  l.sides = 2;
  l.normal = {18, true, false};
  t::Disk d = t::MakeDisk(l);
  for (int s = 0; s < d.LogicalCount(); ++s) t::FillPattern(d, s);
  const int dir = d.TrackStart(17);
  t::MarkDirectory(d, dir, 18);
  std::vector<t::Entry> files;
  for (int i = 0; i < 40; ++i)
    files.push_back({0x10, "FILE" + std::to_string(i), "DAT", 12, {t::Slot(20 + i, 0, 2)}});
  // 180 sectors: 30 granules of 6 sectors from track 60 on.
  files.push_back({0x10, "BIG", "DAT", 180, {t::Slot(60, 0, 30)}});
  t::PutEntries(d, dir, files);
  return t::ToDmk(d);
}

const fs::path& BigDmkPath() {
  static const fs::path p = [] {
    fs::path path = ScratchDir() / "big-80ds.dmk";
    WriteBytes(path, BigDmk());
    return path;
  }();
  return p;
}

std::string Sample(const char* name) { return (fs::path(VORNIK_SAMPLES) / name).string(); }
std::string Real(const char* name) { return (fs::path(VORNIK_REAL_IMAGES) / name).string(); }

// OpenImage = read the file + identify + geometry + directory scan + sector
// source + DOS layer + list, exactly what the Open command runs, into one
// DiskState reset between images as vornik-cli resets it.
void BM_Open(benchmark::State& state, std::string path) {
  if (!fs::exists(path)) {
    state.SkipWithError(("missing " + path).c_str());
    return;
  }
  const double floor = FloorSeconds(path);
  vornik::DiskState st;
  int listed = 0;
  int64_t n = 0;
  const auto start = Clock::now();
  for (auto _ : state) {
    vornik::ResetKeepingBuffers(st);
    const auto out = vornik::OpenImage(st, path);
    if (out.kind != vornik::OpenKind::kListed) {
      state.SkipWithError("image not listed");
      break;
    }
    listed = static_cast<int>(out.listing.entries.size());
    ++n;
  }
  const double per = std::chrono::duration<double>(Clock::now() - start).count() / double(std::max<int64_t>(n, 1));
  state.counters["files"] = listed;
  state.counters["read_us"] = floor * 1e6;
  state.counters["x_read"] = per / floor;
  state.SetBytesProcessed(n * int64_t(fs::file_size(path)));
}

// What any open of a DMK must do at least, beside the bare read: read the
// file whole, then for every track record count its ID-mark pointers and,
// for each, take the ID field's four bytes and find the first data-mark
// byte in its gap, keeping those in a reused array. No checks, no index, no
// directory scan, no DOS: the part of x_read no open can go below.
struct WalkedField {
  int64_t data;
  uint32_t id;
  uint8_t mark;
};

size_t WalkDmkIdFields(const std::vector<uint8_t>& image, size_t length, std::vector<WalkedField>& out) {
  const int64_t track_length = image[vornik::kDmkTrackLenLow] | image[vornik::kDmkTrackLenLow + 1] << 8;
  if (track_length < vornik::kDmkTrackLenMin) return 0;
  size_t n = 0;
  for (int64_t record = vornik::kDmkHeaderSize; record + track_length <= int64_t(length); record += track_length) {
    const uint8_t* table = image.data() + record;
    const int count = vornik::CountDmkPointers(table, vornik::kDmkPointers);
    for (int i = 0; i < count; ++i) {
      const int at = (table[2 * i] | table[2 * i + 1] << 8) & vornik::kDmkPointerOffset;
      if (at + vornik::kDmkMarkHorizon + 16 > track_length) continue;
      const uint8_t* f = table + at;
      uint32_t id;
      std::memcpy(&id, f + 1, sizeof id);
      const int mark = vornik::kDmkIdFieldEnd + vornik::FindMarkFamilyInHorizon(f + vornik::kDmkIdFieldEnd);
      if (n == out.size()) out.resize(2 * n + 64);
      out[n++] = {record + at + mark + 1, id, f[mark]};
    }
  }
  return n;
}

void BM_DmkIdWalkFloor(benchmark::State& state, std::string path) {
  if (!fs::exists(path)) {
    state.SkipWithError(("missing " + path).c_str());
    return;
  }
  const double floor = FloorSeconds(path);
  std::vector<uint8_t> buf;
  std::vector<WalkedField> fields;
  size_t walked = 0;
  int64_t n = 0;
  const auto start = Clock::now();
  for (auto _ : state) {
    const size_t length = ReadWhole(path, buf);
    buf.resize(std::max(buf.size(), length + 64));  // the last window's spare bytes
    walked = WalkDmkIdFields(buf, length, fields);
    benchmark::DoNotOptimize(fields.data());
    ++n;
  }
  const double per = std::chrono::duration<double>(Clock::now() - start).count() / double(std::max<int64_t>(n, 1));
  state.counters["id_fields"] = double(walked);
  state.counters["read_us"] = floor * 1e6;
  state.counters["x_read"] = per / floor;
}

// CopyOutFile of the 180-sector file of the big DMK, beside reading its
// 46,080 bytes from a warm file.
void BM_CopyOut180Sectors(benchmark::State& state) {
  vornik::DiskState st;
  const auto out = vornik::OpenImage(st, BigDmkPath().string());
  const vornik::ListedEntry* big = nullptr;
  for (const auto& entry : out.listing.entries)
    if (entry.text == "BIG      DAT") big = &entry;
  if (!big) {
    state.SkipWithError("BIG/DAT not listed");
    return;
  }
  const fs::path same = ScratchDir() / "file-180.bin";
  WriteBytes(same, t::Bytes(180 * 256, 0x5A));
  const double floor = FloorSeconds(same.string());
  int64_t n = 0;
  const auto start = Clock::now();
  for (auto _ : state) {
    vornik::Notices notices;
    if (vornik::CopyListedEntry(st, out.listing, *big, false, notices) != vornik::CopyStatus::kCopied || st.fpb != 180 * 256) {
      state.SkipWithError("copy failed");
      break;
    }
    ++n;
  }
  const double per = std::chrono::duration<double>(Clock::now() - start).count() / double(std::max<int64_t>(n, 1));
  state.counters["read_us"] = floor * 1e6;
  state.counters["x_read"] = per / floor;
  state.SetBytesProcessed(n * 180 * 256);
}

// The real images, repeated to 1,000 paths.
std::vector<std::string> BatchPaths() {
  std::vector<std::string> images;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(VORNIK_REAL_IMAGES, ec)) {
    std::string ext = e.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
    if (e.is_regular_file() && (ext == ".dsk" || ext == ".dmk" || ext == ".jv1" || ext == ".jv3")) images.push_back(e.path().string());
  }
  std::sort(images.begin(), images.end());
  std::vector<std::string> paths;
  for (size_t i = 0; !images.empty() && paths.size() < 1000; ++i) paths.push_back(images[i % images.size()]);
  return paths;
}

std::string Quote(const std::string& s) {
  std::string q(1, '\'');
  for (char c : s) {
    if (c == '\'') {
      q.append("'\\''");
    } else {
      q.push_back(c);
    }
  }
  q.push_back('\'');
  return q;
}

// vornik-cli list --json over 1,000 paths in one process, beside reading
// the same 1,000 files into memory in one process.
void BM_CliListJson1000(benchmark::State& state) {
  const std::string cli = VORNIK_CLI;
  const std::vector<std::string> paths = BatchPaths();
  if (cli.empty() || !fs::exists(cli) || paths.empty()) {
    state.SkipWithError("vornik-cli or the real images are absent");
    return;
  }
  std::string command = Quote(cli);
  command.append(" list --json");
  for (const std::string& p : paths) {
    command.push_back(' ');
    command.append(Quote(p));
  }
  command.append(" >/dev/null 2>&1");

  std::vector<uint8_t> buf;
  for (const std::string& p : paths) ReadWhole(p, buf);  // warm
  const auto r0 = Clock::now();
  for (int k = 0; k < 5; ++k)
    for (const std::string& p : paths) benchmark::DoNotOptimize(ReadWhole(p, buf));
  const double floor = std::chrono::duration<double>(Clock::now() - r0).count() / 5;

  int64_t n = 0;
  const auto start = Clock::now();
  for (auto _ : state) {
    const int rc = std::system(command.c_str());
    benchmark::DoNotOptimize(rc);
    ++n;
  }
  const double per = std::chrono::duration<double>(Clock::now() - start).count() / double(std::max<int64_t>(n, 1));
  state.counters["images_per_s"] = double(paths.size()) / per;
  state.counters["read_ms"] = floor * 1e3;
  state.counters["x_read"] = per / floor;
}

}  // namespace

BENCHMARK(BM_CopyOut180Sectors)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CliListJson1000)->Unit(benchmark::kMillisecond)->Iterations(3);

// The images opened: the samples, a built 80-track DMK and real images of
// each kind (skipped when ../shared/real-images is absent). Each DMK also
// gets the least open beside it.
void RegisterOpens() {
  const std::pair<const char*, std::string> images[] = {
      {"JV1_newdos80_sample", Sample("newdos80-jv1.dsk")},
      {"JV3_double_sided_sample", Sample("double-sided.jv3")},
      {"DMK_double_density_sample", Sample("double-density.dmk")},
      {"DMK_80_track_double_sided", BigDmkPath().string()},
      {"real_JV1_80_track", Real("TRS80M1__SIDEKICK.JV1")},
      {"real_JV3_SD_35_track", Real("spaceinv__space_invaders_model1.dsk")},
      {"real_JV3_DD_40_track", Real("cschweda__ldos-531.dsk")},
      {"real_DMK_SD_35_track", Real("FreHDDisk__m1-frehd-boot.dmk")},
      {"real_DMK_DD_40_track", Real("FreHDDisk__m3-4p-frehd-boot.dmk")},
      {"real_DMK_DS_41_track", Real("GenieIIIs__esnd-01.dmk")},
      {"real_DMK_DS_80_track", Real("SmallC__smallc1.dmk")},
      {"real_DMK_DS_81_track", Real("TRS80M1__weikamp.dmk")},
  };
  for (const auto& [name, path] : images)
    benchmark::RegisterBenchmark((std::string("BM_Open/") + name).c_str(), BM_Open, path)->Unit(benchmark::kMicrosecond);
  for (const auto& [name, path] : images) {
    if (fs::path(path).extension() != ".dmk") continue;
    benchmark::RegisterBenchmark((std::string("BM_DmkIdWalkFloor/") + name).c_str(), BM_DmkIdWalkFloor, path)
        ->Unit(benchmark::kMicrosecond);
  }
}

int main(int argc, char** argv) {
  RegisterOpens();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove_all(ScratchDir(), ec);
  return 0;
}

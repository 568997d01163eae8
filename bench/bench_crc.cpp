// CRC-16 throughput over 1 MiB, plain and every other byte (the span read,
// half of it checked), and the DMK verdict pass over a whole image held in
// memory: every ID mark of every record checked, in bytes of image a second.
//   vornik_bench --benchmark_filter='Crc|Verdict'
#include <benchmark/benchmark.h>

#include <algorithm>
#include <span>

#include "image/crc16.h"
#include "image/dmk_check.h"
#include "image_builder.h"

namespace t = vornik::testing;

namespace {

constexpr size_t kBufferBytes = size_t{1} << 20;

void BM_Crc16(benchmark::State& state) {
  const t::Bytes buf = t::Pattern(3, kBufferBytes);
  for (auto _ : state) benchmark::DoNotOptimize(vornik::Crc16(vornik::kCrcPresetFm, buf));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(buf.size()));
}

void BM_Crc16EveryOtherByte(benchmark::State& state) {
  const t::Bytes buf = t::Pattern(3, kBufferBytes);
  for (auto _ : state) benchmark::DoNotOptimize(vornik::Crc16Strided(vornik::kCrcPresetFm, buf, 2));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(buf.size()));
}

// 80 tracks, 2 sides: 18 double-density sectors a side, or 10 single-density
// ones stored doubled.
t::Bytes Image(bool doubled) {
  t::Layout l;
  l.tracks = 80;
  l.sides = 2;
  l.normal = doubled ? t::TrackLayout{10, false, true} : t::TrackLayout{18, true, false};
  t::Disk d = t::MakeDisk(l);
  for (int s = 0; s < d.LogicalCount(); ++s) t::FillPattern(d, s);
  return t::ToDmk(d);
}

void BM_DmkVerdictPass(benchmark::State& state) {
  const t::Bytes image = Image(state.range(0) != 0);
  const size_t track_len = image[2] | (image[3] << 8);
  int intact = 0;
  for (auto _ : state) {
    intact = 0;
    for (size_t at = 16; at < image.size(); at += track_len) {
      const std::span<const uint8_t> record(image.data() + at, std::min(track_len, image.size() - at));
      for (int i = 0; i < vornik::kDmkIdPointerMax; ++i) {
        const auto raw = static_cast<uint16_t>(record[2 * i] | (record[2 * i + 1] << 8));
        if (raw == 0) break;
        intact += vornik::CheckDmkSector(record, raw, true).verdict == vornik::SectorVerdict::kIntact;
      }
    }
    benchmark::DoNotOptimize(intact);
  }
  state.counters["intact"] = intact;
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(image.size()));
}

}  // namespace

BENCHMARK(BM_Crc16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Crc16EveryOtherByte)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DmkVerdictPass)->ArgName("doubled_sd")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

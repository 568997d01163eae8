// CRC-16 and the sector verdicts: DMK records built here byte by byte (with
// the bitwise CRC of the test builder as the reference), and JV3 flags.
#include <gtest/gtest.h>

#include <string_view>

#include "image/crc16.h"
#include "image/dmk_check.h"
#include "image_builder.h"

namespace vornik::testing {
namespace {

std::span<const uint8_t> AsBytes(std::string_view s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

TEST(Crc16, CheckValuesAndTheBitwiseReference) {
  EXPECT_EQ(vornik::Crc16(kCrcPresetFm, AsBytes("123456789")), 0x29B1);
  EXPECT_EQ(Crc16Strided(kCrcPresetFm, AsBytes("1x2x3x4x5x6x7x8x9"), 2), 0x29B1);
  EXPECT_EQ(vornik::Crc16(kCrcPresetFm, AsBytes("\xA1\xA1\xA1")), kCrcPresetMfm);
  const Bytes data = Pattern(7, 300);
  for (size_t n = 0; n <= data.size(); n += (n < 40 ? 1 : 37)) {
    const std::span<const uint8_t> part(data.data(), n);
    EXPECT_EQ(vornik::Crc16(0x1234, part), Crc16(part.data(), n, 0x1234)) << n;
    Bytes every_other;
    for (size_t i = 0; i < n; i += 2) every_other.push_back(data[i]);
    EXPECT_EQ(Crc16Strided(0x1234, part, 2), Crc16(every_other.data(), every_other.size(), 0x1234)) << n;
  }
}

enum class Fault { kNone, kIdCrc, kDataByte, kNoMark, kCutInData, kCutInId, kCutInWindow };

struct RecordCase {
  const char* name;
  bool mfm;
  bool doubled;            // FM stored with every byte twice
  bool doubling_possible;  // header byte 4 without 0x40 and 0x80
  uint8_t size_code;
  Fault fault;
  SectorVerdict verdict;
  int data_length;
  int mark_shift = 0;  // byte times moved from the usual mark distance (window: ID + 7 .. 49 / 36)
};

constexpr int kIdAt = 200;

// One sector at kIdAt in a record of gap bytes: sync, ID field, gap, data
// mark, data, CRCs as a controller writes them; `pointer` is its table entry.
Bytes BuildRecord(const RecordCase& c, uint16_t& pointer) {
  const int step = c.doubled ? 2 : 1;
  pointer = uint16_t(kIdAt | (c.mfm ? kDmkIdPointerMfm : 0x4000));  // bit 14 means nothing
  const uint8_t gap = c.mfm ? 0x4E : 0xFF;
  Bytes r(kIdAt - (c.mfm ? 3 : 0), gap);
  const auto put = [&](uint8_t b) { r.insert(r.end(), size_t(step), b); };
  const uint16_t preset = c.mfm ? kCrcPresetMfm : kCrcPresetFm;
  if (c.mfm) r.insert(r.end(), 3, 0xA1);
  const Bytes id = {0xFE, 5, 0, 3, c.size_code};
  uint16_t crc = Crc16(id.data(), id.size(), preset);
  if (c.fault == Fault::kIdCrc) crc ^= 1;
  for (uint8_t b : id) put(b);
  put(uint8_t(crc >> 8));
  put(uint8_t(crc));
  for (int i = 0; i < (c.mfm ? 22 : 11) + c.mark_shift; ++i) put(gap);
  for (int i = 0; i < (c.mfm ? 12 : 6); ++i) put(0x00);
  if (c.mfm) r.insert(r.end(), 3, 0xA1);  // mark at ID + 44 (MFM) or + 24 (FM) byte times
  if (c.fault == Fault::kCutInWindow) return Bytes(r.begin(), r.end() - 4);
  Bytes field = {c.fault == Fault::kNoMark ? gap : uint8_t(c.mfm ? 0xFB : 0xFA)};
  for (int i = 0; i < (128 << (c.size_code & 3)); ++i) field.push_back(uint8_t(i * 7 + 1));
  crc = Crc16(field.data(), field.size(), preset);
  if (c.fault == Fault::kDataByte) field[100] ^= 0x40;
  for (uint8_t b : field) put(b);
  put(uint8_t(crc >> 8));
  put(uint8_t(crc));
  r.insert(r.end(), 30, gap);
  const size_t cut = c.fault == Fault::kCutInData ? r.size() - 40 * step : c.fault == Fault::kCutInId ? kIdAt + 4 : r.size();
  return Bytes(r.begin(), r.begin() + cut);  // exactly sized: a read past it is caught under ASan
}

const RecordCase kRecords[] = {
    {"MfmIntact", true, false, true, 1, Fault::kNone, SectorVerdict::kIntact, 256},
    {"MfmIdCrc", true, false, true, 1, Fault::kIdCrc, SectorVerdict::kIdCrcError, 256},
    {"MfmDataCrc", true, false, true, 1, Fault::kDataByte, SectorVerdict::kDataCrcError, 256},
    {"MfmNoMark", true, false, true, 1, Fault::kNoMark, SectorVerdict::kNoDataMark, 256},
    {"FmSize0", false, false, false, 0, Fault::kNone, SectorVerdict::kIntact, 128},
    {"MfmSize2", true, false, true, 2, Fault::kNone, SectorVerdict::kIntact, 512},
    {"MfmSize3", true, false, true, 3, Fault::kNone, SectorVerdict::kIntact, 1024},
    {"MfmSize7IsSize3", true, false, true, 7, Fault::kNone, SectorVerdict::kIntact, 1024},
    {"DoubledIntact", false, true, true, 1, Fault::kNone, SectorVerdict::kIntact, 256},
    {"DoubledDataCrc", false, true, true, 1, Fault::kDataByte, SectorVerdict::kDataCrcError, 256},
    {"DoubledIdCrc", false, true, true, 1, Fault::kIdCrc, SectorVerdict::kIdCrcError, 256},
    {"DoubledUnderSingleHeaderIsRead1To1", false, true, false, 1, Fault::kNone, SectorVerdict::kIdCrcError, 128},
    {"MfmMarkLastInWindow", true, false, true, 1, Fault::kNone, SectorVerdict::kIntact, 256, 5},
    {"MfmMarkPastWindow", true, false, true, 1, Fault::kNone, SectorVerdict::kNoDataMark, 256, 6},
    {"FmMarkLastInWindow", false, false, false, 1, Fault::kNone, SectorVerdict::kIntact, 256, 12},
    {"DoubledMarkPastWindow", false, true, true, 1, Fault::kNone, SectorVerdict::kNoDataMark, 256, 13},
    {"CutInData", true, false, true, 1, Fault::kCutInData, SectorVerdict::kTruncated, 256},
    {"DoubledCutInData", false, true, true, 1, Fault::kCutInData, SectorVerdict::kTruncated, 256},
    {"CutInId", true, false, true, 1, Fault::kCutInId, SectorVerdict::kTruncated, 128},  // N not stored
    {"CutInMarkWindow", true, false, true, 1, Fault::kCutInWindow, SectorVerdict::kTruncated, 256},
};

class DmkRecord : public ::testing::TestWithParam<RecordCase> {};

TEST_P(DmkRecord, Verdict) {
  const RecordCase& c = GetParam();
  uint16_t pointer = 0;
  const Bytes r = BuildRecord(c, pointer);
  const DmkSectorCheck got = CheckDmkSector(r, pointer, c.doubling_possible);
  EXPECT_EQ(got.verdict, c.verdict) << VerdictName(got.verdict);
  EXPECT_EQ(got.id_mark_at, kIdAt);
  EXPECT_EQ(got.data_length, c.data_length);
  if (c.verdict == SectorVerdict::kIntact || c.verdict == SectorVerdict::kDataCrcError) {
    EXPECT_EQ(got.step, c.doubled ? 2 : 1);
    EXPECT_EQ(got.sector, 3);
    EXPECT_EQ(got.data_mark_at, kIdAt + ((c.mfm ? 44 : 24) + c.mark_shift) * got.step);
    EXPECT_EQ(got.data_mark, r[size_t(got.data_mark_at)]);
    EXPECT_EQ(got.data_at, got.data_mark_at + got.step);
    EXPECT_EQ(r[size_t(got.data_at)], 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, DmkRecord, ::testing::ValuesIn(kRecords),
                         [](const auto& info) { return std::string(info.param.name); });

// Every length a capture could have stopped at: truncated until the data
// CRC's last byte is in, intact from there on; never a read past the end.
TEST(DmkRecordCut, AnyCutBeforeTheLastCrcByteIsTruncated) {
  for (const RecordCase& c : {kRecords[0], kRecords[8]}) {
    uint16_t pointer = 0;
    const Bytes whole = BuildRecord(c, pointer);
    const size_t end = whole.size() - 30 - (c.doubled ? 1 : 0);  // 30 bytes of gap end the record
    for (size_t n = 0; n <= whole.size(); ++n) {
      const Bytes cut(whole.begin(), whole.begin() + n);
      EXPECT_EQ(CheckDmkSector(cut, pointer, true).verdict, n < end ? SectorVerdict::kTruncated : SectorVerdict::kIntact)
          << c.name << " cut at " << n;
    }
  }
  EXPECT_EQ(CheckDmkSector(Bytes(300, 0xFE), 0xFFFF, true).verdict, SectorVerdict::kTruncated);
}

TEST(Jv3Entry, FlagsGiveSizeAndVerdict) {
  struct Row {
    uint8_t track, flags;
    bool used;
    int size;
    SectorVerdict verdict;
  };
  const Row rows[] = {
      {5, 0x00, true, 256, SectorVerdict::kIntact},   {5, 0x01, true, 128, SectorVerdict::kIntact},
      {5, 0x02, true, 1024, SectorVerdict::kIntact},  {5, 0x0B, true, 512, SectorVerdict::kFlagged},
      {5, 0xB8, true, 256, SectorVerdict::kFlagged},  {0xFF, 0xFC, false, 512, SectorVerdict::kIntact},
      {0xFF, 0xFF, false, 256, SectorVerdict::kIntact},
  };
  for (const Row& row : rows) {
    const Jv3SectorCheck got = CheckJv3Entry(row.track, row.flags);
    EXPECT_EQ(got.used, row.used) << int(row.flags);
    EXPECT_EQ(got.data_size, row.size) << int(row.flags);
    EXPECT_EQ(got.verdict, row.verdict) << int(row.flags);
  }
}

}  // namespace
}  // namespace vornik::testing

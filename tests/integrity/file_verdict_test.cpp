// Which files are damaged: each judged by exactly the sectors its
// whole-sector copy reads, on built images with one sector spoiled.
#include <gtest/gtest.h>

#include <functional>

#include "extract/integrity.h"
#include "support.h"

namespace vornik::testing {
namespace {

// FIRST/DAT on track 5, SECOND/DAT on track 6, five sectors each.
std::vector<Entry> TwoFiles() { return {{0x10, "FIRST", "DAT", 5, {Slot(5, 0, 1)}}, {0x10, "SECOND", "DAT", 5, {Slot(6, 0, 1)}}}; }

// Sector 2 of track 5 (FIRST's third) spoiled in the serialized DMK.
Bytes SpoiledDmk(const Layout& l, const std::function<void(Bytes&, int64_t id, int64_t data)>& spoil) {
  Disk d = WithEntries(l, TwoFiles());
  DmkMap map;
  Bytes b = ToDmk(d, {}, &map);
  const size_t record = size_t(5 * l.sides);
  spoil(b, map.id[record][2], map.data[record][2]);
  return b;
}

struct VerdictCase {
  const char* label;
  std::function<Bytes()> make;
  FileIntegrity first;
  SectorVerdict problem;  // of FIRST's bad sector, when damaged
  int damaged;            // sectors of the image
};
void PrintTo(const VerdictCase& c, std::ostream* os) { *os << c.label; }

const Layout kDd = Uniform(40, 1, 18, true);
Layout Doubled() {
  Layout l = Uniform(40, 1, 10, false);
  l.normal.doubled = true;
  return l;
}

const VerdictCase kVerdicts[] = {
    {"dmk_intact", [] { return SpoiledDmk(kDd, [](Bytes&, int64_t, int64_t) {}); }, FileIntegrity::kIntact,
     SectorVerdict::kIntact, 0},
    {"dmk_data_crc", [] { return SpoiledDmk(kDd, [](Bytes& b, int64_t, int64_t data) { b[size_t(data + 9)] ^= 1; }); },
     FileIntegrity::kDamaged, SectorVerdict::kDataCrcError, 1},
    {"dmk_id_crc", [] { return SpoiledDmk(kDd, [](Bytes& b, int64_t id, int64_t) { b[size_t(id + 5)] ^= 1; }); },
     FileIntegrity::kDamaged, SectorVerdict::kIdCrcError, 1},
    {"dmk_no_data_mark", [] { return SpoiledDmk(kDd, [](Bytes& b, int64_t, int64_t data) { b[size_t(data - 1)] = 0x4E; }); },
     FileIntegrity::kDamaged, SectorVerdict::kNoDataMark, 1},
    {"dmk_doubled_data_crc",
     [] { return SpoiledDmk(Doubled(), [](Bytes& b, int64_t, int64_t data) { b[size_t(data + 2 * 9)] ^= 1; }); },
     FileIntegrity::kDamaged, SectorVerdict::kDataCrcError, 1},
    {"jv3_flagged",
     [] {
       Bytes b = ToJv3(WithEntries(kDd, TwoFiles()));
       b[size_t(3 * (5 * 18 + 2) + 2)] |= 0x08;  // the CRC-error flag of FIRST's third sector
       return b;
     },
     FileIntegrity::kDamaged, SectorVerdict::kFlagged, 1},
    {"jv1_keeps_nothing", [] { return ToJv1(Jv1With(TwoFiles())); }, FileIntegrity::kUnchecked, SectorVerdict::kIntact,
     0},
    {"sector_not_in_the_image",
     [] {
       Disk d = WithEntries(kDd, TwoFiles());
       d.At(5, 0).sectors[2].number = 40;
       return ToDmk(d);
     },
     FileIntegrity::kMissing, SectorVerdict::kIntact, 0},
};

class FileVerdicts : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(FileVerdicts, FromTheSectorsTheCopyReads) {
  const VerdictCase& c = GetParam();
  Opened o;
  o.options.verify = true;
  ASSERT_EQ(o.Open(c.make()).kind, OpenKind::kListed) << o.out.detail;
  const SectorCounts counts = CountSectors(o.st.source);
  EXPECT_EQ(counts.damaged, c.damaged);
  const std::vector<EntryCheck> checks = CheckEntries(o.st, o.out.listing);
  ASSERT_EQ(checks.size(), 2u);
  EXPECT_EQ(checks[0].verdict.integrity, c.first);
  EXPECT_EQ(checks[1].verdict.integrity, c.first == FileIntegrity::kUnchecked ? c.first : FileIntegrity::kIntact);
  if (c.first != FileIntegrity::kDamaged) return;
  ASSERT_EQ(checks[0].verdict.bad.size(), 1u);
  const BadSector& bad = checks[0].verdict.bad[0];
  EXPECT_EQ(std::tuple(int(bad.at.track), int(bad.at.side), int(bad.at.id), bad.verdict),
            std::tuple(5, 0, 2, c.problem));
}

INSTANTIATE_TEST_SUITE_P(Images, FileVerdicts, ::testing::ValuesIn(kVerdicts),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace vornik::testing

// The sector locator on opened images: offsets in all three formats, the
// JV3 table search and its message, and the DMK record search with the
// layouts real DMK files use.
#include <gtest/gtest.h>

#include "support/core_harness.h"
#include "image/find_sector.h"
#include "image/image_access.h"

namespace vornik::testing {
namespace {

void Locate(Opened& o, int track, int side, int sector) {
  o.st.TrkToFind = int16_t(track);
  o.st.SideToFind = int16_t(side);
  o.st.SecToFind = int16_t(sector);
  o.st.datamarkjv = 0;
  o.st.datamarkDmk = 0;
  o.win.messages.clear();
  FindSector(o.st, o.win);
}

TEST(FindSectorJv1, OffsetsAreTrackAndSectorTimesTheirSizes) {
  auto o = OpenBytes(ToJv1(Jv1With(ThreeFiles())));
  const int cases[][3] = {{17, 0, 43520}, {0, 9, 2304}, {39, 9, 102144}, {0, 0, 0}};
  for (const auto& c : cases) {
    Locate(*o, c[0], 1, c[1]);  // the side is ignored
    EXPECT_EQ(o->st.fpa, c[2]);
    EXPECT_EQ(o->st.errflg, 0);
    EXPECT_EQ(o->st.secstep, 1);
  }
}

class FindSectorJv3 : public ::testing::Test {
 protected:
  void SetUp() override {
    Layout l;
    disk = MakeDisk(l);
    Populate(disk, 170, 10, ThreeFiles());
    o = OpenBytes(ToJv3(disk));
    ASSERT_EQ(o->out.kind, OpenKind::kListed);
  }
  Disk disk;
  std::unique_ptr<Opened> o;
};

TEST_F(FindSectorJv3, DataFollowsTheHeaderInTableOrder) {
  Locate(*o, 0, 0, 0);
  EXPECT_EQ(o->st.fpa, 8704);
  Locate(*o, 0, 0, 5);
  EXPECT_EQ(o->st.fpa, 9984);
  Locate(*o, 17, 0, 3);
  EXPECT_EQ(o->st.fpa, 8704 + 173 * 256);
  EXPECT_EQ(o->st.datamarkjv, 32);
  EXPECT_EQ(o->st.errflg, 0);
}

TEST_F(FindSectorJv3, WrongSideIsNoMatchButKeepsTheFlag) {
  Locate(*o, 17, 1, 0);
  EXPECT_EQ(o->st.errflg, 1);
  EXPECT_EQ(o->st.datamarkjv, 32);
  EXPECT_EQ(o->st.fpa, 8700);
  EXPECT_TRUE(o->win.messages.empty());
}

TEST(FindSectorJv3Short, ImageEndingInItsHeaderShowsTheMessageOnce) {
  Layout l;
  l.first_sector = 1;
  Disk disk = MakeDisk(l);
  Populate(disk, 170, 10, ThreeFiles());
  Bytes b = ToJv3(disk);
  b.resize(4000);
  auto o = OpenBytes(b);
  EXPECT_EQ(o->out.kind, OpenKind::kDamaged);
  ASSERT_EQ(o->win.messages.size(), 1u);
  EXPECT_EQ(o->win.messages[0].text, "** ERROR **  Not found, or File format faulty");
  EXPECT_EQ(o->win.messages[0].title, "Error");
  EXPECT_EQ(o->win.messages[0].buttons, MsgButtons::Ok);
}

// A double-sided DMK image whose tracks show the layouts of real disks.
class FindSectorDmk : public ::testing::Test {
 protected:
  void SetUp() override {
    Layout l;
    l.sides = 2;
    l.normal = {18, true, false};
    l.overrides = {{0, {10, false, true}}};  // track 0 doubled single density
    disk = MakeDisk(l);
    Populate(disk, disk.TrackStart(17), 18, ThreeFiles());
    disk.At(5, 0).first_id = 400;                    // ID marks elsewhere on this track
    disk.At(6, 0).sectors[7].number = 3;             // sector 3 twice
    disk.At(6, 0).sectors[7].data.fill(0x77);
    disk.At(7, 0).sectors[2].mark = kMarkDirAlt;
    Sector& unmarked = disk.At(7, 0).sectors[4];
    unmarked.mark = kNoMark;
    unmarked.data[0] = unmarked.data[1] = unmarked.data[2] = 0x11;
    const int distances[] = {33, 45, 46, 33};
    for (int i = 0; i < 4; ++i) disk.At(8, 0).sectors[size_t(i + 1)].mark_distance = distances[i];
    // Sector 4 of track 8: data bytes where the old fixed window looked.
    for (int k = 7; k <= 12; ++k) disk.At(8, 0).sectors[4].data[size_t(k)] = kMarkDir;
    o = OpenBytes(ToDmk(disk, {}, &map));
    ASSERT_EQ(o->out.kind, OpenKind::kListed) << o->out.detail;
  }
  int64_t Id(int record, int slot) const { return map.id[size_t(record)][size_t(slot)]; }
  int64_t Data(int record, int slot) const { return map.data[size_t(record)][size_t(slot)]; }
  Disk disk;
  DmkMap map;
  std::unique_ptr<Opened> o;
};

TEST_F(FindSectorDmk, FindsEachSectorOfEveryRecord) {
  struct Case {
    int track, side, sector, slot;
    uint8_t mark;
  } cases[] = {
      {17, 1, 5, 5, kMarkNormal},   // record 35 starts at 224016
      {5, 0, 4, 4, kMarkNormal},    // ID marks at other offsets than track 0's
      {6, 0, 3, 3, kMarkNormal},    // the lower of two slots wins
      {7, 0, 2, 2, kMarkDirAlt},    // F8 mark
      {8, 0, 1, 1, kMarkNormal},    // mark 33 bytes after the ID mark
      {8, 0, 2, 2, kMarkNormal},    // 45
      {8, 0, 3, 3, kMarkNormal},    // 46
      {8, 0, 4, 4, kMarkNormal},    // 33, with FA data bytes 41..46 after the ID mark
      {39, 1, 17, 17, kMarkNormal}, // the last sector of the image
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "track " << c.track << " side " << c.side << " sector " << c.sector);
    Locate(*o, c.track, c.side, c.sector);
    const int record = c.track * 2 + c.side;
    EXPECT_EQ(o->st.errflg, 0);
    EXPECT_EQ(o->st.fpa, Data(record, c.slot));
    EXPECT_EQ(o->st.datamarkDmk, c.mark);
    EXPECT_EQ(o->st.secstep, 1);
    EXPECT_EQ(SectorByte(o->st, 255), disk.At(c.track, c.side).sectors[size_t(c.slot)].data[255]);
  }
}

TEST_F(FindSectorDmk, MissingDataMarkTakesTheByteAfterTheWindow) {
  Locate(*o, 7, 0, 4);
  EXPECT_EQ(o->st.errflg, 0);
  EXPECT_EQ(o->st.datamarkDmk, 0x11);
  EXPECT_EQ(o->st.fpa, Id(14, 4) + 44 + 4);
}

TEST_F(FindSectorDmk, DoubledSingleDensityIsReadEverySecondByte) {
  Locate(*o, 0, 1, 4);
  EXPECT_EQ(o->st.errflg, 0);
  EXPECT_EQ(o->st.secstep, 2);
  EXPECT_EQ(o->st.fpa, Id(1, 4) + 50);
  EXPECT_EQ(o->st.datamarkDmk, kMarkNormal);
  ASSERT_TRUE(SectorInImage(o->st));
  const auto& data = disk.At(0, 1).sectors[4].data;
  for (int k = 0; k < 256; ++k) ASSERT_EQ(SectorByte(o->st, k), data[size_t(k)]) << k;
}

TEST_F(FindSectorDmk, AbsentSectorFails) {
  Locate(*o, 6, 0, 7);  // renumbered away
  EXPECT_EQ(o->st.errflg, 1);
  Locate(*o, 0, 0, 12);  // track 0 holds 10
  EXPECT_EQ(o->st.errflg, 1);
  EXPECT_TRUE(o->win.messages.empty());
}

}  // namespace
}  // namespace vornik::testing

// The DOS layer: sectors as each format stores them, TRSDOS 1.3 and the
// 32-byte family on built disks (what real disks lack), and every line of
// the real images' dos.jsonl.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>

#include <nlohmann/json.hpp>
#include <openssl/evp.h>

#include "dos/dos.h"
#include "support.h"

namespace vornik::testing {
namespace {

using Json = nlohmann::json;

// The DOS layer over an image the core opened.
struct DosRead : Opened {
  const SectorSource& source = st.source;
  const DosDisk& disk = out.listing.dos;
  explicit DosRead(Bytes bytes) { Open(std::move(bytes)); }
  const DosEntry* Entry(const std::string& name11) const {
    for (const DosEntry& e : disk.entries)
      if (std::string(e.name.begin(), e.name.end()) == name11) return &e;
    return nullptr;
  }
};

std::string Sha256Hex(const std::vector<uint8_t>& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
  std::string hex;
  for (unsigned i = 0; i < length; ++i) hex += "0123456789abcdef"[digest[i] >> 4], hex += "0123456789abcdef"[digest[i] & 15];
  return hex;
}

// What the formats can tell of a damaged sector, without a CRC.
TEST(SectorSource, DamageThatTheFormatShows) {
  Disk disk = MakeDisk({.tracks = 2, .sides = 1, .normal = {10, true, false}, .overrides = {}});
  for (int l = 0; l < disk.LogicalCount(); ++l) FillPattern(disk, l);
  Bytes jv3 = ToJv3(disk);
  jv3[2] |= 0x08;                          // sector 0: CRC-error flag
  jv3[3] = jv3[4] = 0xFF;                  // entry 1 freed: its data stays in place
  jv3[5] = 0xFF;
  const SectorSource j(jv3, {ImageFormat::kJv3, 1, 0});
  EXPECT_EQ(j.Find(0, 0, 0)->verdict, SectorVerdict::kFlagged);
  EXPECT_EQ(j.Find(0, 0, 1), nullptr);
  EXPECT_EQ(j.Find(0, 0, 2)->data, 8704 + 2 * 256);

  disk.At(1, 0).sectors[3].mark = kNoMark;
  Bytes dmk = ToDmk(disk);
  const int len = dmk[2] | dmk[3] << 8;
  dmk.resize(16 + len + 200);              // track 1 ends inside its first data field
  const SectorSource d(dmk, {ImageFormat::kDmk, 1, len});
  EXPECT_EQ(d.Find(1, 0, 0)->verdict, SectorVerdict::kTruncated);
  std::array<uint8_t, 256> buf{};
  EXPECT_LT(d.Read(*d.Find(1, 0, 0), buf), 256u);
  const SectorSource whole(ToDmk(disk), {ImageFormat::kDmk, 1, len});
  EXPECT_EQ(whole.Find(1, 0, 3)->verdict, SectorVerdict::kNoDataMark);
  // Track 0's last sector moved to the end of its record, its data field
  // running 156 bytes into track 1's: not to be seen in place, read short.
  Bytes moved = ToDmk(disk);
  const size_t last = whole.OnTrack(0, 0).size() - 1;
  const StoredSector s = whole.OnTrack(0, 0)[last];
  const uint16_t ptr = uint16_t(moved[16 + 2 * last] | moved[16 + 2 * last + 1] << 8);
  const int64_t id_at = 16 + (ptr & 0x7FFF), to = 16 + len - 100 - (s.data - id_at);
  std::copy(moved.begin() + id_at, moved.begin() + s.data, moved.begin() + to);
  PutLe16(moved, 16 + 2 * last, uint16_t((to - 16) | (ptr & 0x8000)));
  const SectorSource cut(moved, {ImageFormat::kDmk, 1, len});
  ASSERT_EQ(cut.Find(0, 0, s.id)->data, 16 + len - 100);
  EXPECT_EQ(cut.View(*cut.Find(0, 0, s.id), 256), nullptr);
  EXPECT_EQ(cut.Read(*cut.Find(0, 0, s.id), buf), 100u);
  EXPECT_EQ(cut.View(cut.OnTrack(0, 0)[0], 256), moved.data() + cut.OnTrack(0, 0)[0].data);

  // A JV1 cut 44 bytes into track 2's second sector: only that one is short.
  const Bytes jv1(2 * 2560 + 300, 0xE5);
  const SectorSource j1(jv1, {ImageFormat::kJv1, 1, 0});
  EXPECT_EQ(std::pair(j1.Tracks(), j1.Sides()), std::pair(3, 1));
  ASSERT_EQ(j1.OnTrack(2, 0).size(), 2u);
  EXPECT_TRUE(j1.OnTrack(2, 1).empty());
  EXPECT_EQ(j1.Find(2, 0, 0)->verdict, SectorVerdict::kUnchecked);
  EXPECT_EQ(j1.Find(2, 0, 1)->verdict, SectorVerdict::kTruncated);
  EXPECT_EQ(j1.Read(*j1.Find(2, 0, 1), buf), 44u);
}

// A TRSDOS 1.3 disk: 48-byte entries, 3-sector granules, counts as stored,
// ERN counting full sectors only: ERN 0 with EOF 40 is 40 bytes.
TEST(Trsdos13, ErnZeroWithAnEof) {
  Disk disk = MakeDisk({.tracks = 40, .sides = 1, .normal = {18, true, false}, .overrides = {}, .first_sector = 1});
  for (int l = 0; l < disk.LogicalCount(); ++l) FillPattern(disk, l);
  std::memcpy(disk.Find(0, 0, 1).data.data(), "\xFE\x11", 2);  // boot: directory on track 17
  for (int id = 1; id <= 18; ++id) {
    disk.Find(17, 0, id).data.fill(0);
    if (id >= 3) std::memcpy(&disk.Find(17, 0, id).data[240], "(c) 1980 Tandy", 14);
  }
  auto& gat = disk.Find(17, 0, 1).data;
  std::fill(gat.begin(), gat.begin() + 20, 0x3F);  // tracks 0-19 used
  std::memcpy(&gat[0xD0], "TRSDOS  07/01/81", 16);
  // HERZ50/BLD, November 1982, EOF 40, ERN 0; granule 1 of track 5, one granule.
  const uint8_t entry[24] = {0x10, 11, 82, 40, 0, 'H', 'E', 'R', 'Z', '5', '0', ' ', ' ', 'B', 'L', 'D', 0, 0, 0, 0, 0, 0, 5, 1 << 5 | 1};
  std::memcpy(disk.Find(17, 0, 3).data.data(), entry, sizeof entry);
  std::fill(disk.Find(17, 0, 3).data.begin() + 24, disk.Find(17, 0, 3).data.begin() + 48, 0xFF);
  DosRead r(ToJv3(disk));
  ASSERT_EQ(r.disk.dos, "TRSDOS 1.3") << r.disk.note;
  EXPECT_EQ(std::tuple(r.disk.entry_bytes, r.disk.disk_name, r.disk.disk_date), std::tuple(48, "TRSDOS", "07/01/81"));
  EXPECT_EQ(r.disk.free_bytes, 20 * 6 * 3 * 256);
  EXPECT_EQ(r.disk.total_bytes, 40 * 6 * 3 * 256);
  ASSERT_EQ(r.disk.entries.size(), 1u);
  const DosEntry& herz = r.disk.entries[0];
  EXPECT_EQ(std::tuple(herz.size, herz.whole_sectors, herz.date), std::tuple(40, 1, "1982-11"));
  EXPECT_EQ(herz.sectors.size(), 3u);
  // The walk never reads 48-byte entries: the DOS's directory is listed, each
  // entry under its sector's logical number, and copied by the DOS layer.
  ASSERT_TRUE(r.out.listing.from_dos);
  EXPECT_EQ(r.Items(), std::vector<std::string>{"HERZ50   BLD"});
  EXPECT_EQ(r.Places(), (std::set<std::pair<int, int>>{{17 * 18 + 2, 0}}));
  EXPECT_EQ(std::pair(r.st.dirstartsec, int32_t(r.st.direndsec)), std::pair(17 * 18, 17 * 18 + 17));
  Bytes want = SectorsOf(disk, {5 * 18 + 3});
  ASSERT_TRUE(r.Copy(0));
  EXPECT_EQ(r.Copied(), want);
  want.resize(40);
  ASSERT_TRUE(r.Copy(0, true));
  EXPECT_EQ(r.Copied(), want);
}

// An LDOS disk on JV1 (GAT at track 17) whose entries show what real disks
// lack: an extension entry, a killed file, a link loop, an extent past the
// disk, ERN past the allocation, ERN 0 with an EOF, an extent that runs
// on into the next track.
Disk LdosDisk(const std::function<void(Disk&)>& tweak = {}) {
  Disk disk = MakeJv1Disk(40);
  for (int l = 0; l < disk.LogicalCount(); ++l) FillPattern(disk, l);
  SetBootSignature(disk);
  MarkDirectory(disk, 170, 10);
  disk.Logical(170).data[0xCB] = 0x51;
  std::vector<Entry> entries = {
      {.name = "MAIN", .ext = "CMD", .sectors = 28, .slots = {Slot(20, 0, 2), Slot(22, 1, 1), Slot(24, 1, 2), Link(0, 5)}, .eof = 100},
      {.attr = 0x00, .name = "OLD", .ext = "BAS", .sectors = 5, .slots = {Slot(30, 0, 1)}},
      {.name = "LOOP", .ext = "DAT", .sectors = 1, .slots = {Slot(27, 0, 1), Link(0, 6)}},
      {.name = "FAR", .ext = "DAT", .sectors = 1, .slots = {Slot(60, 0, 1)}},
      {.name = "BIG", .ext = "DAT", .sectors = 9, .slots = {Slot(28, 0, 1)}},
      {.attr = 0x90, .name = "", .ext = "", .slots = {Slot(26, 0, 1)}},
      {.attr = 0x90, .name = "", .ext = "", .slots = {Link(0, 6)}},
      {.name = "EMPTY", .ext = "CMD", .slots = {}, .eof = 140},
  };
  PutEntries(disk, 170, entries);
  disk.Logical(172).data[1] = 0x42;             // MOD flag, February
  disk.Logical(172).data[2] = 18 << 3 | 2;      // the 18th, 1982
  if (tweak) tweak(disk);
  return disk;
}

TEST(Dos32, EntriesThatRealDisksLack) {
  Disk disk = LdosDisk();
  DosRead r(ToJv1(disk));
  ASSERT_EQ(r.disk.dos, "LDOS 5.1") << r.disk.note;
  EXPECT_EQ(r.disk.entries.size(), 6u);  // extension entries are no files
  struct Want {
    const char* name11;
    bool in_use;
    std::optional<int64_t> size;
    bool error, note;
  };
  const Want wants[] = {{"MAIN    CMD", true, 27 * 256 + 100, false, false}, {"OLD     BAS", false, 1280, false, false},
                        {"LOOP    DAT", true, std::nullopt, true, false},  {"FAR     DAT", true, std::nullopt, true, false},
                        {"BIG     DAT", true, 9 * 256, true, false},        {"EMPTY   CMD", true, 0, false, true}};
  for (const Want& w : wants) {
    SCOPED_TRACE(w.name11);
    const DosEntry* e = r.Entry(w.name11);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->in_use, w.in_use);
    EXPECT_EQ(e->size, w.size);
    EXPECT_EQ(!e->error.empty(), w.error) << e->error;
    EXPECT_EQ(!e->note.empty(), w.note);
    std::string error;
    const Bytes exact = AssembleFile(r.source, *e, true, &error);
    EXPECT_EQ(error.empty(), !w.error) << error;
    if (w.size && error.empty()) { EXPECT_EQ(int64_t(exact.size()), *w.size); }
  }
  const DosEntry& main = *r.Entry("MAIN    CMD");
  EXPECT_EQ(main.date, "1982-02-18");
  EXPECT_EQ(main.extension_sectors.size(), 1u);
  Bytes want = SectorsOf(disk, Cat(Range(200, 209), Range(225, 229), Range(245, 254), Range(260, 262)));
  std::string error;
  EXPECT_EQ(AssembleFile(r.source, main, false, &error), want);
  want.resize(27 * 256 + 100);
  EXPECT_EQ(AssembleFile(r.source, main, true, &error), want);
  // ERN past the allocation: the whole-sector copy takes what is allocated.
  EXPECT_EQ(AssembleFile(r.source, *r.Entry("BIG     DAT"), false, &error), SectorsOf(disk, Range(280, 284)));
  // A later copy of an entry sector on its track is not the one read.
  Sector junk = disk.Logical(172);
  junk.data = disk.Logical(300).data;
  disk.At(17, 0).sectors.push_back(junk);
  DosRead twice(ToJv3(disk));
  EXPECT_EQ(twice.disk.dos, "LDOS 5.1") << twice.disk.note;
  EXPECT_EQ(twice.disk.entries.size(), 6u);
}

// The hash index decides whether the directory is believed.
TEST(Dos32, HashIndexThatLies) {
  auto hit = [](Disk& d) -> std::array<uint8_t, 256>& { return d.Logical(171).data; };
  struct Case {
    const char* what;
    std::function<void(Disk&)> tweak;
    bool recognised;
  };
  const Case cases[] = {
      {"one of five live entries unknown to it", [&](Disk& d) { hit(d)[0x60] ^= 0x55; }, true},
      {"two of five unknown", [&](Disk& d) { hit(d)[0x60] ^= 0x55, hit(d)[0x80] ^= 0x55; }, false},
      {"empty; three of five plausible", [&](Disk& d) { hit(d).fill(0); }, false},
      {"empty; every live entry plausible (a tool's disk)",
       [&](Disk& d) { hit(d).fill(0), d.Logical(172).data[0x40] = d.Logical(172).data[0x60] = 0; }, true},
      {"random bytes", [&](Disk& d) { hit(d) = d.Logical(300).data; }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DosRead r(ToJv1(LdosDisk(c.tweak)));
    EXPECT_EQ(r.disk.dos, c.recognised ? "LDOS 5.1" : "") << r.disk.note;
    EXPECT_EQ(r.disk.entries.empty(), !c.recognised);
    EXPECT_EQ(r.disk.note.empty(), false);
  }
}

// A Newdos/80 lump layout (directory at lump 17, 2 granules a lump: track
// 17) is numbered by the side-0 sector count most tracks hold, from track 1
// on (a tie: the smaller) where the numbering starts at track 0; here some
// tracks hold 9 sectors, the others 10.
TEST(Dos32, LumpLayoutNumberedByTheUsualTrack) {
  const std::string found = "directory at lump 17, 2 granules a lump, from track 0, 1 side(s) of 10 sectors";
  struct Case {
    int tracks;
    std::vector<int> odd;  // tracks of 9 sectors
    std::string note;      // empty: no DOS recognised
  };
  const Case cases[] = {
      {40, Range(2, 14), found},          // 13 of the 39 tracks from 1
      {40, Range(2, 20), found},          // 19 of 39
      {40, Range(20, 39), ""},            // 20 of 39
      {40, Range(22, 39), found},         // 18 of 39
      {39, Cat(Range(1, 1), Range(21, 38)), ""},  // 19 of 38: a tie
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.odd.back());
    Layout layout;
    layout.tracks = c.tracks;
    for (const int t : c.odd) layout.overrides.push_back({t, {.sectors = 9}});
    Disk disk = MakeDisk(layout);
    for (int l = 0; l < disk.LogicalCount(); ++l) FillPattern(disk, l);
    SetBootSignature(disk);
    const int dir = disk.TrackStart(17);
    MarkDirectory(disk, dir, 10);
    disk.Logical(dir).data[0xCB] = 0x82;
    PutEntries(disk, dir, {{.name = "BOOT", .ext = "SYS", .slots = {Slot(0, 0, 1)}},
                           {.name = "DIR", .ext = "SYS", .slots = {Slot(17, 0, 2)}},
                           {.name = "PROG", .ext = "CMD", .sectors = 3, .slots = {Slot(30, 0, 1)}}});
    DosRead r(ToJv3(disk));
    EXPECT_EQ(r.disk.note, c.note.empty() ? r.disk.note : c.note);
    EXPECT_EQ(r.disk.dos, c.note.empty() ? "" : "Newdos/80") << r.disk.note;
    EXPECT_EQ(r.disk.entries.size(), c.note.empty() ? 0u : 3u);
  }
}

// dos.jsonl names the DOS by "dos" and "version"; the layer as the CLI does.
std::string DosName(const Json& disk) {
  const std::string dos = disk.value("dos", Json()).is_null() ? "" : disk["dos"].get<std::string>();
  const std::string version = disk.value("version", Json()).is_null() ? "" : disk["version"].get<std::string>();
  if (dos == "TRSDOS-2.3-compatible") return "TRSDOS 2.x";
  if (dos == "TRSDOS" && version == "6.3") return "LS-DOS 6.3";
  return version.empty() || dos == "Newdos/80" ? dos : dos + " " + version;
}

// dos.jsonl writes a byte outside printable ASCII as the four characters \xNN.
std::string Unescape(std::string s) {
  for (size_t i = 0; (i = s.find("\\x", i)) != std::string::npos; ++i)
    s.replace(i, 4, 1, char(std::stoi(s.substr(i + 2, 2), nullptr, 16)));
  return s;
}

std::string Shown(const DosEntry& e) {
  std::string name(e.name.begin(), e.name.begin() + 8), ext(e.name.begin() + 8, e.name.end());
  name.erase(name.find_last_not_of(' ') + 1);
  ext.erase(ext.find_last_not_of(' ') + 1);
  return ext.empty() ? name : name + "/" + ext;
}

TEST(RealImages, EveryLineOfDosJsonl) {
  const std::filesystem::path dir = VORNIK_REAL_IMAGES;
  std::ifstream lines(dir / "dos.jsonl");
  if (!lines) GTEST_SKIP() << "no real images at " << dir;
  std::map<std::string, std::vector<Json>> by_image;
  for (std::string line; std::getline(lines, line);) {
    Json j = Json::parse(line);
    by_image[j["image"].get<std::string>()].push_back(std::move(j));
  }
  for (const auto& [image, records] : by_image) {
    SCOPED_TRACE(image);
    std::ifstream in(dir / image, std::ios::binary);
    DosRead r(Bytes(std::istreambuf_iterator<char>(in), {}));
    std::map<std::string, std::vector<const DosEntry*>> live;
    size_t live_count = 0, file_lines = 0;
    for (const DosEntry& e : r.disk.entries) {
      if (e.in_use && e.named && !e.extension) live[Shown(e)].push_back(&e), ++live_count;
    }
    for (const Json& j : records) {
      const std::string type = j["type"], name = j.value("name", "");
      if (type == "disk") {
        EXPECT_EQ(r.disk.dos, DosName(j)) << r.disk.note;
        if (DosName(j).empty()) continue;
        EXPECT_EQ(r.disk.disk_name, Unescape(j["disk_name"]));
        EXPECT_EQ(r.disk.disk_date, Unescape(j["disk_date"]));
        const Json& space = j["space"];
        const int64_t granule = space["sectors_per_granule"].get<int64_t>() * 256;
        EXPECT_EQ(r.disk.free_bytes, space["granules_free"].get<int64_t>() * granule);
        EXPECT_EQ(r.disk.total_bytes, space["granules_total"].get<int64_t>() * granule);
      } else if (type == "deleted") {
        bool listed = false;
        for (const DosEntry& e : r.disk.entries) listed |= !e.in_use && Shown(e) == name;
        EXPECT_TRUE(listed) << name;
      } else {
        ++file_lines;
        auto& pool = live[name];
        ASSERT_FALSE(pool.empty()) << name;
        const DosEntry& e = *pool.front();
        pool.erase(pool.begin());
        const Json& a = j["attributes"];
        EXPECT_EQ(e.size, j["size"].get<int64_t>()) << name;
        EXPECT_EQ(e.date, j["date"].is_null() ? "" : j["date"].get<std::string>()) << name;
        EXPECT_EQ(std::tuple(e.system, e.invisible, e.protection, e.lrl, int(e.eof), int(e.ern)),
                  std::tuple(a["system"].get<bool>(), a["invisible"].get<bool>(), a["protection"].get<int>(),
                             j["lrl"].get<int>(), j["eof"].get<int>(), j["ern"].get<int>()))
            << name;
        std::string error;
        EXPECT_EQ(Sha256Hex(AssembleFile(r.source, e, true, &error)), j["sha256"]) << name << " " << error;
      }
    }
    EXPECT_EQ(live_count, file_lines);
  }
}

}  // namespace
}  // namespace vornik::testing

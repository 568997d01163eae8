// The DOSes with 32-byte directory entries. Their boot sector starts 00 FE
// and its byte 2 places the directory: a cylinder (TRSDOS 2.x, LDOS,
// TRSDOS 6, DOSPLUS) or a lump (Newdos/80, G-DOS, H-DOS). A layout is
// believed when the hash index agrees with the entries.
#include <algorithm>
#include <bit>
#include <bitset>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dos/dos_layout.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vornik::dos {
namespace {

constexpr uint8_t kBootMark[2] = {0x00, 0xFE};
constexpr int kEntryBytes = 32;
constexpr int kEntriesPerSector = 8;
constexpr int kExtentSlots = 4;         // then the link slot
constexpr int kLinkSlot = 4;
constexpr int kDecSector = 0x1F;        // DEC: entry in bits 7-5, entry sector in bits 4-0
constexpr int kDecSlotShift = 5;
constexpr int kSingleSpt = 10;          // cylinder DOSes: 5-sector granules on 10-sector tracks,
constexpr int kDoubleSpt = 18;          // 6-sector granules on 18-sector tracks
constexpr int kLumpGranuleSectors = 5;  // Newdos/80 family: always 5
constexpr int kMinGpl = 2;              // granules per lump searched
constexpr int kMaxGpl = 8;
constexpr int kPdriveAt = 2;            // PDRIVE table: third sector of track t0
constexpr int kPdriveLumps = 1;
constexpr int kNewdosMarkAt = 239;
constexpr uint8_t kNewdosMark = 0xA5;
constexpr uint8_t kVersionDosplus = 0x34;
constexpr int kLdosMajor = 5;           // version bytes in BCD: 0x53 is LDOS 5.3,
constexpr int kTrsdos6Major = 6;        // 0x62 TRSDOS 6.2, 0x63 and up LS-DOS
constexpr int kLastTrsdos6Minor = 2;

// The cylinder DOSes' version byte; 0x82 (Newdos/80 family) never gets here.
std::string CylinderDosName(uint8_t v) {
  char text[24];
  const int major = v >> 4, minor = v & 0x0F;
  if (major == kLdosMajor && minor <= 9) {
    std::snprintf(text, sizeof text, "LDOS 5.%d", minor);
  } else if (major == kTrsdos6Major && minor <= kLastTrsdos6Minor) {
    std::snprintf(text, sizeof text, "TRSDOS 6.%d", minor);
  } else if (major == kTrsdos6Major && minor <= 9) {
    std::snprintf(text, sizeof text, "LS-DOS 6.%d", minor);
  } else if (v == kVersionDosplus) {
    return "DOSPLUS 3.4";
  } else {
    return "TRSDOS 2.x";
  }
  return text;
}

// Only LDOS, TRSDOS 6 and LS-DOS date their files.
bool Dated(uint8_t version) { return version >> 4 == kLdosMajor || version >> 4 == kTrsdos6Major; }

// LDOS / TRSDOS 6: month in byte 1 bits 3-0, day in byte 2 bits 7-3,
// year - 1980 in bits 2-0.
std::string DateLdos(const uint8_t* e) {
  const int month = e[kEntryDate1] & 0x0F, day = e[kEntryDate2] >> 3, year = 1980 + (e[kEntryDate2] & 7);
  if (month < 1 || month > 12 || day < 1) return {};
  return IsoDate(year, month, day);
}

const uint8_t* EntryAt(const Directory& dir, int sector, int slot) {
  return dir.sectors[sector].data() + slot * kEntryBytes;
}

bool IsLive(uint8_t attr) { return (attr & kAttrInUse) && !(attr & kAttrExtension); }
bool IsExtension(uint8_t attr) { return (attr & kAttrExtension) && (attr & kAttrInUse); }

// The extents of an entry and of the extension entries it links to.
void ReadExtents(const SectorSource& source, const Directory& dir, int sector, int slot, DosEntry& entry) {
  std::bitset<256> seen;
  int dec = slot << kDecSlotShift | sector;
  const uint8_t* e = EntryAt(dir, sector, slot);
  // Room for the entry's own extents at once; extension entries add more.
  int64_t own = 0;
  for (int k = 0; k < kExtentSlots && e[kEntryExtents + 2 * k] < kExtentLink; ++k)
    own += ExtentSectors(dir.allocation, e[kEntryExtents + 2 * k + 1]);
  entry.sectors.reserve(static_cast<size_t>(own));
  for (;;) {
    seen[dec] = true;
    int next = -1;
    for (int k = 0; k <= kLinkSlot; ++k) {
      const uint8_t* x = e + kEntryExtents + 2 * k;
      if (x[0] == kExtentLink) next = x[1];
      if (x[0] == kExtentEnd || x[0] == kExtentLink || k == kLinkSlot) break;
      if (!AddExtents(source, dir, x[0], x[1], entry.sectors, entry.error)) return;
    }
    if (next < 0) return;
    if ((next & kDecSector) >= static_cast<int>(dir.sectors.size())) {
      entry.error = "links to an extension entry outside the directory";
      return;
    }
    if (seen[next]) {
      entry.error = "its extension entries link in a loop";
      return;
    }
    dec = next;
    e = EntryAt(dir, dec & kDecSector, dec >> kDecSlotShift);
    entry.extension_sectors.push_back(dir.where[dec & kDecSector]);
  }
}

// Live entries, and how many of them the hash index knows.
struct Tally {
  int live = 0;
  int matches = 0;
  int plausible = 0;  // plausible names with extents on the disk
};

// Bit k set where entry k of an entry sector is live: in use, and no
// extension entry.
unsigned LiveSlots(const uint8_t* bytes) {
#if defined(__SSE2__)
  // The eight attribute bytes (each with the byte after it) as the words of
  // one register, tested at once where the processor has the instructions
  // (every x86-64 one); the words compared are packed to one byte each.
  uint16_t w[kEntriesPerSector];
  for (int slot = 0; slot < kEntriesPerSector; ++slot) std::memcpy(&w[slot], bytes + slot * kEntryBytes, 2);
  const __m128i attrs = _mm_set_epi16(static_cast<short>(w[7]), static_cast<short>(w[6]), static_cast<short>(w[5]),
                                      static_cast<short>(w[4]), static_cast<short>(w[3]), static_cast<short>(w[2]),
                                      static_cast<short>(w[1]), static_cast<short>(w[0]));
  const __m128i live = _mm_cmpeq_epi16(_mm_and_si128(attrs, _mm_set1_epi16(kAttrInUse | kAttrExtension)),
                                       _mm_set1_epi16(kAttrInUse));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(live, _mm_setzero_si128())));
#else
  unsigned live = 0;
  for (int slot = 0; slot < kEntriesPerSector; ++slot) live |= unsigned{IsLive(bytes[slot * kEntryBytes])} << slot;
  return live;
#endif
}

// Live entries of entry sector i, and how many of them the HIT knows.
void TallySector(const uint8_t* bytes, const uint8_t* hit, int i, Tally& t) {
  int live = 0, matches = 0;
  for (unsigned slots = LiveSlots(bytes); slots != 0; slots &= slots - 1) {
    const int slot = std::countr_zero(slots);
    ++live;
    matches += HitMatches(hit[slot << kDecSlotShift | i], bytes + slot * kEntryBytes + kEntryName);
  }
  t.live += live;
  t.matches += matches;
}

Tally Count(const SectorSource& source, const Directory& dir, bool plausibility) {
  Tally t;
  for (int s = 0; s < static_cast<int>(dir.sectors.size()); ++s) {
    const uint8_t* bytes = dir.sectors[s].data();
    TallySector(bytes, dir.hit.data(), s, t);
    if (!plausibility) continue;
    for (unsigned slots = LiveSlots(bytes); slots != 0; slots &= slots - 1) {
      const int slot = std::countr_zero(slots);
      if (PlausibleName(bytes + slot * kEntryBytes + kEntryName)) {
        DosEntry probe;
        ReadExtents(source, dir, s, slot, probe);
        t.plausible += probe.error.empty();
      }
    }
  }
  return t;
}

bool MostlyMatch(int part, int live) { return live > 0 && 4 * part >= 3 * live; }

// From the sector count of the directory track, not from the GAT (tools
// write unreliable granule counts there). Other counts: whole granules of
// 6, else of 5, else none.
int CylinderGranuleSectors(int spt) {
  if (spt == kSingleSpt || spt == kDoubleSpt) return spt == kSingleSpt ? 5 : 6;
  if (spt < kSingleSpt) return 0;
  return spt % 6 == 0 ? 6 : spt % 5 == 0 ? 5 : 0;
}

// The GAT is the first sector of cylinder D; on two-sided disks the
// cylinder's granules, and the directory, run on into side 1.
bool TryCylinder(const SectorSource& source, int d, Directory& dir, std::string& why) {
  const SideShape shape = ShapeOf(source, d, 0);
  const int spg = CylinderGranuleSectors(shape.count);
  if (spg == 0 || !ReadSector(source, {static_cast<int16_t>(d), 0, static_cast<uint8_t>(shape.first_id)}, dir.gat)) {
    why = "no directory cylinder " + std::to_string(d);
    return false;
  }
  if (dir.gat[kGatVersion] == kVersionNewdos) return false;
  const int sides = (dir.gat[kGatFlags] & kGatTwoSided) && ShapeOf(source, d, 1).count == shape.count ? 2 : 1;
  dir.numbering = {0, sides, shape.count, shape.first_id};
  dir.allocation = {sides * shape.count, spg, true};
  dir.gat_rel = int64_t{d} * sides * shape.count;
  if (!LoadDirectory(source, dir, std::min(sides * shape.count - 2, kMaxEntrySectors))) return false;
  Tally t = Count(source, dir, false);
  if (MostlyMatch(t.matches, t.live)) return true;
  // Disks made by tools may carry no hash index at all.
  if (t.matches == 0) t = Count(source, dir, true);
  if (t.matches == 0 && MostlyMatch(t.plausible, t.live)) return true;
  why = "cylinder " + std::to_string(d) + ": " + std::to_string(t.matches) + " of " + std::to_string(t.live) +
        " live entries match the hash index";
  return false;
}

// One lump-layout candidate, scored over 32 entry sectors.
struct Lump {
  Numbering numbering;
  int gpl = 0;
  Tally tally;
  bool printable = false;  // the GAT holds a printable name and date
};

// Row `row` of a numbering, relative sectors row x SPT on, lies on one track
// side. Tallies the entry sectors (relative sectors `from` on) it holds,
// walking the side's sectors once: of those recording a wanted ID the first
// is taken, the one SectorBytes would find.
void TallyRow(const SectorSource& source, const Numbering& n, int64_t row, int64_t from, const uint8_t* hit,
              Tally& t) {
  const int track = static_cast<int>(n.t0 + row / n.sides), side = static_cast<int>(row % n.sides);
  const int first_i = static_cast<int>(row * n.spt - from);  // the entry sector at the row's first ID
  uint32_t seen = 0;                                         // bit i: entry sector i met
  static_assert(kMaxEntrySectors <= 32);
  for (const StoredSector& s : source.OnTrack(track, side)) {
    const int pos = static_cast<uint8_t>(s.id - n.first_id);
    const int i = first_i + pos;
    if (pos >= n.spt || i < 0 || i >= kMaxEntrySectors || (seen >> i & 1)) continue;
    seen |= uint32_t{1} << i;
    Sector scratch;
    if (const uint8_t* bytes = StoredBytes(source, s, scratch)) TallySector(bytes, hit, i, t);
  }
}

bool Score(const SectorSource& source, int d, Lump& c) {
  const Numbering& n = c.numbering;
  const int64_t gat_rel = int64_t{d} * c.gpl * kLumpGranuleSectors;
  Sector gat_scratch, hit_scratch;
  const uint8_t* gat = SectorBytes(source, Locate(n, gat_rel), gat_scratch);
  const uint8_t* hit = gat ? SectorBytes(source, Locate(n, gat_rel + 1), hit_scratch) : nullptr;
  if (hit == nullptr) return false;
  c.printable = IsPrintable(gat + kGatName, 2 * kGatTextBytes);
  const int64_t from = gat_rel + 2;
  for (int64_t row = from / n.spt; row * n.spt < from + kMaxEntrySectors; ++row) {
    TallyRow(source, n, row, from, hit, c.tally);
  }
  return true;
}

bool Better(const Lump& a, const Lump& b) {
  if (a.tally.matches != b.tally.matches) return a.tally.matches > b.tally.matches;
  if (a.printable != b.printable) return a.printable;
  return std::abs(a.tally.live - a.tally.matches) < std::abs(b.tally.live - b.tally.matches);
}

// The usual side-0 sector count of the tracks from 1 on ([0]) and from 2
// on ([1]): track 0 of a mixed-density disk, and track 1 where the
// numbering starts there, may hold fewer.
std::array<int, 2> UsualSpt(const SectorSource& source) {
  int counts[257] = {};
  int lead = 0, counted = 0;  // the most frequent count so far (0: none yet); tracks with sectors
  for (int t = 2; t < source.Tracks(); ++t) {
    const int count = ShapeOf(source, t, 0).count;
    ++counts[count];
    if (count == 0) continue;
    ++counted;
    if (lead == 0 || counts[count] > counts[lead]) lead = count;
    // Once no other count could catch up, even with every track still to
    // come and track 1, the lead is the usual count both ways.
    const int others = counted - counts[lead], to_come = source.Tracks() - 1 - t;
    if (counts[lead] > others + to_come + 1) return {lead, lead};
  }
  auto usual = [&] { return static_cast<int>(std::max_element(counts + 1, counts + 257) - counts); };
  const int from2 = usual();
  ++counts[ShapeOf(source, 1, 0).count];
  return {usual(), from2};
}

// Entry sectors from DIR/SYS (G-DOS: INHALT/SYS): its granules x 5, less
// the GAT and the HIT. Without one, up to the last sector the index knows.
int DirectorySize(const Directory& dir) {
  int last_known = 0;
  for (int s = 0; s < static_cast<int>(dir.sectors.size()); ++s) {
    for (int slot = 0; slot < kEntriesPerSector; ++slot) {
      const uint8_t* e = EntryAt(dir, s, slot);
      if (!IsLive(e[kEntryAttr])) continue;
      if (NameIs(e + kEntryName, "DIR     SYS") || NameIs(e + kEntryName, "INHALT  SYS")) {
        int granules = 0;
        for (int k = 0; k < kExtentSlots && e[kEntryExtents + 2 * k] < kExtentLink; ++k)
          granules += (e[kEntryExtents + 2 * k + 1] & kGranuleCount) + 1;
        return std::clamp(granules * kLumpGranuleSectors - 2, 1, kMaxEntrySectors);
      }
      if (HitMatches(dir.hit[slot << kDecSlotShift | s], e + kEntryName)) last_known = s + 1;
    }
  }
  return std::max(last_known, 1);
}

// Newdos/80 family: relative sector D x GPL x 5 holds the GAT. The sides,
// the first track of the numbering and GPL are searched.
bool TryLumps(const SectorSource& source, int d, Directory& dir, int& gpl, std::string& why) {
  Lump best;
  const std::array<int, 2> usual = UsualSpt(source);
  for (int t0 = 0; t0 <= 1; ++t0) {
    const int spt = usual[t0];
    const int first = ShapeOf(source, t0 + 1, 0).first_id;
    for (int sides = 1; sides <= source.Sides() && spt > 0; ++sides) {
      for (int g = kMinGpl; g <= kMaxGpl; ++g) {
        Lump c;
        c.numbering = {t0, sides, spt, first};
        c.gpl = g;
        if (Score(source, d, c) && (best.gpl == 0 || Better(c, best))) best = c;
      }
    }
  }
  if (best.gpl == 0 || best.tally.matches == 0) {
    why += "; no lump layout matches the hash index";
    return false;
  }
  dir.numbering = best.numbering;
  dir.allocation = {best.gpl * kLumpGranuleSectors, kLumpGranuleSectors, true};
  dir.gat_rel = int64_t{d} * best.gpl * kLumpGranuleSectors;
  if (!LoadDirectory(source, dir, kMaxEntrySectors)) return false;
  const int size = DirectorySize(dir);
  dir.where.resize(size);
  dir.sectors.resize(size);
  const Tally t = Count(source, dir, false);
  gpl = best.gpl;
  if (MostlyMatch(t.matches, t.live)) return true;
  why += "; lump layout: " + std::to_string(t.matches) + " of " + std::to_string(t.live) +
         " live entries match the hash index";
  return false;
}

bool BootHas(const Sector& boot, const char* text) {
  return std::search(boot.begin(), boot.end(), text, text + std::strlen(text)) != boot.end();
}

std::string LumpDosName(const Sector& boot, const DosDisk& disk) {
  bool inhalt = false, hdos = false;
  for (const DosEntry& e : disk.entries) {
    inhalt |= e.in_use && NameIs(e.name.data(), "INHALT  SYS");
    hdos |= e.in_use && NameIs(e.name.data(), "HDOS    SYS");
  }
  if (hdos) return "H-DOS";
  return inhalt || BootHas(boot, "G-DOS") ? "G-DOS" : "Newdos/80";
}

void ReadEntry(const SectorSource& source, const Directory& dir, int sector, int slot, bool dated, DosEntry& entry) {
  const uint8_t* e = EntryAt(dir, sector, slot);
  DecodeCommon(e, entry);
  entry.in_use = IsLive(entry.attributes);
  entry.extension = IsExtension(entry.attributes);
  entry.hit_match = HitMatches(dir.hit[slot << kDecSlotShift | sector], entry.name.data());
  if (dated) entry.date = DateLdos(e);
  entry.dir_sector = dir.where[sector];
  entry.dir_index = sector;
  entry.slot = slot;
  ReadExtents(source, dir, sector, slot, entry);
  SizeEntry(entry, /*ern_full=*/false);
}

// Extension entries of other entries are no files; they are listed only
// where a listing would show them.
bool Listed(const uint8_t* e) { return (!IsExtension(e[kEntryAttr]) && IsNamed(e)) || IsShown(e); }

// Counted first, so that the entries are built in place and never moved.
void ReadEntries(const SectorSource& source, const Directory& dir, bool dated, DosDisk& disk) {
  const int sectors = static_cast<int>(dir.sectors.size());
  size_t listed = 0;
  for (int s = 0; s < sectors; ++s) {
    for (int slot = 0; slot < kEntriesPerSector; ++slot) listed += Listed(EntryAt(dir, s, slot));
  }
  disk.entries.reserve(disk.entries.size() + listed);
  for (int s = 0; s < sectors; ++s) {
    for (int slot = 0; slot < kEntriesPerSector; ++slot) {
      if (Listed(EntryAt(dir, s, slot))) ReadEntry(source, dir, s, slot, dated, disk.entries.emplace_back());
    }
  }
}

// Cylinders the DOS formatted; the GAT's lockout table, one byte per
// cylinder, may know fewer.
int CylinderUnits(const SectorSource& source, const Directory& dir) {
  int units = FormattedTracks(source, dir.numbering.sides, dir.numbering.spt);
  int lockout = 0;
  while (lockout < kGatUnits && dir.gat[kGatLockout + lockout] != 0xFF) ++lockout;
  if (lockout > 0) units = std::min(units, lockout);
  return std::min(units, kGatUnits);
}

// Lumps that fit the formatted tracks, no more than the PDRIVE table says.
int LumpUnits(const SectorSource& source, const Directory& dir, int gpl) {
  const Numbering& n = dir.numbering;
  const int tracks = FormattedTracks(source, n.sides, n.spt) - n.t0;
  int units = std::max(0, tracks * n.sides * n.spt / (gpl * kLumpGranuleSectors));
  Sector pdrive;
  const DiskSector at{static_cast<int16_t>(n.t0), 0, static_cast<uint8_t>(ShapeOf(source, n.t0, 0).first_id + kPdriveAt)};
  if (ReadSector(source, at, pdrive) && pdrive[kNewdosMarkAt] == kNewdosMark) units = std::min<int>(units, pdrive[kPdriveLumps]);
  return std::min(units, kGatLumps);
}

void Describe(const Directory& dir, DosDisk& disk) {
  disk.entry_bytes = kEntryBytes;
  disk.gat = Locate(dir.numbering, dir.gat_rel);
  disk.hit = Locate(dir.numbering, dir.gat_rel + 1);
  disk.entry_sectors = dir.where;
}

}  // namespace

bool Read32ByteFamily(const SectorSource& source, const Sector& boot, DosDisk& disk) {
  if (boot[0] != kBootMark[0] || boot[1] != kBootMark[1]) {
    disk.note = "the boot sector starts with no DOS's mark";
    return false;
  }
  const int d = boot[kBootDirByte] & kBootDirMask;
  Directory dir;
  std::string why;
  int gpl = 0;
  bool dated = false;
  if (TryCylinder(source, d, dir, why)) {
    disk.dos = CylinderDosName(dir.gat[kGatVersion]);
    dated = disk.dos != "TRSDOS 2.x" && Dated(dir.gat[kGatVersion]);
    disk.note = "directory on cylinder " + std::to_string(d);
    SetSpace(dir.gat, CylinderUnits(source, dir), dir.allocation.unit_sectors / dir.allocation.granule_sectors,
             dir.allocation.granule_sectors, disk);
  } else if (TryLumps(source, d, dir, gpl, why)) {
    const Numbering& n = dir.numbering;
    disk.note = "directory at lump " + std::to_string(d) + ", " + std::to_string(gpl) + " granules a lump, from track " +
                std::to_string(n.t0) + ", " + std::to_string(n.sides) + " side(s) of " + std::to_string(n.spt) +
                " sectors";
    SetSpace(dir.gat, LumpUnits(source, dir, gpl), gpl, kLumpGranuleSectors, disk);
  } else {
    disk.note = why.starts_with("; ") ? why.substr(2) : why;
    return false;
  }
  Describe(dir, disk);
  ReadGatFacts(dir.gat, disk);
  ReadEntries(source, dir, dated, disk);
  if (disk.dos.empty()) disk.dos = LumpDosName(boot, disk);  // the lump layout: known by its files
  return true;
}

}  // namespace vornik::dos

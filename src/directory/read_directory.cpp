#include "directory/read_directory.h"

#include <algorithm>

#include "directory/dos_name.h"
#include "image/find_sector.h"
#include "image/image_access.h"
#include "image/layout.h"
#include "image/logical_sector.h"
#include "image/read_disk_image.h"
#include "state/disk_error.h"

namespace vornik {

namespace {

constexpr int kEntryBytes = 32;
constexpr int kEntriesPerSector = 8;
constexpr int kEntryName = 5;  // 8 name bytes, then 3 extension bytes, blank padded
constexpr uint8_t kAttrFree = 0x00;
constexpr uint8_t kAttrFreeAlt = 0x90;
constexpr int kMaxEntrySectors = 32;  // the 5-bit sector field of a directory entry code

// The format box, the summary line and the Newdos/80 box.
void Summarize(DiskState& st, Listing& listing) {
  listing.filetype = st.filetype;
  if (st.jv1 != 1) st.spt = st.trkspt[0];
  st.sptab = "  Sec/Cyl. =";
  AppendNumText(st.sptab, st.sides * st.spt);
  st.sptab += " (";
  AppendNumText(st.sptab, st.spt);
  st.sptab += " *";
  AppendNumText(st.sptab, st.sides);
  st.sptab += ')';
  st.Disktype.clear();
  AppendNumText(st.Disktype, st.tracks);
  st.Disktype.append(" Track").append(st.dd).append(st.sda).append(st.sptab).append(st.spgaa);
  listing.summary = st.Disktype;
  listing.newdos = st.newdosflag == 1;
  listing.unread_block = st.jv3.third_unread;
}

// Locates directory sector `s`; false when it carries no directory mark.
bool LocateDirectorySector(DiskState& st, Notices& notices, int32_t s) {
  if (st.jv1 == 1) {
    st.fpa = double(s) * kSectorBytes;
    st.secstep = 1;
    return true;
  }
  LogicalToPhysical(st, st.logsec);
  LocateSector(st, notices);
  return st.datamarkjv == 32 || IsDirMark(st.datamarkDmk);
}

// Lists the used entries of the sector last located. False when an entry
// runs past the end of the image: it and everything after it is not listed.
bool ListEntries(DiskState& st, Listing& listing) {
  // The entries that lie in the image are read in one go.
  int whole = 0;
  while (whole < kEntriesPerSector && SectorBytesInImage(st, kEntryBytes * whole, kEntryBytes)) ++whole;
  uint8_t sector[kEntryBytes * kEntriesPerSector];
  if (whole > 0 && !ReadSectorBytes(st, 0, kEntryBytes * whole, sector)) return false;
  for (int e = 0; e < whole; ++e) {
    const uint8_t* bytes = sector + kEntryBytes * e;
    if (bytes[0] == kAttrFree || bytes[0] == kAttrFreeAlt) continue;
    ListedEntry& entry = listing.entries.emplace_back();
    DosName::FromEntry(bytes + kEntryName).ItemText(entry.text);
    entry.sector = st.logsec;
    entry.slot = e;
    DecodeEntryBytes(bytes, entry.bytes);
  }
  return whole == kEntriesPerSector;
}

}  // namespace

Listing ReadDirectory(DiskState& st, Notices& notices) {
  Listing listing;
  Summarize(st, listing);
  st.logsec = static_cast<int16_t>(st.dirstartsec + 2);
  if (st.jv1 == 1) st.direndsec = static_cast<int16_t>(st.dirstartsec + 9);
  // A sector that is not on the disk, or not a directory sector, ends the
  // walk; what was listed stays.
  const int32_t last = std::min<int32_t>(st.direndsec, st.dirstartsec + 1 + kMaxEntrySectors);
  listing.cut = st.direndsec > last;
  // Room for every slot of a directory of a few sectors; a larger one grows.
  listing.entries.reserve(static_cast<size_t>(kEntriesPerSector * std::clamp(last - st.dirstartsec - 1, 0, 8)));
  try {
    for (int32_t s = st.dirstartsec + 2; s <= last; ++s) {
      if (!LocateDirectorySector(st, notices, s)) break;
      if (!ListEntries(st, listing)) {
        listing.image_ends = true;
        break;
      }
      st.logsec = static_cast<int16_t>(st.logsec + 1);
    }
  } catch (const DiskError&) {
  }
  return listing;
}

namespace {

// The logical number of a sector the DOS names, in the numbering the walk
// and the copy use; -1 when the tables hold no such sector.
int32_t LogicalOf(const DiskState& st, const DiskSector& at) {
  if (at.track < 0 || at.track >= st.tracks || at.track >= kTableTracks || at.side > 1) return -1;
  const int index = at.id - st.firstsecnum;
  const int per_side = st.trkspt[at.track];
  if (index < 0 || index >= per_side || (at.side == 1 && st.sides < 2)) return -1;
  return st.trkstartsec[at.track] + at.side * per_side + index;
}

// The DOS's own directory as the list shows it: the entries a listing
// shows, each under the logical number of its directory sector. False
// when a sector of it has no logical number.
bool ListFromDos(DiskState& st, Listing& listing) {
  const DosDisk& dos = listing.dos;
  const int32_t gat = LogicalOf(st, dos.gat);
  if (gat < 0 || dos.entry_sectors.empty()) return false;
  const int32_t last = LogicalOf(st, dos.entry_sectors.back());
  if (last < 0) return false;
  std::vector<ListedEntry> entries;
  for (size_t i = 0; i < dos.entries.size(); ++i) {
    const DosEntry& e = dos.entries[i];
    if (e.attributes == kAttrFree || e.attributes == kAttrFreeAlt) continue;
    ListedEntry& entry = entries.emplace_back();
    entry.text = DosName::FromEntry(e.name.data()).ItemText();
    entry.sector = LogicalOf(st, e.dir_sector);
    entry.slot = e.slot;
    entry.dos = static_cast<int>(i);
    if (entry.sector < 0) return false;
  }
  listing.entries = std::move(entries);
  listing.from_dos = true;
  st.dirstartsec = gat;
  st.direndsec = static_cast<int16_t>(last);
  return true;
}

// Gives each listed entry the DOS's facts of the same directory slot (the
// last DOS entry there, should two name one).
void TieDosEntries(const DiskState& st, Listing& listing) {
  const ListedIndex listed = IndexListed(listing.entries);
  for (size_t i = 0; i < listing.dos.entries.size(); ++i) {
    const DosEntry& e = listing.dos.entries[i];
    for (const auto& [key, k] : ListedAt(listed, LogicalOf(st, e.dir_sector), e.slot))
      listing.entries[k].dos = static_cast<int>(i);
  }
}

}  // namespace

Listing ListDirectory(DiskState& st, Notices& notices) {
  DosDisk dos = ReadDos(st.source);
  const bool walk_found = st.jv1 == 1 || st.direndsec >= st.dirstartsec;
  // The 32-byte walk never reads 48-byte entries; a directory the DOS
  // places elsewhere than the walk found it is the DOS's.
  const bool dos_first = !dos.dos.empty() && (dos.entry_bytes != 32 || !walk_found ||
                                               LogicalOf(st, dos.gat) != st.dirstartsec);
  if (dos_first) {
    Listing listing;
    listing.dos = std::move(dos);
    if (ListFromDos(st, listing)) {
      Summarize(st, listing);
      return listing;
    }
    dos = std::move(listing.dos);
  }
  Listing listing = ReadDirectory(st, notices);
  listing.dos = std::move(dos);
  TieDosEntries(st, listing);
  return listing;
}

namespace {
uint64_t ListedKey(int32_t sector, int32_t slot) {
  return uint64_t{static_cast<uint32_t>(sector)} << 32 | static_cast<uint32_t>(slot);
}
}  // namespace

ListedIndex IndexListed(const std::vector<ListedEntry>& entries) {
  ListedIndex index;
  index.reserve(entries.size());
  for (uint32_t i = 0; i < entries.size(); ++i) index.emplace_back(ListedKey(entries[i].sector, entries[i].slot), i);
  // The walk lists in directory order, which is already the index's.
  if (!std::is_sorted(index.begin(), index.end())) std::sort(index.begin(), index.end());
  return index;
}

std::span<const ListedIndex::value_type> ListedAt(const ListedIndex& index, int32_t sector, int32_t slot) {
  const uint64_t key = ListedKey(sector, slot);
  // A place holds one entry but on an odd disk: one search, then a step.
  const auto from = std::lower_bound(index.begin(), index.end(), key,
                                     [](const ListedIndex::value_type& a, uint64_t k) { return a.first < k; });
  auto to = from;
  while (to != index.end() && to->first == key) ++to;
  return {from, to};
}

std::vector<uint32_t> FirstAlike(const ListedIndex& index) {
  std::vector<uint32_t> first(index.size());
  size_t lead = 0;  // the first of the run of equal keys; the index sorts each run by place
  for (size_t k = 0; k < index.size(); ++k) {
    if (index[k].first != index[lead].first) lead = k;
    if (index[k].second < first.size()) first[index[k].second] = index[lead].second;
  }
  return first;
}

const DosEntry& FactsOf(const Listing& listing, const ListedEntry& entry) {
  return entry.dos >= 0 ? listing.dos.entries[static_cast<size_t>(entry.dos)] : entry.bytes;
}

bool DosKnows(const Listing& listing, const ListedEntry& entry) { return !listing.dos.dos.empty() && entry.dos >= 0; }

void FillLists(const Listing& listing, SortedList& list1, SortedList& list2) {
  std::vector<std::pair<std::string, int32_t>> by_sector;
  std::vector<int32_t> slots;
  by_sector.reserve(listing.entries.size());
  slots.reserve(listing.entries.size());
  for (const ListedEntry& e : listing.entries) {
    by_sector.emplace_back(e.text, e.sector);
    slots.push_back(e.slot);
  }
  list1.Fill(std::move(by_sector));
  list2.FillLike(list1, slots);  // the same texts in the same order: sorted once
}

}  // namespace vornik

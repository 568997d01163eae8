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
constexpr int kEntryAttr = 0;
constexpr int kEntryName = 5;  // 8 name bytes, then 3 extension bytes, blank padded
constexpr uint8_t kAttrFree = 0x00;
constexpr uint8_t kAttrFreeAlt = 0x90;
constexpr int kMaxEntrySectors = 32;  // the 5-bit sector field of a directory entry code

// The format box, the summary line and the Newdos/80 box.
void Summarize(DiskState& st, Listing& listing) {
  listing.filetype = st.filetype;
  if (st.jv1 != 1) st.spt = st.trkspt[0];
  st.sptab = "  Sec/Cyl. =" + NumText(st.sides * st.spt) + " (" + NumText(st.spt) + " *" + NumText(st.sides) + ")";
  st.Disktype = NumText(st.tracks) + " Track" + st.dd + st.sda + st.sptab + st.spgaa;
  listing.summary = st.Disktype;
  listing.newdos = st.newdosflag == 1;
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
  for (int e = 0; e < kEntriesPerSector; ++e) {
    const int base = kEntryBytes * e;
    if (!SectorBytesInImage(st, base, kEntryBytes)) return false;
    const uint8_t attr = SectorByte(st, base + kEntryAttr);
    if (attr == kAttrFree || attr == kAttrFreeAlt) continue;
    uint8_t name[11];
    for (int n = 0; n < 11; ++n) name[n] = SectorByte(st, base + kEntryName + n);
    listing.entries.push_back({DosName::FromEntry(name).ItemText(), st.logsec, e});
  }
  return true;
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
  try {
    for (int32_t s = st.dirstartsec + 2; s <= last; ++s) {
      if (!LocateDirectorySector(st, notices, s) || !ListEntries(st, listing)) break;
      st.logsec = static_cast<int16_t>(st.logsec + 1);
    }
  } catch (const DiskError&) {
  }
  return listing;
}

void FillLists(const Listing& listing, SortedList& list1, SortedList& list2) {
  list1.Clear();
  list2.Clear();
  for (const ListedEntry& e : listing.entries) {
    list1.SetItemData(list1.AddItem(e.text), e.sector);
    list2.SetItemData(list2.AddItem(e.text), e.slot);
  }
}

}  // namespace vornik

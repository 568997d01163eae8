#include "directory/read_directory.h"

#include "image/find_sector.h"
#include "image/formats.h"
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
constexpr int kEntryName = 5;     // 8 bytes, blank padded
constexpr int kEntryNameEnd = 15; // last extension byte
constexpr uint8_t kAttrFree = 0x00;
constexpr uint8_t kAttrFreeAlt = 0x90;

// The format box, the summary line and the Newdos/80 box.
void ShowSummary(DiskState& st, WindowPort& win) {
  if (st.filetype == "DMK") win.SetBoxBackColor(TextBox::Txtfiletype, kColourRed);
  if (st.filetype == "JV3") win.SetBoxBackColor(TextBox::Txtfiletype, kColourGreen);
  win.SetBoxText(TextBox::Txtfiletype, st.filetype);
  win.SetBoxText(TextBox::Text3, "");
  if (st.jv1 != 1) st.spt = st.trkspt[0];
  st.sptab = "  Sec/Cyl. =" + NumText(st.sides * st.spt) + " (" + NumText(st.spt) + " *" + NumText(st.sides) + ")";
  st.Disktype = NumText(st.tracks) + " Track" + st.dd + st.sda + st.sptab + st.spgaa;
  win.SetBoxText(TextBox::Text3, st.Disktype);
  win.SetBoxText(TextBox::Text2, "");
  if (st.newdosflag == 1) {
    win.SetBoxForeColor(TextBox::Text2, kColourNewdos);
    win.SetBoxText(TextBox::Text2, "  Newdos/80");
    win.SetBoxForeColor(TextBox::Text3, kColourBlue);
    win.SetBoxText(TextBox::Text3, st.Disktype);
  }
}

// The reference pointer table of track 0, side 0, for the locator.
void SetTrackLayout(DiskState& st) {
  if (st.dmkflag == 1) {
    st.damindex = st.trkindex >= kDmkDoubleClassMin ? kDmkDamDouble : kDmkDamSingle;
  } else {
    st.damindex = st.trkindex == kDmkTrackLenDouble ? kDmkDamDouble : kDmkDamSingle;
  }
  if (st.dmkflag == 1 && kDmkHeaderSize < st.fileend) {
    uint16_t raw[kDmkPointers] = {};
    const int count = ReadDmkPointers(st, kDmkHeaderSize, raw);
    StoreReferenceTable(st, raw, count);
  }
}

// Locates directory sector `s`; false when it carries no directory mark.
bool LocateDirectorySector(DiskState& st, WindowPort& win, int32_t s) {
  if (st.jv1 == 1) {
    st.fpa = double(s) * kSectorBytes;
    st.secstep = 1;
    return true;
  }
  LogicalToPhysical(st, st.logsec);
  FindSector(st, win);
  return st.datamarkjv == 32 || IsDirMark(st.datamarkDmk);
}

void ListEntries(DiskState& st, WindowPort& win) {
  for (int e = 0; e < kEntriesPerSector; ++e) {
    const int base = kEntryBytes * e;
    const uint8_t attr = SectorByte(st, base + kEntryAttr);
    if (attr == kAttrFree || attr == kAttrFreeAlt) continue;
    std::string text;
    for (int n = kEntryName; n <= kEntryNameEnd; ++n) {
      if (n == 13) text += ' ';
      text += static_cast<char>(SectorByte(st, base + n));
    }
    const int i1 = win.List1().AddItem(text);
    win.List1().SetItemData(i1, st.logsec);
    const int i2 = win.List2().AddItem(text);
    win.List2().SetItemData(i2, e);
  }
}

}  // namespace

void ReadDirectory(DiskState& st, WindowPort& win) {
  ShowSummary(st, win);
  if (st.jv1 != 1) SetTrackLayout(st);

  st.logsec = static_cast<int16_t>(st.dirstartsec + 2);
  if (st.jv1 == 1) st.direndsec = static_cast<int16_t>(st.dirstartsec + 9);
  win.List1().Clear();
  win.List2().Clear();
  // A sector that is not on the disk, or not a directory sector, ends the
  // walk; what was listed stays.
  try {
    for (int32_t s = st.dirstartsec + 2; s <= st.direndsec; ++s) {
      if (!LocateDirectorySector(st, win, s)) return;
      ListEntries(st, win);
      st.logsec = static_cast<int16_t>(st.logsec + 1);
    }
  } catch (const DiskError&) {
    return;
  }
}

std::string ShownName(const std::string& item_text) {
  std::string shown;
  bool slash = false;
  for (char c : item_text) {
    if (c != ' ') {
      shown += c;
    } else if (!slash) {
      shown += '/';
      slash = true;
    }
  }
  return shown;
}

}  // namespace vornik

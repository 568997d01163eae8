#include "image/read_disk_image.h"

#include <algorithm>

#include "directory/read_directory.h"
#include "image/find_sector.h"
#include "image/formats.h"
#include "image/image_access.h"
#include "image/layout.h"
#include "image/location_scan.h"
#include "state/disk_error.h"

namespace vornik {

const char* const kMsgRealDisk =
    "** ERROR **  This file is a DMK type REAL disk format,\r                     used to access REAL Disks";
const char* const kMsgNoHeader =
    "** ERROR **\r This file does not have an EMULATOR Disk format HEADER\r    It may be a Disk file for use with a "
    "dedicated program";
const char* const kMsgTooLarge = "** ERROR **  File is too large to be a disk image";
const char* const kMsgOpenFailed = "Error encountered while trying to open file, please retry.";
const char* const kTitleError = "Error";
const char* const kTitleOpenFailed = "Text Editor";

std::string NumText(long value) {
  std::string text = value >= 0 ? " " : "";
  text += std::to_string(value);
  return text;
}

bool OpenFile(DiskState& st, WindowPort& win, const std::string& FileName) {
  st.channel1.Close();
  if (st.channel1.OpenForRead(FileName)) return true;
  win.MsgBox(kMsgOpenFailed, MsgIcon::Exclamation, MsgButtons::Ok, kTitleOpenFailed);
  st.channel1.Close();
  return false;
}

namespace {

// Step 1: the whole file into diskbuf, one spare zero byte behind it.
bool LoadImage(DiskState& st, WindowPort& win) {
  if (!st.channel1.IsOpen()) throw DiskError("no file is open");
  const int64_t length = st.channel1.Length();
  if (length < 0) throw DiskError("the length of the file cannot be read");
  if (length > kMaxImageBytes) {
    st.channel1.Close();
    win.MsgBox(kMsgTooLarge, MsgIcon::None, MsgButtons::Ok, kTitleError);
    return false;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(length) + 1, 0);
  const bool read = st.channel1.ReadAll(bytes.data(), length);
  st.channel1.Close();
  if (!read) throw DiskError("the file cannot be read");
  st.diskbuf = std::move(bytes);
  st.copybuf.assign(st.diskbuf.size(), 0);
  st.fileend = static_cast<int32_t>(length);
  st.fpa = 0;
  st.datamarkDmk = 0;
  st.datamarkjv = 0;
  st.dmkflag = 0;
  st.firstsecnum = 0;
  st.secstep = 1;
  return true;
}

// Track 0 numbered from 1 when it has no sector 0.
void ProbeNumbering(DiskState& st, WindowPort& win) {
  st.TrkToFind = 0;
  st.SideToFind = 0;
  st.SecToFind = 0;
  FindSector(st, win);
  st.firstsecnum = st.errflg ? 1 : 0;
  if (st.firstsecnum == 1 && st.dirsectors > 0) {
    // The scan took the recorded sector number for a position from 0.
    st.dirstartsec -= 1;
    st.direndsec = static_cast<int16_t>(st.direndsec - 1);
  }
}

// A DOS that marks its whole directory cylinder (or a disk of another
// DOS) has more marked sectors than any directory can hold: list nothing.
void RejectOversizedDirectory(DiskState& st) {
  int widest = 0;
  for (int t = 0; t < std::min<int>(st.tracks, kTableTracks); ++t) widest = std::max<int>(widest, st.trkspt[t]);
  if (st.dirsectors > std::max(34, st.sides * widest)) st.direndsec = static_cast<int16_t>(st.dirstartsec - 1);
}

void MarkNewdos(DiskState& st) {
  st.newdosflag = 1;
  st.spg = 5;
  st.spl = static_cast<int16_t>(5 * SectorByte(st, kNewdosLumpOffset));
}

// Looks for the Newdos/80 mark in the third sector of `track`. Returns
// false when that sector is not on the disk.
bool ProbeNewdos(DiskState& st, WindowPort& win, int track, bool* marked) {
  st.TrkToFind = static_cast<int16_t>(track);
  st.SideToFind = 0;
  st.SecToFind = static_cast<int16_t>(2 + st.firstsecnum);
  FindSector(st, win);
  if (st.errflg == 1) return false;
  st.scanbyte = SectorByte(st, kNewdosMarkOffset);
  st.newdosflag = 0;
  *marked = st.scanbyte == kNewdosMark;
  return true;
}

void HandOver(DiskState& st, WindowPort& win) {
  st.spgaa = "   Spg =" + NumText(st.spg);
  if (st.openflag != 0) {
    st.secnum = st.dirstartsec;
    ReadDirectory(st, win);
  }
}

ReadResult ReadJv1(DiskState& st, WindowPort& win) {
  SetJv1Geometry(st);
  st.fpa = kJv1SystemSector;
  st.secstep = 1;
  st.scanbyte = SectorByte(st, kNewdosMarkOffset);
  st.newdosflag = 0;
  st.spg = 5;
  st.spgaa = "   Spg =" + NumText(st.spg);
  if (st.scanbyte == kNewdosMark) {
    MarkNewdos(st);
    HandOver(st, win);
  } else {
    ReadDirectory(st, win);
  }
  return ReadResult::kListed;
}

}  // namespace

ReadResult ReadDiskImage(DiskState& st, WindowPort& win) {
  if (!LoadImage(st, win)) return ReadResult::kTooLarge;

  // Step 2: JV1 boot sector signature. All three bytes are read.
  const bool b0 = ImageByte(st, 0) == kJv1Signature[0];
  const bool b1 = ImageByte(st, 1) == kJv1Signature[1];
  const bool b2 = ImageByte(st, 2) == kJv1Signature[2];
  st.jv1 = (b0 && b1 && b2) ? 1 : 0;
  if (st.jv1 == 1) return ReadJv1(st, win);

  // Step 4: DMK by its track record length, else JV3.
  st.trkindex = ImageByte(st, kDmkTrackLenLow) + 256 * ImageByte(st, kDmkTrackLenLow + 1);
  st.spg = 5;
  if (st.trkindex == kDmkTrackLenDouble || st.trkindex == kDmkTrackLenSingle || IsPlausibleDmk(st)) {
    SetDmkDensityClass(st);
  }

  if (st.dmkflag == 1) {
    if (IsDmkRealDisk(st)) {
      win.MsgBox(kMsgRealDisk, MsgIcon::None, MsgButtons::Ok, kTitleError);
      return ReadResult::kRefused;
    }
    SetDmkGeometry(st);
    ScanDmkDirectory(st);
    st.filetype = "DMK";
  } else {
    if (!Jv3HasHeader(st)) {
      win.MsgBox(kMsgNoHeader, MsgIcon::None, MsgButtons::Ok, kTitleError);
      return ReadResult::kRefused;
    }
    SetJv3Geometry(st);
    ScanJv3Directory(st);
    st.filetype = "JV3";
  }

  // Step 7: summary texts and the sector numbering of track 0.
  st.secnum = 0;
  st.dd = st.dens == 2 ? "   D/Density" : st.dens == 3 ? "   Dual/Density" : "   S/Density";
  st.sda = st.sides == 2 ? "  D/Sided" : "  S/Sided";
  st.spt = st.trkspt[0];
  ProbeNumbering(st, win);
  RejectOversizedDirectory(st);

  // Step 8: the Newdos/80 mark in the third sector of track 0, then track 1.
  bool marked = false;
  if (!ProbeNewdos(st, win, 0, &marked)) return ReadResult::kProbeFailed;
  if (!marked && !ProbeNewdos(st, win, 1, &marked)) return ReadResult::kProbeFailed;
  if (marked) MarkNewdos(st);
  HandOver(st, win);
  return ReadResult::kListed;
}

}  // namespace vornik

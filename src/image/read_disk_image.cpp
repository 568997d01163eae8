#include "image/read_disk_image.h"

#include <algorithm>
#include <charconv>

#include "image/find_sector.h"
#include "image/formats.h"
#include "image/image_access.h"
#include "image/layout.h"
#include "image/location_scan.h"
#include "state/disk_error.h"

namespace vornik {

void AppendNumText(std::string& text, long value) {
  if (value >= 0) text += ' ';
  char digits[24];
  text.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

std::string NumText(long value) {
  std::string text;
  AppendNumText(text, value);
  return text;
}

bool OpenFile(DiskState& st, const std::string& FileName) {
  st.channel1.Close();
  if (st.channel1.OpenForRead(FileName)) return true;
  st.channel1.Close();
  return false;
}

namespace {

// The whole file into diskbuf, one spare zero byte behind it. Nothing of
// the image before outlives the load, failed or not: no format, and no
// length the buffer does not hold.
bool LoadImage(DiskState& st, Notices& notices) {
  st.fileend = 0;
  st.fpa = 0;
  st.datamarkDmk = 0;
  st.datamarkjv = 0;
  st.dmkflag = 0;
  st.firstsecnum = 0;
  st.secstep = 1;
  st.filetype.clear();  // set again as soon as the format is told
  st.jv3 = {};
  st.locator.Clear();
  if (!st.channel1.IsOpen()) throw DiskError("no file is open");
  const int64_t length = st.channel1.Length();
  if (length < 0) throw DiskError("the length of the file cannot be read");
  if (length > kMaxImageBytes) {
    st.channel1.Close();
    notices.push_back({kMsgTooLarge});
    return false;
  }
  // Read in place, into memory an earlier image may have left. Neither
  // array's old bytes are wanted: emptied first, a buffer that must grow
  // does not carry them over into its new memory byte by byte.
  st.diskbuf.clear();
  st.copybuf.clear();
  st.diskbuf.resize(static_cast<size_t>(length) + 1);
  const bool read = st.channel1.ReadAll(st.diskbuf.data(), length);
  st.channel1.Close();
  st.diskbuf[static_cast<size_t>(length)] = 0;
  st.copybuf.resize(st.diskbuf.size());
  if (!read) throw DiskError("the file cannot be read");
  st.fileend = static_cast<int32_t>(length);
  return true;
}

// Track 0 numbered from 1 when it has no sector 0.
void ProbeNumbering(DiskState& st, Notices& notices) {
  st.TrkToFind = 0;
  st.SideToFind = 0;
  st.SecToFind = 0;
  st.firstsecnum = LocateSector(st, notices) ? 0 : 1;
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
bool ProbeNewdos(DiskState& st, Notices& notices, int track, bool* marked) {
  st.TrkToFind = static_cast<int16_t>(track);
  st.SideToFind = 0;
  st.SecToFind = static_cast<int16_t>(2 + st.firstsecnum);
  if (!LocateSector(st, notices)) return false;
  st.scanbyte = SectorByte(st, kNewdosMarkOffset);
  st.newdosflag = 0;
  *marked = st.scanbyte == kNewdosMark;
  return true;
}

ReadResult ReadJv1(DiskState& st) {
  SetJv1Geometry(st);
  st.fpa = kJv1SystemSector;
  st.secstep = 1;
  st.scanbyte = SectorByte(st, kNewdosMarkOffset);
  st.newdosflag = 0;
  st.spg = 5;
  if (st.scanbyte == kNewdosMark) MarkNewdos(st);
  st.spgaa = "   Spg =" + NumText(st.spg);
  return ReadResult::kIdentified;
}

}  // namespace

ReadResult ReadDiskImage(DiskState& st, Notices& notices) {
  if (!LoadImage(st, notices)) return ReadResult::kTooLarge;

  // JV1 by its boot sector signature. All three bytes are read.
  const bool b0 = ImageByte(st, 0) == kJv1Signature[0];
  const bool b1 = ImageByte(st, 1) == kJv1Signature[1];
  const bool b2 = ImageByte(st, 2) == kJv1Signature[2];
  st.jv1 = (b0 && b1 && b2) ? 1 : 0;
  if (st.jv1 == 1) return ReadJv1(st);

  // DMK by its track record length, else JV3.
  st.trkindex = ImageByte(st, kDmkTrackLenLow) + 256 * ImageByte(st, kDmkTrackLenLow + 1);
  st.spg = 5;
  if (st.trkindex == kDmkTrackLenDouble || st.trkindex == kDmkTrackLenSingle || IsPlausibleDmk(st)) {
    SetDmkDensityClass(st);
  }

  if (st.dmkflag == 1) {
    if (IsDmkRealDisk(st)) {
      notices.push_back({kMsgRealDisk});
      return ReadResult::kRefused;
    }
    st.filetype = "DMK";
    SetDmkGeometry(st);
    ScanDmkDirectory(st);
  } else {
    if (!Jv3HasHeader(st)) {
      notices.push_back({kMsgNoHeader});
      return ReadResult::kRefused;
    }
    st.filetype = "JV3";
    SetJv3Geometry(st);
    ScanJv3Directory(st);
  }

  // The summary texts and the sector numbering of track 0.
  st.secnum = 0;
  st.dd = st.dens == 2 ? "   D/Density" : st.dens == 3 ? "   Dual/Density" : "   S/Density";
  st.sda = st.sides == 2 ? "  D/Sided" : "  S/Sided";
  st.spt = st.trkspt[0];
  ProbeNumbering(st, notices);
  RejectOversizedDirectory(st);

  // The Newdos/80 mark in the third sector of track 0, then track 1.
  bool marked = false;
  if (!ProbeNewdos(st, notices, 0, &marked)) return ReadResult::kProbeFailed;
  if (!marked && !ProbeNewdos(st, notices, 1, &marked)) return ReadResult::kProbeFailed;
  if (marked) MarkNewdos(st);
  st.spgaa = "   Spg =" + NumText(st.spg);
  st.secnum = st.dirstartsec;
  return ReadResult::kIdentified;
}

}  // namespace vornik

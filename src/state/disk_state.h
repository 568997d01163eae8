// The record through which the procedures of Vornik talk: the image, its
// identification and geometry, the directory location, the summary texts,
// the sector locator's arguments and results, and the working values of
// the directory walk and the extraction. The field widths are fixed: 16-bit
// counts and sector numbers, 32-bit lengths, and byte offsets and counts
// held in doubles with whole values.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "image/locator_index.h"
#include "image/sector_source.h"
#include "state/byte_buffer.h"
#include "state/file_channel.h"

namespace vornik {

struct DiskState {
  // File names and the open state.
  int16_t openflag = 0;      // 1 once an image was chosen through Open; never reset
  std::string Filename;      // path of the image, or after a copy the copy's DOS name
  std::string Copyfilename;  // DOS name of the file copied out: NAME.EXT, blanks dropped

  // Image buffers: L + 1 bytes each, L = length of the image file.
  ByteBuffer diskbuf;  // the whole image; element L is a spare 0
  ByteBuffer copybuf;  // the file being copied out, from index 0 (L + 1 bytes, as many as the copy wrote)
  int32_t fileend = 0;           // L

  // Identification.
  int16_t jv1 = 0;          // 1: JV1 (no header)
  int16_t dmkflag = 0;      // 1: DMK; jv1 == dmkflag == 0 means JV3
  std::string filetype;     // "JV1", "DMK" or "JV3"
  int32_t trkindex = 0;     // DMK: length of one track record
  int16_t damindex = 0;     // DMK: distance from an ID mark to its data mark (44 or 24)
  int16_t dens = 0;         // 1 single, 2 double, 3 mixed density
  int16_t firstsecnum = 0;  // sector-numbering base of track 0, 0 or 1
  Jv3Blocks jv3;            // JV3: where its header blocks lie

  // Geometry.
  int16_t tracks = 0;
  int16_t sides = 0;
  int16_t spt = 0;                      // sectors on one side of a track
  std::array<int16_t, 81> trkspt{};     // sectors per side, by track
  // Logical number of each track's first sector. Whoever writes it drops
  // the locator's logical-to-physical table (locator.ForgetTrackStarts()).
  std::array<int16_t, 81> trkstartsec{};
  int16_t spg = 0;                      // sectors per granule
  int16_t spl = 0;                      // Newdos/80: sectors per allocation unit

  // Directory.
  int32_t dirstartsec = 0;  // logical number of the first directory sector
  int16_t direndsec = 0;    // logical number of the last directory sector
  int16_t newdosflag = 0;   // 1: the disk carries the Newdos/80 mark

  // Summary texts.
  std::string dd;        // "   S/Density", "   D/Density", "   Dual/Density"
  std::string sda;       // "  S/Sided" or "  D/Sided"
  std::string spgaa;     // "   Spg =" and the text of spg
  std::string sptab;     // "  Sec/Cyl. =" ...
  std::string Disktype;  // the whole summary line

  // Sector locator.
  int16_t TrkToFind = 0;
  int16_t SideToFind = 0;
  int16_t SecToFind = 0;
  double fpa = 0;           // offset of the first data byte of the sector last located
  int16_t errflg = 0;       // 0 found, 1 not found
  int16_t datamarkDmk = 0;  // DMK: data-mark byte of the sector found
  int16_t datamarkjv = 0;   // JV3: flags AND 0x20 of the sector found
  int16_t secstep = 1;      // distance in stored bytes between two data bytes of the
                            // sector last located: 2 for doubled single density in DMK
  LocatorIndex locator;     // built while the image is identified

  // Working values of the directory walk and the extraction.
  double secnum = 0;
  int16_t logsec = 0;
  double fpb = 0;           // bytes placed in copybuf by the last extraction
  uint8_t scanbyte = 0;
  std::array<int16_t, 21> extab{};  // extent list of one copy: first, last, first, last ...

  // What the last location scan saw, kept for the checks that follow it.
  int32_t dirsectors = 0;  // directory-marked sectors met by the scan

  // Every sector the image stores, found once the format is known; it reads
  // diskbuf.
  SectorSource source;

  // File channel 1: the program's single open-file slot.
  FileChannel channel1;
};

// A Double field used as an index: nearest whole number, ties to even.
inline int64_t AsIndex(double value) {
  // Offsets are whole numbers but for a stray half: only those need rounding.
  if (std::fabs(value) < 9.0e18) {
    const auto whole = static_cast<int64_t>(value);
    if (static_cast<double>(whole) == value) return whole;
  }
  return static_cast<int64_t>(std::nearbyint(value));
}

// Every field as a new window has it, the memory of the two byte arrays
// kept for the next image.
void ResetKeepingBuffers(DiskState& st);

}  // namespace vornik

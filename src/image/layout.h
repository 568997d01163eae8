// The on-disk layouts of the three image formats, written once.
#pragma once

#include <cstdint>

namespace vornik {

// JV1: no header; one side, 10 sectors of 256 bytes a track, tracks in order.
constexpr int kJv1TrackBytes = 2560;           // 10 sectors x 256
constexpr int kJv1SectorsPerTrack = 10;
constexpr int kJv1Tracks = 40;                 // track count of any JV1 image up to 40 tracks
constexpr int kJv1MaxTracks = 81;              // the per-track tables hold 81 tracks
constexpr uint8_t kJv1Signature[3] = {0x00, 0xFE, 0x11};  // first bytes of track 0 sector 0
constexpr int kJv1DirStart = 170;              // track 17, sectors 0..9
constexpr int kJv1DirEnd = 179;
constexpr int kJv1SystemSector = 512;          // track 0 sector 2

// JV3: a table of 2901 three-byte sector headers, then the sector data.
constexpr int kJv3EntryBytes = 3;              // track, sector, flags
constexpr int kJv3Entries = 2901;              // entries 0..2900, offsets 0..8700
constexpr int kJv3LastEntryOffset = 8700;
constexpr int kJv3DataStart = 0x2200;          // 8704: data of entry 0; 8703 is write-protect
constexpr uint8_t kJv3FreeTrack = 0xFF;        // track byte of an unused entry: ends the table
constexpr uint8_t kJv3FlagDouble = 0x80;       // double density
constexpr uint8_t kJv3FlagDirMark = 0x20;      // deleted (directory) data mark
constexpr uint8_t kJv3FlagSide1 = 0x10;        // side 1

// DMK: a 16-byte header, then one record per track and side.
constexpr int kDmkHeaderSize = 16;
constexpr int kDmkTracksByte = 1;              // track count as written by the emulator
constexpr int kDmkTrackLenLow = 2;             // track record length, low byte first
constexpr int kDmkFlagsByte = 4;               // 0x10 single-sided, 0x40/0x80 single density undoubled
constexpr uint8_t kDmkFlagSingleSided = 0x10;
constexpr uint8_t kDmkFlagsUndoubled = 0xC0;
constexpr int kDmkRealDiskOffset = 12;         // 78 56 34 12: a real drive, not an image
constexpr uint8_t kDmkRealDiskSignature[4] = {0x78, 0x56, 0x34, 0x12};
constexpr int32_t kDmkTrackLenDouble = 6400;   // 0x1900
constexpr int32_t kDmkTrackLenSingle = 3264;   // 0x0CC0
constexpr int32_t kDmkTrackLenMin = 0x0A00;    // plausible record lengths of other writers
constexpr int32_t kDmkTrackLenMax = 0x4000;
constexpr int32_t kDmkDoubleClassMin = 0x1800; // at or above: a double-density track length
constexpr int kDmkPointers = 31;               // ID-mark pointers read per record (0..30)
constexpr uint16_t kDmkPointerDouble = 0x8000; // pointer bit 15: double-density sector
constexpr uint16_t kDmkPointerOffset = 0x7FFF;
constexpr uint8_t kDmkIdMark = 0xFE;           // ID address mark
constexpr int kDmkDamDouble = 44;              // ID mark to data mark, double density
constexpr int kDmkDamSingle = 24;              // ID mark to data mark, single density
constexpr int kDmkDamDoubled = 48;             // single density stored with every byte twice
constexpr int kDmkIdFieldEnd = 7;              // mark, track, side, sector, size, CRC x2
constexpr int kDmkMarkHorizon = 49;            // the farthest past an ID mark a data mark is looked for
constexpr uint8_t kDataMarkNormal = 0xFB;
constexpr uint8_t kDataMarkDir = 0xFA;
constexpr uint8_t kDataMarkDirAlt = 0xF8;
constexpr uint8_t kDataMarkF9 = 0xF9;           // of the family, taken by the sector source only

// Sectors and DOS structures.
constexpr int kSectorBytes = 256;
constexpr int kNewdosMarkOffset = 239;         // 0xA5 in the system sector: Newdos/80
constexpr uint8_t kNewdosMark = 0xA5;
constexpr int kNewdosLumpOffset = 5;           // sectors per allocation unit / 5
constexpr int kTableTracks = 81;               // entries of trkspt / trkstartsec
constexpr int64_t kMaxImageBytes = 64LL * 1024 * 1024;  // larger files are not disk images

inline bool IsDataMark(uint8_t b) { return b == kDataMarkNormal || b == kDataMarkDir || b == kDataMarkDirAlt; }
inline bool IsDirMark(int b) { return b == kDataMarkDir || b == kDataMarkDirAlt; }

}  // namespace vornik

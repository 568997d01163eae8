// Builds JV1, JV3 and DMK disk images for tests from a logical description:
// a Disk is a list of sectors per track and side, each with its recorded ID,
// data mark and 256 data bytes, plus the quirks that real DMK images show
// (ID marks at other offsets on every track, data marks at other distances,
// single-density sectors stored with every byte twice). Serializers turn it
// into the bytes of an image file; helpers write a DOS directory and place
// file contents into granules.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vornik::testing {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kMarkNormal = 0xFB;  // ordinary data mark
constexpr uint8_t kMarkDir = 0xFA;     // directory (deleted) data mark
constexpr uint8_t kMarkDirAlt = 0xF8;
constexpr uint8_t kNoMark = 0x00;      // DMK: no data mark written at all

struct Sector {
  uint8_t track = 0;   // the ID field as recorded
  uint8_t side = 0;
  uint8_t number = 0;
  bool double_density = true;
  uint8_t mark = kMarkNormal;  // JV3: FA/F8 give the directory flag 0x20
  std::array<uint8_t, 256> data{};

  // DMK only.
  bool doubled = false;  // single density stored with every byte twice
  int mark_distance = -1;  // stored bytes from ID mark to data mark; -1: the usual one
};

struct Track {
  std::vector<Sector> sectors;  // in the order the track (and the image) holds them
  int first_id = -1;            // DMK: offset in the record of the first ID mark (-1: 128)
  int gap = -1;                 // DMK: stored bytes between sectors (-1: a default)
};

// What MakeDisk lays out: every track the same unless a TrackLayout overrides it.
struct TrackLayout {
  int sectors = 10;  // per side
  bool double_density = false;
  bool doubled = false;  // DMK: single density stored doubled
};

struct Layout {
  int tracks = 40;
  int sides = 1;
  TrackLayout normal;
  std::vector<std::pair<int, TrackLayout>> overrides;  // (track, layout)
  int first_sector = 0;  // numbering base of the recorded sector numbers
};

class Disk {
 public:
  Disk() = default;
  Disk(int tracks, int sides);

  int tracks() const { return tracks_; }
  int sides() const { return sides_; }
  Track& At(int track, int side);
  const Track& At(int track, int side) const;

  // The sector of that track and side whose recorded number is `number`.
  Sector& Find(int track, int side, int number);
  // The logical sector `l`: track by track, side 0 before side 1, each side
  // in the order its sectors are held.
  Sector& Logical(int l);
  int LogicalCount() const;
  // Logical number of the first sector of a track.
  int TrackStart(int track) const;

 private:
  int tracks_ = 0;
  int sides_ = 1;
  std::vector<Track> tracks_sides_;  // index track * sides + side
};

Disk MakeDisk(const Layout& layout);
// The usual single-sided single-density 40-track disk of a JV1 image: 10
// sectors a track numbered from 0, boot sector starting 00 FE 11.
Disk MakeJv1Disk(int tracks = 40);
// Writes 00 FE 11 at the start of track 0's first sector.
void SetBootSignature(Disk& disk);

// ---- DOS structures ----------------------------------------------------

struct Entry {
  uint8_t attr = 0x10;
  std::string name;  // raw bytes, padded to 8 with blanks
  std::string ext;   // raw bytes, padded to 3 with blanks
  uint16_t sectors = 0;  // bytes 20..21: sector count N
  std::vector<std::pair<uint8_t, uint8_t>> slots;  // raw slots from byte 22 on
  bool terminate = true;  // append FF FF after the slots while room is left
  uint8_t eof = 0;        // byte 3: bytes used in the last sector (0 = all 256)

  std::array<uint8_t, 32> Bytes() const;
};

// Extent slot: first granule g, `count` granules (1..32) on `track` (or in
// allocation unit `track` on Newdos/80).
std::pair<uint8_t, uint8_t> Slot(int track, int granule, int count);
// Link slot to the extension entry at `entry` of directory sector
// dirstart + 2 + `sector_index`.
std::pair<uint8_t, uint8_t> Link(int sector_index, int entry);

// Marks `count` logical sectors from `first` as directory sectors with
// `mark` and empties them; the first (GAT) gets the disk name, the HIT the
// entries' hashes as PutEntries adds them.
void MarkDirectory(Disk& disk, int first, int count, uint8_t mark = kMarkDir);
// Writes entry `slot` (0..7) of logical sector `logical`.
void PutEntry(Disk& disk, int logical, int slot, const Entry& entry);
// Puts the entries one after another from directory sector dir_first + 2.
void PutEntries(Disk& disk, int dir_first, const std::vector<Entry>& entries);
// Writes `bytes` into consecutive logical sectors from `first`, padding
// the last sector with zeros. Returns the number of sectors used.
int PutFile(Disk& disk, int first, const Bytes& bytes);
// The third sector of `track`, side 0 (number base + 2): byte 239 = A5 and
// byte 5 = spl / 5.
void SetNewdosMark(Disk& disk, int track, int spl, int first_sector = 0);

// A deterministic pattern for sector `tag`: no two tags give equal sectors.
Bytes Pattern(int tag, size_t size = 256);
// Fills logical sector `l` with Pattern(l).
void FillPattern(Disk& disk, int l);

// ---- Serializers --------------------------------------------------------

// 10 sectors of 256 bytes a track, tracks in order, side 0 only, each
// track's sectors in their held order.
Bytes ToJv1(const Disk& disk);

enum class Jv3Order {
  kTrackMajor,  // track by track, side 0 then side 1
  kSideMajor,   // every track of side 0, then every track of side 1
};

struct Jv3Options {
  Jv3Order order = Jv3Order::kTrackMajor;
  uint8_t write_protect = 0xFF;
};

// Up to 2901 sectors in one header block, up to 5802 in two.
Bytes ToJv3(const Disk& disk, const Jv3Options& options = {});

struct DmkOptions {
  int track_length = -1;  // -1: 6400 when any sector is double density or doubled, else 3264
  int header_tracks = -1;  // byte 1; -1: the disk's track count
  int flags = -1;          // byte 4; -1: 0x10 for a single-sided disk, else 0
  bool real_disk = false;  // bytes 12..15 = 78 56 34 12
};

// Where the serializer put each ID mark: per record (track * sides + side),
// the absolute offsets of the ID marks in the image.
struct DmkMap {
  std::vector<std::vector<int64_t>> id;
  std::vector<std::vector<int64_t>> data;  // offset of the first data byte
};

Bytes ToDmk(const Disk& disk, const DmkOptions& options = {}, DmkMap* map = nullptr);

// Little helpers for tests.
void PutLe16(Bytes& bytes, size_t at, uint16_t value);
uint16_t Crc16(const uint8_t* data, size_t size, uint16_t crc = 0xFFFF);

}  // namespace vornik::testing

// What the sector locator needs of every sector, gathered by the pass that
// identifies the image, so that a lookup walks one track's few sectors
// instead of the whole header table (JV3) or a record's ID fields and gaps
// (DMK). Each format fills and reads its own part; a lookup the index was
// not built for (another geometry, a track past the image) searches as
// before, so every lookup gives what the search gives.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "image/jv3_blocks.h"
#include "image/layout.h"
#include "image/sector_source.h"

namespace vornik {

struct LocatorIndex {
  enum class Kind : uint8_t { kNone, kJv3, kDmk };
  Kind kind = Kind::kNone;

  // JV3: table entries in table order, grouped by track byte and side;
  // jv3_first[2t + s] .. jv3_first[2t + s + 1] - 1 are those of track byte
  // t on side s. Only entries the search can match (wholly in the image,
  // track byte other than FF) are listed.
  struct Jv3Entry {
    uint16_t n;       // number in the table, through both blocks
    uint8_t sector;   // its sector byte
    uint8_t flags;    // its flags byte
    uint32_t data;    // where the sector source has its data: behind the blocks of the entries before it
  };
  std::vector<Jv3Entry> jv3_entries;
  std::array<uint16_t, 513> jv3_first{};
  // Per track byte and side: the lowest sector number when the entries hold
  // each number from it up to one less than it plus their count exactly
  // once, in any order (a lookup then indexes), else -1. jv3_place then
  // gives, at jv3_first[key] + (sector - lowest), the entry's place in its
  // group.
  std::array<int16_t, 512> jv3_low{};
  std::vector<uint16_t> jv3_place;
  // Whether the sector source may make its sectors of jv3_entries: they
  // are every entry it reads (the image holds the whole first table).
  bool jv3_all_listed = false;
  int jv3_examined = 0;   // entries the search looks at before the image ends
  bool jv3_cut = false;   // the table ends inside the image's header
  Jv3Blocks jv3_blocks;

  // DMK: per track record, per ID-mark pointer in table order, what the
  // search sets when it takes that ID field; records in file order,
  // dmk_first[r] .. dmk_first[r + 1] - 1. The data-mark byte is kept, not
  // read again: only the image load writes diskbuf, and it clears the index
  // first.
  struct DmkSlot {
    double fpa = 0;         // the data mark's offset (or where it would stand) + step
    uint8_t data_mark = 0;  // the byte there, 0 past the image
    uint8_t step = 1;
  };
  std::vector<DmkSlot> dmk_slots;
  // Each slot's recorded sector number, in a row for the lookup, and
  // behind the last one a window's worth of spare bytes: a record's numbers
  // are compared a window at a time.
  std::vector<uint8_t> dmk_recorded;
  static constexpr int kDmkRecordedWindow = 32;
  std::vector<uint32_t> dmk_first;
  // Per record, whether the sector source may take its sectors from
  // dmk_sectors: the whole record lies in the image, its table ends with a
  // 0 among the pointers read, and every ID field is the one the source
  // finds for its pointer, read a byte a step, with the bytes up to
  // kDmkMarkHorizon past its mark inside the record.
  std::vector<uint8_t> dmk_exact;
  // Slot by slot, the sector the source makes of that ID field; only those
  // of exact records are filled in.
  std::vector<StoredSector> dmk_sectors;
  // The records indexed: 0 until a scan has indexed the whole image.
  int32_t dmk_records = 0;
  // The geometry the DMK part was built for.
  int32_t dmk_track_length = 0;
  int16_t dmk_sides = 0;
  int16_t dmk_damindex = 0;

  // The logical-to-physical table: for the first l2p_tracks of the track
  // starts (trkstartsec), the highest start up to each track, so that the
  // track holding a logical sector is found by halving. Made on the first
  // conversion after the starts were written.
  static constexpr int kTracks = 81;
  int l2p_tracks = -1;
  int l2p_hint = -1;  // the last answer
  std::array<int16_t, kTracks> l2p_max{};
  void ForgetTrackStarts() { l2p_tracks = -1; }

  // Forgets the contents, keeps the memory.
  void Clear() {
    kind = Kind::kNone;
    l2p_tracks = -1;
    jv3_entries.clear();
    jv3_place.clear();
    jv3_all_listed = false;
    dmk_records = 0;
    dmk_slots.clear();
    dmk_recorded.clear();
    dmk_first.clear();
    dmk_exact.clear();
    dmk_sectors.clear();
  }
};

}  // namespace vornik

// Every sector an image stores, found in one pass when the image is opened:
// where the image keeps it, what its ID field records, its data mark, where
// its data lies and whether it reads cleanly. The DOS layer and the
// integrity check see the disk only through this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

#include "image/dmk_check.h"
#include "image/layout.h"

namespace vornik {

struct LocatorIndex;

enum class ImageFormat : uint8_t { kJv1, kJv3, kDmk };

struct StoredSector {
  int16_t track = 0;      // where the image keeps it: JV1 track, JV3 header track, DMK record / sides
  uint8_t side = 0;       // JV3 side flag, DMK record % sides, JV1 0
  uint8_t id_track = 0;   // the ID field as recorded (JV1 and JV3: the same as where it is kept)
  uint8_t id_side = 0;
  uint8_t id = 0;         // recorded sector number (JV1: position 0..9 on the track)
  uint8_t size_code = 1;  // N: the data field holds 128 << (N & 3) bytes
  uint8_t mark = 0;       // data mark F8..FB (JV3: the one its flags stand for); 0 when none was found
  uint8_t step = 1;       // 2: a DMK single-density sector stored with every byte twice
  bool dir_mark = false;  // the directory (deleted) data mark: JV3 flag 0x20, DMK FA or F8
  // Whether it reads back as written: JV1 keeps nothing to check; JV3 keeps
  // a CRC-error flag; a DMK's CRCs are checked only when the source is made
  // to verify (else kUnchecked, unless the data mark or the field is missing).
  SectorVerdict verdict = SectorVerdict::kUnchecked;
  int64_t data = -1;      // offset in the image of the first data byte; -1 when there is none
  bool operator==(const StoredSector&) const = default;
};

// Memory for sectors that the pass finding them writes whole: making room
// (resize) leaves them unwritten rather than writing a default sector into
// each one first. A sector added one at a time is given whole, as
// emplace_back(StoredSector{}).
template <class T>
struct UnwrittenAllocator : std::allocator<T> {
  static_assert(std::is_trivially_copyable_v<T> && std::is_aggregate_v<T>);
  template <class U>
  struct rebind {
    using other = UnwrittenAllocator<U>;
  };
  UnwrittenAllocator() = default;
  template <class U>
  UnwrittenAllocator(const UnwrittenAllocator<U>&) noexcept {}
  template <class U>
  void construct(U*) noexcept {}
  template <class U, class... Args>
  void construct(U* at, Args&&... args) {
    ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
  }
};
using SectorList = std::vector<StoredSector, UnwrittenAllocator<StoredSector>>;

// How the image was identified: enough to walk its sectors.
struct SourceGeometry {
  ImageFormat format = ImageFormat::kJv1;
  int sides = 1;             // DMK: records per track (a track's records follow each other)
  int32_t track_length = 0;  // DMK: bytes of one track record
};

class SectorSource {
 public:
  SectorSource() = default;
  // Walks every sector of `image` once, with `verify` checking each DMK
  // sector's ID and data CRCs. The bytes must outlive the source.
  // `scanned`: the locator index the directory scan left, whose sectors a
  // JV3's source takes when the scan made them, and a DMK's in the records
  // it marks exact.
  SectorSource(std::span<const uint8_t> image, const SourceGeometry& geometry, bool verify = false,
               const LocatorIndex* scanned = nullptr);
  bool Verified() const { return verified_; }

  // Grouped by track, then side; each track side in the order the image
  // holds its sectors.
  std::span<const StoredSector> Sectors() const { return sectors_; }
  // The sectors kept on one track side, in the order the image holds them.
  std::span<const StoredSector> OnTrack(int track, int side) const;
  // The first sector kept on that track side whose recorded number is `id`.
  const StoredSector* Find(int track, int side, int id) const;
  int Tracks() const { return tracks_; }  // highest track kept + 1
  int Sides() const { return sides_; }    // 2 when any sector is kept on side 1

  // Copies up to out.size() data bytes of `sector` (every other byte when
  // step is 2), no more than its data field holds, and returns how many
  // lay inside the image (DMK: inside the sector's own track record).
  size_t Read(const StoredSector& sector, std::span<uint8_t> out) const;
  // The first `count` data bytes of `sector` where the image holds them one
  // after another, all of them as Read would give them; else nothing.
  // Inline: the DOS layer takes most of its sectors this way.
  const uint8_t* View(const StoredSector& sector, size_t count) const {
    if (sector.data < 0 || sector.step != 1 || count > (size_t{128} << (sector.size_code & 3))) return nullptr;
    const int64_t end = sector.data + static_cast<int64_t>(count);
    if (end > static_cast<int64_t>(image_.size())) return nullptr;
    if (geometry_.format == ImageFormat::kDmk && end > DmkRecordEnd(sector)) return nullptr;
    return image_.data() + sector.data;
  }

 private:
  void LayJv1();
  bool TakeJv3(const LocatorIndex* scanned);
  void Index();
  void IndexRecords(const std::vector<uint32_t>& record_first);
  int64_t EndFor(const StoredSector& sector) const;
  // Where the DMK track record that holds `sector` ends.
  int64_t DmkRecordEnd(const StoredSector& sector) const {
    const int64_t record = int64_t{sector.track} * geometry_.sides + sector.side;
    return kDmkHeaderSize + (record + 1) * geometry_.track_length;
  }

  std::span<const uint8_t> image_;
  SourceGeometry geometry_;
  SectorList sectors_;
  std::vector<uint32_t> track_first_;  // index into sectors_ of each (track, side) run, + end
  std::vector<uint8_t> ids_;           // the recorded number of each of sectors_, for Find
  int tracks_ = 0;
  int sides_ = 1;
  bool verified_ = false;
};

}  // namespace vornik

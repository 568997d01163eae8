// One pass over the image bytes: every stored sector with its ID, data mark
// and the place of its data. JV1 is implied by the offset; JV3 by its header
// table; DMK by the ID-mark pointers at the start of each track record.
#include "image/sector_source.h"

#include <algorithm>
#include <cstring>

#include "image/jv3_blocks.h"
#include "image/jv3_sector.h"
#include "image/layout.h"
#include "image/locator_index.h"
#include "image/dmk_sector.h"
#include "image/mark_search.h"

namespace vornik {
namespace {

// DMK track records (the ID field and the data-mark windows are those of
// dmk_check.h and layout.h).
constexpr int kDmkTablePointers = 64;      // a record's pointer table: up to 64, 0 ends it
constexpr int kMaxTracks = 256;            // a track number is one byte in an ID field

// The numbers of a JV1 track's sectors: their places on it.
constexpr uint8_t kJv1Ids[kJv1SectorsPerTrack] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};

int FieldBytes(uint8_t size_code) { return 128 << (size_code & 3); }

bool IsAnyDataMark(uint8_t b) { return (b & kMarkFamilyMask) == kMarkFamilyBase; }

// Data blocks follow their table in table order, each as long as its entry
// says; a free entry (track FF) still holds the space of its own size.
void AddJv3Block(std::span<const uint8_t> image, int64_t header, int64_t data, SectorList& out) {
  const int64_t size = static_cast<int64_t>(image.size());
  int entries = static_cast<int>(std::clamp<int64_t>((size - header) / kJv3EntryBytes, 0, kJv3Entries));
  const uint8_t* table = image.data() + header;
  // Free entries behind the last one in use hold nothing to list.
  entries = Jv3EntriesInUse(table, entries);
  out.reserve(out.size() + static_cast<size_t>(entries));
  for (int n = 0; n < entries; ++n) {
    const uint8_t* e = table + int64_t{n} * kJv3EntryBytes;
    if (e[0] == kJv3FreeTrack) {
      data += Jv3FreeBlockBytes(e[2]);
    } else {
      data += PutJv3Sector(out.emplace_back(StoredSector{}), e[0], e[1], e[2], data, size);
    }
  }
}

// The first header block, and the second where there is one.
void AddJv3(std::span<const uint8_t> image, SectorList& out) {
  AddJv3Block(image, 0, kJv3DataStart, out);
  const Jv3Blocks blocks = Jv3BlocksOf(image);
  if (blocks.count == 2) AddJv3Block(image, blocks.header2, blocks.data2, out);
}

// One ID mark of a DMK record: its ID field, then the first data mark in
// the window that follows the ID CRC.
void AddDmkSector(std::span<const uint8_t> image, int64_t record, int64_t end, uint16_t pointer, bool undoubled,
                  int track, int side, SectorList& out) {
  const uint8_t* d = image.data();
  const int64_t p = record + (pointer & kDmkIdPointerOffset);
  const bool mfm = (pointer & kDmkPointerDouble) != 0;
  const int step = (!mfm && !undoubled && p + 1 < end && d[p] == kDmkIdMark && d[p + 1] == kDmkIdMark) ? 2 : 1;
  StoredSector& s = out.emplace_back(StoredSector{});
  s.track = static_cast<int16_t>(track);
  s.side = static_cast<uint8_t>(side);
  s.step = static_cast<uint8_t>(step);
  if (p + 4 * step >= end) {  // not even the ID bytes are in the record: counted, never found by its ID
    s.id = s.id_track = 0xFF;
    s.verdict = SectorVerdict::kTruncated;
    return;
  }
  s.id_track = d[p + step];
  s.id_side = d[p + 2 * step];
  s.id = d[p + 3 * step];
  s.size_code = d[p + 4 * step];
  if (p + int64_t{kDmkIdFieldEnd - 1} * step >= end) {
    s.verdict = SectorVerdict::kTruncated;
    return;
  }
  const int64_t k_end = std::min(DmkLastMarkStep(mfm), step == 1 ? end - 1 - p : (end - 1 - p) / 2);
  int64_t k = kDmkIdFieldEnd;
  if (step == 1) {
    const int64_t at = FindDataMarkIn(d, p + k, p + k_end, true);
    k = at < 0 ? k_end + 1 : at - p;
  } else {
    while (k <= k_end && !IsAnyDataMark(d[p + k * step])) ++k;
  }
  SettleDmkData(d, p, step, k, k_end, end, s);
}

// Whether the scan walked the DMK records of this geometry.
bool ScannedThis(const LocatorIndex* ix, const SourceGeometry& g) {
  return ix != nullptr && ix->kind == LocatorIndex::Kind::kDmk && ix->dmk_track_length == g.track_length &&
         ix->dmk_sides == g.sides;
}

// The scan's sectors of record k, when it walked this geometry and marked
// the record exact.
std::span<const StoredSector> ScannedRecord(const LocatorIndex* ix, const SourceGeometry& g, int64_t k) {
  if (!ScannedThis(ix, g) || k >= static_cast<int64_t>(ix->dmk_exact.size()) || !ix->dmk_exact[static_cast<size_t>(k)]) {
    return {};
  }
  const uint32_t first = ix->dmk_first[static_cast<size_t>(k)];
  return std::span<const StoredSector>(ix->dmk_sectors).subspan(first, ix->dmk_first[static_cast<size_t>(k) + 1] - first);
}

// Records in file order: each record's sectors are one track side's run.
// `record_first` gets where each record's sectors start, and the end.
void AddDmk(std::span<const uint8_t> image, const SourceGeometry& g, bool verify, const LocatorIndex* scanned,
            SectorList& out, std::vector<uint8_t>& ids, std::vector<uint32_t>& record_first) {
  record_first.assign(1, 0);
  const int64_t size = std::min<int64_t>(static_cast<int64_t>(image.size()),
                                         kDmkHeaderSize + int64_t{kMaxTracks} * g.sides * g.track_length);
  if (g.track_length <= 0 || size <= kDmkHeaderSize) return;
  const bool undoubled = (image[kDmkFlagsByte] & kDmkFlagsUndoubled) != 0;
  // Room for as many sectors a record as the first one holds.
  size_t first_count = 0;
  while (first_count < kDmkTablePointers && kDmkHeaderSize + 2 * int64_t(first_count) + 1 < size &&
         (image[kDmkHeaderSize + 2 * first_count] | image[kDmkHeaderSize + 2 * first_count + 1]) != 0) {
    ++first_count;
  }
  const size_t records = static_cast<size_t>((size - kDmkHeaderSize) / g.track_length + 1);
  // Or as many as the scan met, when it walked this geometry: a first
  // track formatted with fewer sectors than the rest would have the lists
  // grow, and copy what they hold, again and again.
  size_t room = records * first_count;
  if (ScannedThis(scanned, g)) room = std::max(room, scanned->dmk_sectors.size());
  out.reserve(room);
  ids.reserve(room);
  record_first.reserve(records + 1);
  int64_t k = 0;
  for (int64_t record = kDmkHeaderSize; record < size; record += g.track_length, ++k) {
    const int64_t end = std::min<int64_t>(record + g.track_length, size);
    const int pointers = static_cast<int>(std::min<int64_t>(kDmkTablePointers, (end - record) / 2));
    const int track = static_cast<int>(k / g.sides), side = static_cast<int>(k % g.sides);
    // An exact record ends with a 0 pointer after its sectors.
    const std::span<const StoredSector> scanned_sectors =
        end == record + g.track_length ? ScannedRecord(scanned, g, k) : std::span<const StoredSector>();
    if (!scanned_sectors.empty()) {
      const size_t at = out.size();
      out.resize(at + scanned_sectors.size());
      std::memcpy(out.data() + at, scanned_sectors.data(), scanned_sectors.size_bytes());
      const uint8_t* recorded = scanned->dmk_recorded.data() + (scanned_sectors.data() - scanned->dmk_sectors.data());
      ids.insert(ids.end(), recorded, recorded + scanned_sectors.size());
    } else {
      for (int i = 0; i < pointers; ++i) {
        const uint16_t ptr = static_cast<uint16_t>(image[record + 2 * i] | (image[record + 2 * i + 1] << 8));
        if (ptr == 0) break;
        AddDmkSector(image, record, end, ptr, undoubled, track, side, out);
        ids.push_back(out.back().id);
      }
    }
    // The CRCs, where asked for: the check reads the same ID mark again.
    if (verify) {
      const std::span<const uint8_t> bytes = image.subspan(static_cast<size_t>(record), static_cast<size_t>(end - record));
      for (size_t n = record_first.back(); n < out.size(); ++n) {
        const int64_t at = record + 2 * static_cast<int64_t>(n - record_first.back());
        const uint16_t ptr = static_cast<uint16_t>(image[at] | (image[at + 1] << 8));
        out[n].verdict = CheckDmkSector(bytes, ptr, !undoubled).verdict;
      }
    }
    record_first.push_back(static_cast<uint32_t>(out.size()));
  }
}

int64_t Key(const StoredSector& s) { return int64_t{s.track} * 2 + s.side; }

}  // namespace

SectorSource::SectorSource(std::span<const uint8_t> image, const SourceGeometry& geometry, bool verify,
                           const LocatorIndex* scanned)
    : image_(image), geometry_(geometry), verified_(verify) {
  geometry_.sides = std::clamp(geometry.sides, 1, 2);
  switch (geometry.format) {
    case ImageFormat::kJv1: LayJv1(); return;
    case ImageFormat::kJv3:
      if (TakeJv3(scanned)) return;
      AddJv3(image, sectors_);
      break;
    case ImageFormat::kDmk: {
      std::vector<uint32_t> record_first;
      AddDmk(image, geometry_, verify, scanned, sectors_, ids_, record_first);
      IndexRecords(record_first);
      return;
    }
  }
  Index();
}

// A JV1 holds ten sectors a track in order, the last one perhaps cut
// short: the runs and the numbers follow from the length alone.
void SectorSource::LayJv1() {
  const int64_t size = std::min<int64_t>(static_cast<int64_t>(image_.size()), int64_t{kMaxTracks} * kJv1TrackBytes);
  const size_t count = static_cast<size_t>((size + kSectorBytes - 1) / kSectorBytes);
  tracks_ = static_cast<int>((count + kJv1SectorsPerTrack - 1) / kJv1SectorsPerTrack);
  sectors_.resize(count);
  ids_.resize(count);
  track_first_.resize(2 * static_cast<size_t>(tracks_) + 1);
  // Byte stores may touch anything: what the loop reads is held in locals.
  StoredSector* const out = sectors_.data();
  uint8_t* const ids = ids_.data();
  uint32_t* const runs = track_first_.data();
  runs[0] = 0;
  for (int track = 0; track < tracks_; ++track) {
    StoredSector s;
    s.track = static_cast<int16_t>(track);
    s.id_track = static_cast<uint8_t>(track);
    // JV1 keeps no marks; emulators give the directory track its mark.
    s.dir_mark = track == kJv1DirStart / kJv1SectorsPerTrack;
    s.mark = s.dir_mark ? kDataMarkDir : kDataMarkNormal;
    const size_t first = static_cast<size_t>(track) * kJv1SectorsPerTrack;
    const size_t end = std::min(first + kJv1SectorsPerTrack, count);
    const int held = static_cast<int>(end - first);
    for (int i = 0; i < held; ++i) {
      s.id = static_cast<uint8_t>(i);
      s.data = static_cast<int64_t>(first + static_cast<size_t>(i)) * kSectorBytes;
      out[first + static_cast<size_t>(i)] = s;
    }
    std::memcpy(ids + first, kJv1Ids, static_cast<size_t>(held));
    // Side 1 holds nothing: its run is empty.
    runs[2 * static_cast<size_t>(track) + 1] = static_cast<uint32_t>(end);
    runs[2 * static_cast<size_t>(track) + 2] = static_cast<uint32_t>(end);
  }
  if (count > 0 && size % kSectorBytes != 0) out[count - 1].verdict = SectorVerdict::kTruncated;
}

// A JV3's sectors made of the entries the directory scan grouped by track
// side for the locator, in table order within each: as Index would group
// them. False when the scan did not list every entry this source reads.
bool SectorSource::TakeJv3(const LocatorIndex* scanned) {
  if (scanned == nullptr || scanned->kind != LocatorIndex::Kind::kJv3 || !scanned->jv3_all_listed) return false;
  const std::vector<LocatorIndex::Jv3Entry>& entries = scanned->jv3_entries;
  const auto& first = scanned->jv3_first;
  // Keys up to the last one holding an entry: the first whose run starts
  // at the end of the list ends them.
  const size_t keys = static_cast<size_t>(std::lower_bound(first.begin(), first.end(), first.back()) - first.begin());
  tracks_ = static_cast<int>((keys + 1) / 2);
  track_first_.assign(first.begin(), first.begin() + 2 * tracks_ + 1);
  const int64_t size = static_cast<int64_t>(image_.size());
  sectors_.resize(entries.size());
  ids_.resize(entries.size());
  // Byte stores may touch anything: what the loop reads is held in locals.
  StoredSector* const out = sectors_.data();
  uint8_t* const ids = ids_.data();
  const LocatorIndex::Jv3Entry* const in = entries.data();
  for (size_t key = 0; key < keys; ++key) {
    const size_t from = first[key], to = first[key + 1];
    if (key % 2 == 1 && to > from) sides_ = 2;
    const auto track = static_cast<uint8_t>(key / 2);
    for (size_t i = from; i < to; ++i) {
      const LocatorIndex::Jv3Entry e = in[i];
      PutJv3Sector(out[i], track, e.sector, e.flags, e.data, size);
      ids[i] = e.sector;
    }
  }
  return true;
}

// A DMK's sectors come grouped already: a track side's run is its record's.
void SectorSource::IndexRecords(const std::vector<uint32_t>& record_first) {
  const size_t sides = static_cast<size_t>(geometry_.sides);
  const size_t records = record_first.size() - 1;
  size_t used = records;  // records up to the last that holds a sector
  while (used > 0 && record_first[used] == record_first[used - 1]) --used;
  tracks_ = static_cast<int>((used + sides - 1) / sides);
  track_first_.resize(2 * static_cast<size_t>(tracks_) + 1);
  const size_t keys = track_first_.size();
  if (sides == 2) {
    // Record r is track side r.
    const size_t copied = std::min(keys, records + 1);
    std::copy_n(record_first.begin(), copied, track_first_.begin());
    std::fill(track_first_.begin() + static_cast<std::ptrdiff_t>(copied), track_first_.end(), record_first[records]);
  } else {
    // Side 1 of a single-sided image holds nothing: its run starts where the next track's does.
    for (size_t key = 0; key < keys; ++key) track_first_[key] = record_first[std::min((key + 1) / 2, records)];
  }
  if (sides == 2) {
    for (size_t r = 1; r < used; r += 2) {
      if (record_first[r + 1] > record_first[r]) sides_ = 2;
    }
  }
}

// Groups the sectors by track side (JV3 tables may hold them in any order)
// and records where each track side's run starts.
void SectorSource::Index() {
  // One pass counts each track side's sectors (the table grows with the
  // highest track met) and notes whether they come grouped already.
  bool ordered = true;
  int64_t previous = -1;
  track_first_.assign(1, 0);
  for (const StoredSector& s : sectors_) {
    const int64_t key = Key(s);
    ordered = ordered && key >= previous;
    previous = key;
    if (s.side == 1) sides_ = 2;
    if (static_cast<size_t>(key) + 2 > track_first_.size()) track_first_.resize(static_cast<size_t>(s.track) * 2 + 3, 0);
    ++track_first_[static_cast<size_t>(key) + 1];
  }
  if (!ordered) {
    std::stable_sort(sectors_.begin(), sectors_.end(),
                     [](const StoredSector& a, const StoredSector& b) { return Key(a) < Key(b); });
  }
  tracks_ = static_cast<int>(track_first_.size() / 2);
  for (size_t i = 1; i < track_first_.size(); ++i) track_first_[i] += track_first_[i - 1];
  ids_.resize(sectors_.size());
  for (size_t i = 0; i < sectors_.size(); ++i) ids_[i] = sectors_[i].id;
}

std::span<const StoredSector> SectorSource::OnTrack(int track, int side) const {
  if (track < 0 || track >= tracks_ || side < 0 || side > 1) return {};
  const size_t key = static_cast<size_t>(track) * 2 + static_cast<size_t>(side);
  return std::span<const StoredSector>(sectors_).subspan(track_first_[key], track_first_[key + 1] - track_first_[key]);
}

const StoredSector* SectorSource::Find(int track, int side, int id) const {
  if (track < 0 || track >= tracks_ || side < 0 || side > 1 || id < 0 || id > 0xFF) return nullptr;
  const size_t key = static_cast<size_t>(track) * 2 + static_cast<size_t>(side);
  const size_t first = track_first_[key];
  const void* at = std::memchr(ids_.data() + first, id, track_first_[key + 1] - first);
  return at == nullptr ? nullptr : &sectors_[static_cast<size_t>(static_cast<const uint8_t*>(at) - ids_.data())];
}

// Where the bytes readable for `sector` end: the image, or the sector's own
// DMK track record.
int64_t SectorSource::EndFor(const StoredSector& sector) const {
  const int64_t end = static_cast<int64_t>(image_.size());
  return geometry_.format == ImageFormat::kDmk ? std::min(end, DmkRecordEnd(sector)) : end;
}

size_t SectorSource::Read(const StoredSector& sector, std::span<uint8_t> out) const {
  if (sector.data < 0) return 0;
  const int64_t end = EndFor(sector);
  const int64_t want = std::min<int64_t>(static_cast<int64_t>(out.size()), FieldBytes(sector.size_code));
  if (sector.data >= end || want <= 0) return 0;
  const uint8_t* from = image_.data() + sector.data;
  if (sector.step == 1) {
    const int64_t have = std::min(want, end - sector.data);
    if (have == kSectorBytes) {
      std::memcpy(out.data(), from, kSectorBytes);  // the usual case, as a fixed-size copy
    } else {
      std::memcpy(out.data(), from, static_cast<size_t>(have));
    }
    return static_cast<size_t>(have);
  }
  const int64_t have = std::min(want, (end - sector.data + 1) / 2);
  for (int64_t i = 0; i < have; ++i) out[static_cast<size_t>(i)] = from[2 * i];
  return static_cast<size_t>(have);
}

}  // namespace vornik

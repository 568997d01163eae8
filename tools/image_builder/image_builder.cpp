#include "image_builder.h"

#include <algorithm>
#include <stdexcept>

namespace vornik::testing {

// ---- Disk ---------------------------------------------------------------

Disk::Disk(int tracks, int sides) : tracks_(tracks), sides_(sides), tracks_sides_(size_t(tracks) * sides) {}

Track& Disk::At(int track, int side) {
  if (track < 0 || track >= tracks_ || side < 0 || side >= sides_) throw std::out_of_range("Disk::At");
  return tracks_sides_[size_t(track) * sides_ + side];
}

const Track& Disk::At(int track, int side) const {
  if (track < 0 || track >= tracks_ || side < 0 || side >= sides_) throw std::out_of_range("Disk::At");
  return tracks_sides_[size_t(track) * sides_ + side];
}

Sector& Disk::Find(int track, int side, int number) {
  for (Sector& s : At(track, side).sectors) {
    if (s.number == number) return s;
  }
  throw std::out_of_range("Disk::Find: no sector " + std::to_string(number) + " on track " + std::to_string(track));
}

Sector& Disk::Logical(int l) {
  if (l < 0) throw std::out_of_range("Disk::Logical");
  for (Track& t : tracks_sides_) {
    if (l < int(t.sectors.size())) return t.sectors[size_t(l)];
    l -= int(t.sectors.size());
  }
  throw std::out_of_range("Disk::Logical: beyond the disk");
}

int Disk::LogicalCount() const {
  int n = 0;
  for (const Track& t : tracks_sides_) n += int(t.sectors.size());
  return n;
}

int Disk::TrackStart(int track) const {
  int n = 0;
  for (int i = 0; i < track * sides_; ++i) n += int(tracks_sides_[size_t(i)].sectors.size());
  return n;
}

Disk MakeDisk(const Layout& layout) {
  Disk disk(layout.tracks, layout.sides);
  for (int t = 0; t < layout.tracks; ++t) {
    TrackLayout tl = layout.normal;
    for (const auto& [track, over] : layout.overrides) {
      if (track == t) tl = over;
    }
    for (int side = 0; side < layout.sides; ++side) {
      Track& track = disk.At(t, side);
      for (int i = 0; i < tl.sectors; ++i) {
        Sector s;
        s.track = uint8_t(t);
        s.side = uint8_t(side);
        s.number = uint8_t(layout.first_sector + i);
        s.double_density = tl.double_density;
        s.doubled = tl.doubled;
        track.sectors.push_back(s);
      }
    }
  }
  return disk;
}

Disk MakeJv1Disk(int tracks) {
  Layout l;
  l.tracks = tracks;
  Disk disk = MakeDisk(l);
  SetBootSignature(disk);
  return disk;
}

void SetBootSignature(Disk& disk) {
  Sector& boot = disk.At(0, 0).sectors.at(0);
  boot.data[0] = 0x00;
  boot.data[1] = 0xFE;
  boot.data[2] = 0x11;
}

// ---- DOS structures ----------------------------------------------------

namespace {

std::string Padded(const std::string& s, size_t width) {
  std::string out = s.substr(0, std::min(s.size(), width));
  out.resize(width, ' ');
  return out;
}

// The hash a DOS keeps in the HIT for a name: each of the 11 name and
// extension bytes folded in with a rotate.
uint8_t NameHash(const std::string& name8, const std::string& ext3) {
  uint8_t h = 0;
  for (char c : name8 + ext3) {
    h = uint8_t(h ^ uint8_t(c));
    h = uint8_t((h << 1) | (h >> 7));
  }
  return h == 0 ? 1 : h;
}

}  // namespace

std::array<uint8_t, 32> Entry::Bytes() const {
  std::array<uint8_t, 32> b{};
  b[0] = attr;
  b[3] = eof;
  const std::string n = Padded(name, 8);
  const std::string e = Padded(ext, 3);
  for (size_t i = 0; i < 8; ++i) b[5 + i] = uint8_t(n[i]);
  for (size_t i = 0; i < 3; ++i) b[13 + i] = uint8_t(e[i]);
  b[20] = uint8_t(sectors & 0xFF);
  b[21] = uint8_t(sectors >> 8);
  size_t at = 22;
  for (const auto& [x, y] : slots) {
    if (at + 1 >= b.size()) throw std::length_error("Entry: more slots than fit in 32 bytes");
    b[at] = x;
    b[at + 1] = y;
    at += 2;
  }
  if (terminate) {
    for (; at + 1 < b.size(); at += 2) {
      b[at] = 0xFF;
      b[at + 1] = 0xFF;
    }
  }
  return b;
}

std::pair<uint8_t, uint8_t> Slot(int track, int granule, int count) {
  if (granule < 0 || granule > 7 || count < 1 || count > 32) throw std::invalid_argument("Slot");
  return {uint8_t(track), uint8_t((granule << 5) | (count - 1))};
}

std::pair<uint8_t, uint8_t> Link(int sector_index, int entry) {
  return {0xFE, uint8_t((entry << 5) | (sector_index & 0x1F))};
}

void MarkDirectory(Disk& disk, int first, int count, uint8_t mark) {
  for (int i = 0; i < count; ++i) {
    disk.Logical(first + i).mark = mark;
    disk.Logical(first + i).data.fill(0);  // empty entries
  }
  // GAT: the disk's name at 0xD0 (granule use is no concern of a reader).
  Sector& gat = disk.Logical(first);
  const std::string name = "VORNIK  ";
  for (size_t i = 0; i < name.size(); ++i) gat.data[0xD0 + i] = uint8_t(name[i]);
}

void PutEntry(Disk& disk, int logical, int slot, const Entry& entry) {
  if (slot < 0 || slot > 7) throw std::invalid_argument("PutEntry: slot");
  const auto b = entry.Bytes();
  std::copy(b.begin(), b.end(), disk.Logical(logical).data.begin() + 32 * slot);
}

void PutEntries(Disk& disk, int dir_first, const std::vector<Entry>& entries) {
  for (size_t i = 0; i < entries.size(); ++i) {
    const int sector_index = int(i / 8);
    const int slot = int(i % 8);
    PutEntry(disk, dir_first + 2 + sector_index, slot, entries[i]);
    // The HIT: one byte per entry, at (slot << 5) + sector index.
    disk.Logical(dir_first + 1).data[size_t((slot << 5) | sector_index)] =
        NameHash(Padded(entries[i].name, 8), Padded(entries[i].ext, 3));
  }
}

int PutFile(Disk& disk, int first, const Bytes& bytes) {
  int used = 0;
  for (size_t at = 0; at < bytes.size(); at += 256, ++used) {
    Sector& s = disk.Logical(first + used);
    s.data.fill(0);
    std::copy(bytes.begin() + long(at), bytes.begin() + long(std::min(bytes.size(), at + 256)), s.data.begin());
  }
  return used;
}

void SetNewdosMark(Disk& disk, int track, int spl, int first_sector) {
  Sector& s = disk.Find(track, 0, first_sector + 2);
  s.data[239] = 0xA5;
  s.data[5] = uint8_t(spl / 5);
}

Bytes Pattern(int tag, size_t size) {
  Bytes b(size);
  for (size_t i = 0; i < size; ++i) b[i] = uint8_t((i * 31 + size_t(tag) * 17 + (size_t(tag) >> 8) * 5 + 3) & 0xFF);
  if (size >= 2) {
    b[0] = uint8_t(tag & 0xFF);
    b[1] = uint8_t((tag >> 8) & 0xFF);
  }
  return b;
}

void FillPattern(Disk& disk, int l) {
  const Bytes p = Pattern(l);
  std::copy(p.begin(), p.end(), disk.Logical(l).data.begin());
}

// ---- Serializers --------------------------------------------------------

void PutLe16(Bytes& bytes, size_t at, uint16_t value) {
  bytes.at(at) = uint8_t(value & 0xFF);
  bytes.at(at + 1) = uint8_t(value >> 8);
}

uint16_t Crc16(const uint8_t* data, size_t size, uint16_t crc) {
  for (size_t i = 0; i < size; ++i) {
    crc = uint16_t(crc ^ (uint16_t(data[i]) << 8));
    for (int b = 0; b < 8; ++b) crc = (crc & 0x8000) ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
  }
  return crc;
}

Bytes ToJv1(const Disk& disk) {
  Bytes out;
  for (int t = 0; t < disk.tracks(); ++t) {
    const Track& track = disk.At(t, 0);
    if (track.sectors.size() != 10) throw std::invalid_argument("ToJv1: a JV1 track holds 10 sectors");
    for (const Sector& s : track.sectors) out.insert(out.end(), s.data.begin(), s.data.end());
  }
  return out;
}

Bytes ToJv3(const Disk& disk, const Jv3Options& options) {
  std::vector<const Sector*> order;
  if (options.order == Jv3Order::kTrackMajor) {
    for (int t = 0; t < disk.tracks(); ++t)
      for (int side = 0; side < disk.sides(); ++side)
        for (const Sector& s : disk.At(t, side).sectors) order.push_back(&s);
  } else {
    for (int side = 0; side < disk.sides(); ++side)
      for (int t = 0; t < disk.tracks(); ++t)
        for (const Sector& s : disk.At(t, side).sectors) order.push_back(&s);
  }
  // 2901 entries a block; a second block (table, write-protect byte, data)
  // follows the first block's data when the disk has more sectors.
  constexpr size_t kEntries = 2901;
  if (order.size() > 2 * kEntries) throw std::length_error("ToJv3: more sectors than two header blocks hold");
  Bytes out;
  for (size_t first = 0; first == 0 || first < order.size(); first += kEntries) {
    const size_t count = std::min(kEntries, order.size() - first);
    const size_t header = out.size();
    out.resize(header + 0x2200, 0xFF);
    for (size_t n = 0; n < count; ++n) {
      const Sector& s = *order[first + n];
      uint8_t flags = 0;
      if (s.double_density) flags |= 0x80;
      if (s.mark == kMarkDir || s.mark == kMarkDirAlt) flags |= 0x20;
      if (s.side != 0) flags |= 0x10;
      out[header + 3 * n] = s.track;
      out[header + 3 * n + 1] = s.number;
      out[header + 3 * n + 2] = flags;
    }
    out[header + 8703] = options.write_protect;
    for (size_t n = 0; n < count; ++n) out.insert(out.end(), order[first + n]->data.begin(), order[first + n]->data.end());
  }
  return out;
}

namespace {

struct DmkSectorShape {
  int step;      // 1, or 2 for a doubled sector
  int distance;  // stored bytes from ID mark to data mark
  bool dd;       // double density: A1 sync bytes, 4E gaps
};

DmkSectorShape ShapeOf(const Sector& s) {
  DmkSectorShape shape{};
  shape.step = s.doubled ? 2 : 1;
  shape.dd = s.double_density && !s.doubled;
  if (s.mark_distance >= 0) {
    shape.distance = s.mark_distance;
  } else {
    shape.distance = s.doubled ? 48 : (shape.dd ? 44 : 24);
  }
  return shape;
}

// Stored bytes from the ID mark to the end of the data CRC.
int Footprint(const DmkSectorShape& shape) { return shape.distance + shape.step * (1 + 256 + 2); }

// Writes one recorded byte `step` times.
void Put(Bytes& out, int64_t& at, uint8_t value, int step) {
  for (int i = 0; i < step; ++i) out.at(size_t(at++)) = value;
}

}  // namespace

Bytes ToDmk(const Disk& disk, const DmkOptions& options, DmkMap* map) {
  bool any_dd = false;
  for (int t = 0; t < disk.tracks(); ++t)
    for (int side = 0; side < disk.sides(); ++side)
      for (const Sector& s : disk.At(t, side).sectors) any_dd = any_dd || s.double_density || s.doubled;
  const int length = options.track_length >= 0 ? options.track_length : (any_dd ? 6400 : 3264);
  const int records = disk.tracks() * disk.sides();

  Bytes out(16 + size_t(records) * size_t(length), 0);
  out[0] = 0x00;
  out[1] = uint8_t(options.header_tracks >= 0 ? options.header_tracks : disk.tracks());
  PutLe16(out, 2, uint16_t(length));
  out[4] = uint8_t(options.flags >= 0 ? options.flags : (disk.sides() == 1 ? 0x10 : 0x00));
  if (options.real_disk) {
    out[12] = 0x78;
    out[13] = 0x56;
    out[14] = 0x34;
    out[15] = 0x12;
  }
  if (map) {
    map->id.assign(size_t(records), {});
    map->data.assign(size_t(records), {});
  }

  for (int t = 0; t < disk.tracks(); ++t) {
    for (int side = 0; side < disk.sides(); ++side) {
      const Track& track = disk.At(t, side);
      const int record_index = t * disk.sides() + side;
      const int64_t record = 16 + int64_t(record_index) * length;
      const int64_t end = record + length;
      if (track.sectors.size() > 64) throw std::length_error("ToDmk: more than 64 sectors on a track");
      bool track_dd = false;
      for (const Sector& s : track.sectors) track_dd = track_dd || (s.double_density && !s.doubled);
      const uint8_t gap_byte = track_dd ? 0x4E : 0xFF;
      // Gap filler over the whole data area of the record.
      std::fill(out.begin() + record + 128, out.begin() + end, gap_byte);

      int64_t pos = record + (track.first_id >= 0 ? track.first_id : 144);
      for (size_t i = 0; i < track.sectors.size(); ++i) {
        const Sector& s = track.sectors[i];
        const DmkSectorShape shape = ShapeOf(s);
        const int64_t p = pos;
        if (p - record < 128 + 4) throw std::invalid_argument("ToDmk: ID mark inside the pointer table");
        if (p + Footprint(shape) > end) throw std::length_error("ToDmk: sectors do not fit the track record");

        // Sync before the ID mark.
        if (shape.dd) {
          for (int k = 1; k <= 3; ++k) out[size_t(p - k)] = 0xA1;
          for (int k = 4; k <= 15 && p - k >= record + 128; ++k) out[size_t(p - k)] = 0x00;
        } else {
          for (int k = 1; k <= 6 * shape.step && p - k >= record + 128; ++k) out[size_t(p - k)] = 0x00;
        }

        // ID field.
        uint16_t v = uint16_t(p - record);
        if (s.double_density && !s.doubled) v |= 0x8000;
        PutLe16(out, size_t(record + 2 * int64_t(i)), v);
        const uint8_t id[5] = {0xFE, s.track, s.side, s.number, 0x01};
        uint16_t crc = 0xFFFF;
        if (shape.dd) {
          const uint8_t sync[3] = {0xA1, 0xA1, 0xA1};
          crc = Crc16(sync, 3, crc);
        }
        crc = Crc16(id, 5, crc);
        int64_t at = p;
        for (uint8_t b : id) Put(out, at, b, shape.step);
        Put(out, at, uint8_t(crc >> 8), shape.step);
        Put(out, at, uint8_t(crc & 0xFF), shape.step);

        // Gap up to the data mark: filler, then zeros and (double density)
        // the A1 sync bytes right before the mark.
        const int64_t mark_at = p + shape.distance;
        for (int64_t k = at; k < mark_at; ++k) out[size_t(k)] = gap_byte;
        const int sync_bytes = shape.dd ? 3 : 0;
        const int zero_bytes = (shape.dd ? 12 : 6) * shape.step;
        for (int64_t k = mark_at - sync_bytes - zero_bytes; k < mark_at - sync_bytes; ++k)
          if (k >= at) out[size_t(k)] = 0x00;
        for (int64_t k = mark_at - sync_bytes; k < mark_at; ++k)
          if (k >= at) out[size_t(k)] = 0xA1;

        // Data mark, data, CRC.
        at = mark_at;
        Put(out, at, s.mark, shape.step);
        if (map) {
          map->id[size_t(record_index)].push_back(p);
          map->data[size_t(record_index)].push_back(at);
        }
        for (uint8_t b : s.data) Put(out, at, b, shape.step);
        uint16_t dcrc = 0xFFFF;
        if (shape.dd) {
          const uint8_t sync[3] = {0xA1, 0xA1, 0xA1};
          dcrc = Crc16(sync, 3, dcrc);
        }
        dcrc = Crc16(&s.mark, 1, dcrc);
        dcrc = Crc16(s.data.data(), s.data.size(), dcrc);
        Put(out, at, uint8_t(dcrc >> 8), shape.step);
        Put(out, at, uint8_t(dcrc & 0xFF), shape.step);

        const int gap = track.gap >= 0 ? track.gap : (shape.dd ? 32 : (shape.step == 2 ? 40 : 14));
        pos = at + gap;
      }
    }
  }
  return out;
}

}  // namespace vornik::testing

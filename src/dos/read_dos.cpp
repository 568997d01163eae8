// Which DOS wrote the disk, tried in the order that cannot mistake one for
// another: TRSDOS 1.3 has its own boot sector; the 32-byte family is told
// apart by where its hash index agrees with the entries.
#include "dos/dos.h"

#include <algorithm>

#include "dos/dos_layout.h"

namespace vornik {

DosDisk ReadDos(const SectorSource& source) {
  DosDisk disk;
  const dos::SideShape track0 = dos::ShapeOf(source, 0, 0);
  dos::Sector boot;
  if (track0.count == 0 ||
      !dos::ReadSector(source, {0, 0, static_cast<uint8_t>(track0.first_id)}, boot)) {
    disk.note = "no boot sector on track 0";
    return disk;
  }
  if (dos::ReadTrsdos13(source, boot, track0.first_id, disk)) return disk;
  const std::string note13 = disk.note;
  if (dos::Read32ByteFamily(source, boot, disk)) return disk;
  if (!note13.empty()) disk.note = note13;
  disk.entries.clear();
  return disk;
}

void DecodeEntryBytes(const uint8_t* entry, DosEntry& out) {
  dos::DecodeCommon(entry, out);
  out.in_use = (out.attributes & dos::kAttrInUse) && !(out.attributes & dos::kAttrExtension);
}

std::vector<uint8_t> AssembleFile(const SectorSource& source, const DosEntry& entry, bool exact, std::string* error) {
  std::string ignored;
  std::string& why = error ? *error : ignored;
  if (!entry.size) {
    why = entry.error.empty() ? "the entry's extents cannot be read" : entry.error;
    return {};
  }
  const size_t have = entry.sectors.size();
  const size_t need = exact ? static_cast<size_t>((*entry.size + dos::kSectorBytes - 1) / dos::kSectorBytes)
                            : std::min(static_cast<size_t>(entry.whole_sectors), have);
  if (need > have) {
    why = entry.error;
    return {};
  }
  std::vector<uint8_t> bytes(need * dos::kSectorBytes);
  for (size_t i = 0; i < need; ++i) {
    const DiskSector& at = entry.sectors[i];
    const StoredSector* s = source.Find(at.track, at.side, at.id);
    const std::span<uint8_t> out(bytes.data() + i * dos::kSectorBytes, dos::kSectorBytes);
    if (s == nullptr || source.Read(*s, out) != out.size()) {
      why = "track " + std::to_string(at.track) + ", side " + std::to_string(at.side) + ", sector " +
            std::to_string(at.id) + " is not in the image";
      return {};
    }
  }
  if (exact) bytes.resize(static_cast<size_t>(*entry.size));
  return bytes;
}

}  // namespace vornik

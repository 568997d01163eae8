#include "map/map_of_disk.h"

#include <map>
#include <tuple>

#include "directory/dos_name.h"
#include "image/logical_sector.h"

namespace vornik {

namespace {

using Key = std::tuple<int, int, int>;  // track, side, recorded sector number

struct Owner {
  CellKind kind;
  std::string name;
};

Key KeyOf(const DiskSector& at) { return {at.track, at.side, at.id}; }

// The directory's own sectors: the DOS's, or the walk's run of logical
// sectors.
void OwnDirectory(DiskState& st, const Listing& listing, std::map<Key, Owner>& owners) {
  const DosDisk& dos = listing.dos;
  if (!dos.dos.empty()) {
    owners[KeyOf(dos.gat)] = {CellKind::kDirectory, "GAT"};
    owners[KeyOf(dos.hit)] = {CellKind::kDirectory, "HIT"};
    for (const DiskSector& at : dos.entry_sectors) owners[KeyOf(at)] = {CellKind::kDirectory, "directory"};
    return;
  }
  for (int32_t l = st.dirstartsec; l <= st.direndsec && l >= 0; ++l) {
    try {
      LogicalToPhysical(st, l);
    } catch (...) {
      break;
    }
    owners[{st.TrkToFind, st.SideToFind, st.SecToFind}] = {CellKind::kDirectory, "directory"};
  }
}

}  // namespace

DiskMap MapOfDisk(DiskState& st, const Listing& listing, const std::vector<EntryCheck>& checks,
                  const std::string& caption) {
  std::map<Key, Owner> owners;
  OwnDirectory(st, listing, owners);
  // The files the DOS still counts own the sectors their copies read.
  for (size_t i = 0; i < listing.entries.size() && i < checks.size(); ++i) {
    const ListedEntry& entry = listing.entries[i];
    const DosEntry& facts = FactsOf(listing, entry);
    if (!facts.in_use) continue;
    const Owner owner{facts.system ? CellKind::kSystemFile : CellKind::kUserFile, DosName::FromItem(entry.text).Shown()};
    for (const DiskSector& at : checks[i].reads) owners.emplace(KeyOf(at), owner);
  }
  DiskMap map;
  map.caption = caption;
  const SectorSource& source = st.source;
  map.sides.resize(static_cast<size_t>(source.Sides()));
  for (int side = 0; side < source.Sides(); ++side) {
    auto& tracks = map.sides[static_cast<size_t>(side)].tracks;
    tracks.resize(static_cast<size_t>(source.Tracks()));
    for (int track = 0; track < source.Tracks(); ++track) {
      for (const StoredSector& s : source.OnTrack(track, side)) {
        const auto owner = owners.find({track, side, s.id});
        MapCell cell;
        cell.kind = owner == owners.end() ? CellKind::kFree : owner->second.kind;
        cell.damaged = IsDamaged(s.verdict);
        cell.title = (owner == owners.end() ? std::string("free") : owner->second.name) + ": track " +
                     std::to_string(track) + ", side " + std::to_string(side) + ", sector " + std::to_string(s.id);
        if (s.verdict != SectorVerdict::kIntact && s.verdict != SectorVerdict::kUnchecked)
          cell.title += " (" + std::string(VerdictName(s.verdict)) + ")";
        tracks[static_cast<size_t>(track)].push_back(std::move(cell));
      }
    }
  }
  return map;
}

}  // namespace vornik

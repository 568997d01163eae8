#include "extract/integrity.h"

#include <algorithm>

namespace vornik {

SectorCounts CountSectors(const SectorSource& source) {
  SectorCounts c;
  for (const StoredSector& s : source.Sectors()) {
    ++c.total;
    switch (s.verdict) {
      case SectorVerdict::kIntact: ++c.intact; break;
      case SectorVerdict::kUnchecked: ++c.unchecked; break;
      case SectorVerdict::kIdCrcError: ++c.id_crc_errors; break;
      case SectorVerdict::kDataCrcError: ++c.data_crc_errors; break;
      case SectorVerdict::kNoDataMark: ++c.no_data_mark; break;
      case SectorVerdict::kFlagged: ++c.flagged; break;
      case SectorVerdict::kTruncated: ++c.truncated; break;
    }
    if (IsDamaged(s.verdict)) ++c.damaged;
  }
  return c;
}

const char* IntegrityName(FileIntegrity integrity) {
  switch (integrity) {
    case FileIntegrity::kIntact: return "intact";
    case FileIntegrity::kDamaged: return "damaged";
    case FileIntegrity::kMissing: return "missing";
    case FileIntegrity::kUnchecked: return "unchecked";
  }
  return "missing";
}

FileVerdict JudgeCopy(const SectorSource& source, bool copied, const SectorReads& reads) {
  FileVerdict v;
  if (!copied) return v;
  bool checked = false;
  for (const DiskSector& at : reads) {
    const StoredSector* s = source.Find(at.track, at.side, at.id);
    if (!s || s->verdict == SectorVerdict::kUnchecked) continue;
    checked = true;
    const bool seen = std::any_of(v.bad.begin(), v.bad.end(), [&](const BadSector& b) { return b.at == at; });
    if (IsDamaged(s->verdict) && !seen) v.bad.push_back({at, s->verdict});
  }
  v.integrity = !v.bad.empty() ? FileIntegrity::kDamaged : checked ? FileIntegrity::kIntact : FileIntegrity::kUnchecked;
  return v;
}

std::vector<EntryCheck> CheckEntries(DiskState& st, const Listing& listing) {
  const int16_t spg = st.spg;
  const double fpb = st.fpb;
  const std::string copy_name = st.Copyfilename, file_name = st.Filename;
  std::vector<EntryCheck> checks(listing.entries.size());
  for (size_t i = 0; i < listing.entries.size(); ++i) {
    Notices ignored;
    const bool copied =
        CopyListedEntry(st, listing, listing.entries[i], false, ignored, &checks[i].reads) == CopyStatus::kCopied;
    checks[i].verdict = JudgeCopy(st.source, copied, checks[i].reads);
  }
  st.spg = spg;
  st.fpb = fpb;
  st.Copyfilename = copy_name;
  st.Filename = file_name;
  return checks;
}

}  // namespace vornik

#include "cli/image_report.h"

#include "directory/dos_name.h"
#include "directory/open_image.h"
#include "extract/copy_out_file.h"
#include "extract/safe_name.h"

namespace vornik::cli {

namespace {

const char* KindText(OpenKind kind) {
  switch (kind) {
    case OpenKind::kRefused: return "refused";
    case OpenKind::kTooLarge: return "too-large";
    case OpenKind::kUnreadable: return "unreadable";
    case OpenKind::kDamaged: return "damaged";
    case OpenKind::kListed: break;
  }
  return "";
}

// The error of an image that was not listed: the message the window showed
// or, for a quiet end without one, a sentence of what went wrong.
std::string OpenError(const OpenOutcome& outcome, const CliWindow& win) {
  if (win.ShowedMessage()) return win.LastMessage();
  if (outcome.kind == OpenKind::kDamaged) {
    return "image could not be read: " + (outcome.detail.empty() ? std::string("unknown fault") : outcome.detail);
  }
  return std::string("image not listed: ") + KindText(outcome.kind);
}

void FillGeometry(const DiskState& st, ImageReport& report) {
  report.format = st.filetype;
  report.summary = st.Disktype;
  report.newdos = st.newdosflag == 1;
  report.tracks = st.tracks;
  report.sides = st.sides;
  // The summary uses trkspt[0] for DMK and JV3; the DMK walk later replaces
  // spt with the pointer count of the first track record.
  report.sectors_per_track = st.jv1 == 1 ? st.spt : st.trkspt[0];
  report.density = st.dens;
  report.sectors_per_granule = st.spg;
  report.dir_first = st.dirstartsec;
  report.dir_last = st.direndsec;
}

// The first listed entry of that sector and slot. The lists were filled
// from the listing in its order, so the item given at place `given` has
// that entry's sector and slot unless its item data was changed since.
const ListedEntry* FindInReport(const ImageReport& report, int32_t sector, int32_t slot, int given) {
  const std::vector<ListedEntry>& entries = report.listing.entries;
  if (given >= 0 && static_cast<size_t>(given) < report.first_alike.size()) {
    const ListedEntry& own = entries[static_cast<size_t>(given)];
    if (own.sector == sector && own.slot == slot) return &entries[report.first_alike[static_cast<size_t>(given)]];
  }
  const auto at = ListedAt(report.listed_at, sector, slot);
  return at.empty() ? nullptr : &report.listing.entries[at.front().second];
}

}  // namespace

bool OpenForReport(DiskState& st, CliWindow& win, ImageInput& input, ImageReport& report, bool verify) {
  report.path = input.name;
  if (input.kind) {
    report.kind = input.kind;
    report.error = input.error;
    win.Note(report.error);
    return false;
  }
  OpenOutcome outcome = input.too_large ? TooLargeOutcome()
                        : input.in_memory ? OpenImageBytes(st, std::move(input.bytes), {.verify = verify})
                                          : OpenImage(st, input.name, {.verify = verify});
  win.Show(outcome.notices);
  report.listed = outcome.kind == OpenKind::kListed;
  if (!report.listed) {
    report.identified = outcome.identified;
    report.format = st.filetype;
    report.kind = KindText(outcome.kind);
    report.error = OpenError(outcome, win);
    if (!win.ShowedMessage()) win.Note(report.error);
    return false;
  }
  FillLists(outcome.listing, win.List1(), win.List2());
  report.listing = std::move(outcome.listing);
  report.listed_at = IndexListed(report.listing.entries);
  report.first_alike = FirstAlike(report.listed_at);
  FillGeometry(st, report);
  return true;
}

FileRow DescribeItem(CliWindow& win, const ImageReport& report, int index) {
  FileRow row;
  DescribeItem(win, report, index, row);
  return row;
}

void DescribeItem(CliWindow& win, const ImageReport& report, int index, FileRow& row) {
  row.item = win.List1().List(index);
  DosName::FromItem(row.item).Shown(row.shown);
  row.sector = win.List1().ItemData(index);
  row.entry = win.List2().ItemData(index);
  row.listed = FindInReport(report, row.sector, row.entry, win.List1().Given(index));
}

std::string ItemHostName(const std::string& item) { return SafeHostName(DosName::FromItem(item).CopyName()); }

bool CopyListedFile(DiskState& st, CliWindow& win, const ImageReport& report, FileRow& row, bool exact,
                    SectorReads* reads, bool measure) {
  st.Copyfilename.clear();
  Notices notices;
  const CopyStatus status = row.listed ? CopyListedEntry(st, report.listing, *row.listed, exact, notices, reads, measure)
                                       : CopyStatus::kOutsideDirectory;
  // The window's message names no file; here many may fail in one run.
  for (Notice& n : notices)
    if (n.text == kMsgCopyFailed) n.text = row.shown + ": " + n.text;
  win.Show(notices);
  if (status == CopyStatus::kOutsideDirectory) {
    // The copy button does nothing for such an entry.
    row.error = "the entry's directory sector lies outside the directory";
    win.Note(Latin1ToUtf8(row.shown) + ": " + row.error);
  } else if (status == CopyStatus::kFailed) {
    row.error = kMsgCopyFailed;
  }
  const bool ok = status == CopyStatus::kCopied;
  row.pc_name = st.Copyfilename.empty() ? ItemHostName(row.item) : SafeHostName(st.Copyfilename);
  row.copied = ok;
  row.bytes = ok ? AsIndex(st.fpb) : 0;
  return ok;
}

}  // namespace vornik::cli

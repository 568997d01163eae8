// What the command-line program learns of one image: the open's outcome,
// the summary and geometry as the open left them, and the listed files with
// the result of copying each one.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli_window.h"
#include "cli/image_input.h"
#include "directory/read_directory.h"
#include "extract/integrity.h"
#include "state/disk_state.h"

namespace vornik::cli {

// Exit statuses; with several images or files the largest one that applies.
enum ExitCode : int {
  kExitOk = 0,
  kExitUsage = 1,
  kExitImage = 2,  // refused, unreadable, damaged or too large
  kExitCopy = 3,   // a copy failed, or a name is not on the disk
  kExitWrite = 4,  // a write failed or was refused
  kExitDamaged = 5,  // check: a sector or a file is damaged or missing
};

struct FileRow {
  std::string item;     // the 12-character list text (disk bytes)
  std::string shown;    // NAME/EXT as the copy frame shows it (disk bytes)
  std::string pc_name;  // the safe name a copy is written under (UTF-8)
  int32_t sector = 0;   // List1 item data
  int32_t entry = 0;    // List2 item data
  bool copied = false;
  int64_t bytes = 0;    // fpb when copied
  std::string error;    // message text when not copied
  const ListedEntry* listed = nullptr;  // the entry in the report's listing
  const EntryCheck* check = nullptr;    // check: what its copy read and the verdict
};

struct ImageReport {
  std::string path;
  bool listed = false;
  const char* kind = "";  // when not listed: "refused", "too-large", "unreadable", "damaged"
  std::string error;      // when not listed
  bool identified = false;  // when not listed: the format was told all the same

  std::string format;   // filetype
  std::string summary;  // Disktype
  bool newdos = false;
  int tracks = 0;
  int sides = 0;
  int sectors_per_track = 0;  // the spt the summary line used
  int density = 0;
  int sectors_per_granule = 0;  // spg as the open left it
  int32_t dir_first = 0;
  int32_t dir_last = 0;
  Listing listing;             // the entries and what the DOS says of them
  // (directory sector, slot) of each entry with its place, sorted: the first
  // entry of a sector and slot is found by halving, as FindListed finds it.
  ListedIndex listed_at;
  // For each entry, the first entry of its sector and slot (FirstAlike).
  std::vector<uint32_t> first_alike;
  std::vector<FileRow> files;
  // check: the sector verdicts and each listed entry's check, in listing order.
  SectorCounts sectors;
  std::vector<EntryCheck> checks;
};

// Opens the input (by its path, or its bytes moved out) on the fresh state
// and window and fills the image part of the report; `verify` checks every
// sector's CRCs. An input that carries an error is reported without an
// open. Returns whether the directory was listed.
bool OpenForReport(DiskState& st, CliWindow& win, ImageInput& input, ImageReport& report, bool verify = false);

// The row of list item `index` (texts and item data) without copying.
FileRow DescribeItem(CliWindow& win, const ImageReport& report, int index);
// The same into a fresh `row` where it is to stay (a row of report.files).
void DescribeItem(CliWindow& win, const ImageReport& report, int index, FileRow& row);

// The name a copy of a list item takes on the PC, from the item's text (a
// copy that reads its entry takes it from the entry's own name).
std::string ItemHostName(const std::string& item);

// Copies the entry of `row` as the copy button does (with `exact`, the DOS's
// size); fills the copy part of `row`. Returns whether copybuf[0..fpb)
// holds the file; with `measure` only the size is wanted and copybuf is
// left alone.
bool CopyListedFile(DiskState& st, CliWindow& win, const ImageReport& report, FileRow& row, bool exact = false,
                    SectorReads* reads = nullptr, bool measure = false);

}  // namespace vornik::cli

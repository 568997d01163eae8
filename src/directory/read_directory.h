// The directory walk: reads the directory sectors from dirstartsec + 2 to
// direndsec, at most the 32 entry sectors a directory entry code can name,
// and lists every used entry, with the format and summary texts the window
// shows beside the list.
#pragma once

#include <string>
#include <vector>

#include "state/disk_state.h"
#include "state/messages.h"
#include "state/sorted_list.h"

namespace vornik {

// One listed directory entry: the 12-character item text (8 name bytes, a
// blank, 3 extension bytes, raw), the logical number of the directory
// sector that holds it, and its index 0..7 in that sector.
struct ListedEntry {
  std::string text;
  int32_t sector = 0;
  int32_t slot = 0;
};

struct Listing {
  std::string filetype;  // the format box: "JV1", "JV3" or "DMK"
  std::string summary;   // the summary line, Disktype
  bool newdos = false;   // the DOS box says "  Newdos/80"
  std::vector<ListedEntry> entries;  // in disk order
  bool cut = false;  // the directory runs on past the 32 entry sectors a directory can address
};

Listing ReadDirectory(DiskState& st, Notices& notices);

// Fills the two sorted lists as the walk offers the entries: the same text
// to both, the directory sector as List1's item data, the slot as List2's.
void FillLists(const Listing& listing, SortedList& list1, SortedList& list2);

}  // namespace vornik

// The directory walk: reads the directory sectors from dirstartsec + 2 to
// direndsec, at most the 32 entry sectors a directory entry code can name,
// and lists every used entry, with the format and summary texts the window
// shows beside the list.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "dos/dos.h"
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
  int dos = -1;    // its place in Listing::dos.entries, -1 when the DOS layer does not know it
  DosEntry bytes;  // when it does not: what the entry's own bytes say
};

struct Listing {
  std::string filetype;  // the format box: "JV1", "JV3" or "DMK"
  std::string summary;   // the summary line, Disktype
  bool newdos = false;   // the DOS box says "  Newdos/80"
  std::vector<ListedEntry> entries;  // in disk order
  bool cut = false;  // the directory runs on past the 32 entry sectors a directory can address
  bool image_ends = false;  // the image ends inside the directory: the entries past its end are not listed
  bool unread_block = false;  // a JV3 image goes on in a third header block, which is not read
  DosDisk dos;       // what the disk's DOS says; dos.dos is empty when none is recognised
  bool from_dos = false;  // the DOS layer's directory is listed, not the walk's
};

// The listed entries by (directory sector, slot), each with its place in
// the list, sorted: those of one sector and slot are found by halving.
using ListedIndex = std::vector<std::pair<uint64_t, uint32_t>>;
ListedIndex IndexListed(const std::vector<ListedEntry>& entries);
// The places of the entries of that sector and slot, in list order.
std::span<const ListedIndex::value_type> ListedAt(const ListedIndex& index, int32_t sector, int32_t slot);
// For the entry at each place, the place of the first entry of its sector
// and slot: its own, unless an entry before it has the same.
std::vector<uint32_t> FirstAlike(const ListedIndex& index);

// An entry's facts: the DOS layer's, or its own bytes'.
const DosEntry& FactsOf(const Listing& listing, const ListedEntry& entry);
// Whether those facts are the recognised DOS's (its size and date may be
// trusted), not read from the entry's own bytes.
bool DosKnows(const Listing& listing, const ListedEntry& entry);

Listing ReadDirectory(DiskState& st, Notices& notices);

// The directory an opened image is listed by: the walk's, with what the
// DOS says of each entry; or, where the DOS layer recognises the disk and
// the walk finds no directory or another one, the DOS's own directory
// (dirstartsec and direndsec then name its GAT and its last entry sector).
Listing ListDirectory(DiskState& st, Notices& notices);

// Fills the two sorted lists as the walk offers the entries: the same text
// to both, the directory sector as List1's item data, the slot as List2's.
void FillLists(const Listing& listing, SortedList& list1, SortedList& list2);

}  // namespace vornik

// JV3 header blocks: the first table at the start of the image, and a
// second one right after the first block's data when every entry of the
// first is in use and a whole table fits. A third is never read.
#pragma once

#include <cstdint>
#include <span>

namespace vornik {

struct Jv3Blocks {
  int count = 1;           // blocks read: 1 or 2
  int64_t header2 = -1;    // offset of the second table
  int64_t data2 = -1;      // offset of the data of its first entry
  bool third_unread = false;  // the second is full too and another whole table follows
};

// `image`: the image file's bytes.
Jv3Blocks Jv3BlocksOf(std::span<const uint8_t> image);
// Offset of table entry n, counted through the blocks (0..2900 in the
// first, 2901..5801 in the second).
int64_t Jv3EntryOffset(const Jv3Blocks& blocks, int n);
// How many of the first `entries` entries of `table` are left when the
// free ones (track byte FF) behind the last one in use are dropped: they
// hold nothing to list or to find.
int Jv3EntriesInUse(const uint8_t* table, int entries);

}  // namespace vornik

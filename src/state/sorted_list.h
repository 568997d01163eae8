// A list box that keeps its items sorted by text, as List1 and List2 do.
// Texts hold the raw disk bytes. They compare byte by byte by unsigned
// value, except that a-z compare as A-Z; an item equal to existing items
// lands after them. The window and the command-line program only show it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vornik {

class SortedList {
 public:
  void Clear();
  // Adds an item at its sorted place; returns that index (also NewIndex()).
  int AddItem(const std::string& text);
  int NewIndex() const { return new_index_; }
  // Empties the list and adds every (text, item data) in the given order,
  // as AddItem and SetItemData one by one would, sorting once.
  void Fill(std::vector<std::pair<std::string, int32_t>> items);
  // Empties the list and fills it with the texts of `model`, last filled by
  // Fill and not changed since, in its order: the same texts given in the
  // same order sort alike. data[i] goes with the text given i-th.
  void FillLike(const SortedList& model, const std::vector<int32_t>& data);
  int ListCount() const { return static_cast<int>(items_.size()); }
  const std::string& List(int index) const { return items_.at(static_cast<size_t>(index)).text; }  // index must be valid
  // Where the item at `index` was given to the last Fill (or FillLike), -1
  // for an index out of range or once an item was added since.
  int Given(int index) const {
    if (index < 0 || index >= ListCount() || given_.size() != items_.size()) return -1;
    return static_cast<int>(given_[static_cast<size_t>(index)]);
  }
  int32_t ItemData(int index) const {  // 0 for an index out of range
    if (index < 0 || index >= ListCount()) return 0;
    return items_[static_cast<size_t>(index)].data;
  }
  void SetItemData(int index, int32_t value);
  int ListIndex() const { return list_index_; }  // selected index, -1 for none
  void SetListIndex(int index);                  // out-of-range selects none

  // The collation of the list: negative, 0 or positive as a sorts before,
  // equal to, or after b.
  static int Compare(const std::string& a, const std::string& b);

 private:
  struct Item {
    std::string text;
    int32_t data = 0;
  };
  std::vector<Item> items_;
  std::vector<uint32_t> given_;  // after Fill: where each item was given
  int new_index_ = -1;
  int list_index_ = -1;
};

}  // namespace vornik

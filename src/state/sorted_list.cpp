#include "state/sorted_list.h"

#include <algorithm>
#include <compare>
#include <cstring>

namespace vornik {

namespace {
unsigned Fold(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }

// A text of up to 16 bytes as two numbers that order as the collation does:
// its folded bytes big-endian, padded with zeros. Where they are equal one
// text is the other with zeros added, and the shorter sorts first; then the
// place it was given in, so that equal texts keep their order.
constexpr size_t kKeyBytes = 16;
struct SortKey {
  uint64_t high = 0, low = 0;
  size_t size = 0;
  uint32_t given = 0;
  auto operator<=>(const SortKey&) const = default;
};

// Eight bytes as a big-endian number, each of a-z made A-Z: for a byte
// below 0x80, adding 0x1F sets its top bit from 'a' on, adding 0x05 from
// '{' on, and neither carries into the next byte.
uint64_t FoldedWord(const unsigned char* bytes) {
  constexpr uint64_t kOnes = 0x0101010101010101;
  uint64_t word = 0;
  for (size_t i = 0; i < 8; ++i) word = word << 8 | bytes[i];
  const uint64_t low7 = word & (kOnes * 0x7F);
  const uint64_t lower = (low7 + kOnes * 0x1F) & ~(low7 + kOnes * 0x05) & ~word & (kOnes * 0x80);
  return word - (lower >> 2);  // 0x20 off each
}

SortKey KeyOf(const std::string& text, uint32_t given) {
  unsigned char bytes[kKeyBytes] = {};
  std::memcpy(bytes, text.data(), std::min(text.size(), kKeyBytes));
  return {FoldedWord(bytes), FoldedWord(bytes + 8), text.size(), given};
}
}  // namespace

int SortedList::Compare(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const unsigned x = Fold(static_cast<unsigned char>(a[i]));
    const unsigned y = Fold(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

void SortedList::Clear() {
  items_.clear();
  given_.clear();
  new_index_ = -1;
  list_index_ = -1;
}

int SortedList::AddItem(const std::string& text) {
  // After every item that sorts before or equal to the new one.
  auto at = std::upper_bound(items_.begin(), items_.end(), text, [](const std::string& t, const Item& item) {
    return Compare(t, item.text) < 0;
  });
  const int index = static_cast<int>(at - items_.begin());
  items_.insert(at, Item{text, 0});
  given_.clear();
  if (list_index_ >= index) ++list_index_;  // the selected item moved down one place
  new_index_ = index;
  return index;
}

void SortedList::Fill(std::vector<std::pair<std::string, int32_t>> items) {
  Clear();
  if (items.empty()) return;
  // Sorted by position, equal texts keeping their order; the last one given
  // goes behind every item equal to it.
  given_.resize(items.size());
  for (uint32_t i = 0; i < given_.size(); ++i) given_[i] = i;
  if (std::all_of(items.begin(), items.end(), [](const auto& item) { return item.first.size() <= kKeyBytes; })) {
    // List texts are 12 bytes: their keys sort them.
    std::vector<SortKey> keys(items.size());
    for (uint32_t i = 0; i < keys.size(); ++i) keys[i] = KeyOf(items[i].first, i);
    std::sort(keys.begin(), keys.end());
    for (size_t k = 0; k < keys.size(); ++k) given_[k] = keys[k].given;
  } else {
    // Compare() is a byte comparison of the texts with a-z folded: fold
    // each text once and compare the folded ones as strings.
    std::vector<std::string> folded(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
      folded[i] = items[i].first;
      for (char& c : folded[i]) c = static_cast<char>(Fold(static_cast<unsigned char>(c)));
    }
    std::stable_sort(given_.begin(), given_.end(), [&](uint32_t a, uint32_t b) { return folded[a] < folded[b]; });
  }
  items_.reserve(items.size());
  for (const uint32_t i : given_) {
    if (i == items.size() - 1) new_index_ = static_cast<int>(items_.size());
    items_.push_back(Item{std::move(items[i].first), items[i].second});
  }
}

void SortedList::FillLike(const SortedList& model, const std::vector<int32_t>& data) {
  Clear();
  if (model.given_.size() != model.items_.size() || data.size() != model.items_.size()) return;
  items_.reserve(model.items_.size());
  for (size_t k = 0; k < model.items_.size(); ++k) items_.push_back(Item{model.items_[k].text, data[model.given_[k]]});
  given_ = model.given_;
  new_index_ = model.new_index_;
}

void SortedList::SetItemData(int index, int32_t value) {
  if (index < 0 || index >= ListCount()) return;
  items_[static_cast<size_t>(index)].data = value;
}

void SortedList::SetListIndex(int index) { list_index_ = (index >= 0 && index < ListCount()) ? index : -1; }

}  // namespace vornik

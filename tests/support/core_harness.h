// Opens builder images through the core the way the Open command does, and
// copies listed files the way the copy button does.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "extract/copy_out_file.h"
#include "fake_window.h"
#include "image/open_image.h"
#include "image_builder.h"
#include "state/disk_state.h"

namespace vornik::testing {

struct Opened {
  DiskState st;
  FakeWindow win;
  OpenOutcome out;

  // Opens another image into the same state and window.
  OpenOutcome Open(Bytes bytes) {
    win.messages.clear();
    out = OpenImageBytes(st, win, std::move(bytes));
    return out;
  }
  std::vector<std::string> Items() const {
    std::vector<std::string> v;
    for (int i = 0; i < win.list1.ListCount(); ++i) v.push_back(win.list1.List(i));
    return v;
  }
  // Index in List1 of the entry NAME (padded to 8) / EXT (padded to 3), or -1.
  int IndexOf(const std::string& name, const std::string& ext) const {
    std::string text = name;
    text.resize(8, ' ');
    text += ' ' + ext;
    text.resize(12, ' ');
    for (int i = 0; i < win.list1.ListCount(); ++i)
      if (win.list1.List(i) == text) return i;
    return -1;
  }
  // Selects item i and runs the copy; the copied bytes are Copied().
  bool Copy(int i) {
    win.messages.clear();
    win.list1.SetListIndex(i);
    st.secnum = win.list1.ItemData(i);
    return CopyOutFile(st, win);
  }
  bool Copy(const std::string& name, const std::string& ext) { return Copy(IndexOf(name, ext)); }
  Bytes Copied() const { return Bytes(st.copybuf.begin(), st.copybuf.begin() + long(st.fpb)); }
};

inline std::unique_ptr<Opened> OpenBytes(Bytes bytes) {
  auto o = std::make_unique<Opened>();
  o->Open(std::move(bytes));
  return o;
}

// The data of logical sectors first..last of a disk, one after another.
inline Bytes SectorsOf(Disk& disk, const std::vector<int>& logical) {
  Bytes b;
  for (int l : logical) b.insert(b.end(), disk.Logical(l).data.begin(), disk.Logical(l).data.end());
  return b;
}

inline std::vector<int> Range(int first, int last) {
  std::vector<int> v;
  for (int i = first; i <= last; ++i) v.push_back(i);
  return v;
}

// Every sector filled with its own pattern, the directory marked at
// dir_first..dir_first+dir_count-1 with the entries from its third sector on.
inline void Populate(Disk& disk, int dir_first, int dir_count, const std::vector<Entry>& entries,
                     uint8_t mark = kMarkDir) {
  for (int l = 0; l < disk.LogicalCount(); ++l) FillPattern(disk, l);
  MarkDirectory(disk, dir_first, dir_count, mark);
  PutEntries(disk, dir_first, entries);
}

// A 40-track JV1 disk with its directory on track 17.
inline Disk Jv1With(const std::vector<Entry>& entries, int tracks = 40) {
  Disk disk = MakeJv1Disk(tracks);
  Populate(disk, 170, 10, entries);
  SetBootSignature(disk);
  return disk;
}

// Three ordinary files, for tests that only need a listed directory.
inline std::vector<Entry> ThreeFiles() {
  return {{0x10, "README", "TXT", 5, {Slot(5, 0, 1)}},
          {0x10, "HELLO", "BAS", 5, {Slot(6, 0, 1)}},
          {0x10, "HELLO", "CMD", 5, {Slot(7, 0, 1)}}};
}

}  // namespace vornik::testing

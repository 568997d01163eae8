// Opens damaged images the way the Open command does, copies every listed
// file the way the copy button does, writes the copies into a scratch
// folder, and checks that nothing went wrong on the way.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "extract/copy_out_file.h"
#include "extract/write_copy.h"
#include "image/open_image.h"
#include "state/disk_state.h"
#include "support/fake_window.h"

namespace vornik::sweep {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const fs::path& path);

// The sample images (project-made), sorted by name; empty when the folder is missing.
std::vector<fs::path> SampleImages();

// Every entry under `dir`, as paths relative to it.
std::set<std::string> Listing(const fs::path& dir);

struct Result {
  OpenKind kind = OpenKind::kListed;
  int listed = 0;
  int copied = 0;
  double seconds = 0;  // open + every copy (writes not counted)
};

// A scratch folder `base/out` that the copies are written into, with the
// current folder switched to it while an image is processed.
class Scratch {
 public:
  Scratch();
  ~Scratch();
  const fs::path& base() const { return base_; }
  const fs::path& out() const { return out_; }

  // Opens `bytes`, copies every listed entry whose sector lies in the
  // directory; when `write`, saves each copy (SaveAsFile, overwrite
  // answered Yes) and writes it again with WriteFileAtomic.
  Result Process(Bytes bytes, bool write);

 private:
  fs::path base_, out_, old_cwd_;
};

bool IsOutcomeKind(OpenKind kind);

}  // namespace vornik::sweep

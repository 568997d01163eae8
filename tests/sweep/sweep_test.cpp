// Each sample image truncated at every 64-byte boundary and with single
// bytes flipped in its header and directory: the open and the copies must
// end in one of the open's outcomes, quickly, and write nothing outside
// the target folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "image/find_sector.h"
#include "image/logical_sector.h"
#include "state/disk_error.h"
#include "sweep_support.h"

namespace vornik::sweep {
namespace {

constexpr double kMaxSeconds = 1.0;

// The byte offsets of the directory sectors of an intact image.
std::vector<size_t> DirectoryBytes(const Bytes& image) {
  DiskState st;
  testing::FakeWindow win;
  if (OpenImageBytes(st, win, image).kind != OpenKind::kListed) return {};
  std::vector<size_t> at;
  for (int32_t l = st.dirstartsec; l <= st.direndsec; ++l) {
    try {
      LogicalToPhysical(st, l);
    } catch (const DiskError&) {
      continue;
    }
    FindSector(st, win);
    if (st.errflg != 0) continue;
    const int64_t first = AsIndex(st.fpa);
    for (int64_t b = 0; b < 256LL * st.secstep; ++b)
      if (first + b >= 0 && first + b < int64_t(image.size())) at.push_back(size_t(first + b));
  }
  return at;
}

// Runs one damaged image and reports what went wrong, if anything.
void Check(Scratch& scratch, const std::string& what, Bytes bytes, bool write, int* failures) {
  const Result r = scratch.Process(std::move(bytes), write);
  if (!IsOutcomeKind(r.kind) || r.seconds >= kMaxSeconds) {
    if (++*failures <= 10)
      ADD_FAILURE() << what << ": outcome " << int(r.kind) << " after " << r.seconds << " s";
  }
}

// Nothing but the target folder and plain files directly in it.
void ExpectOnlyInTarget(const Scratch& scratch) {
  for (const std::string& name : Listing(scratch.base())) {
    if (name == "out") continue;
    const bool inside = name.rfind("out/", 0) == 0 && name.find('/', 4) == std::string::npos;
    EXPECT_TRUE(inside) << "written outside the target folder: " << name;
    if (inside) {
      EXPECT_TRUE(fs::is_regular_file(scratch.base() / name)) << name;
    }
  }
}

class Sweep : public ::testing::Test {
 protected:
  void SetUp() override {
    images_ = SampleImages();
    if (images_.empty()) GTEST_SKIP() << "no sample images in " << VORNIK_SAMPLES;
  }
  std::vector<fs::path> images_;
};

TEST_F(Sweep, IntactSamplesListAndCopyEveryFile) {
  for (const fs::path& p : images_) {
    Scratch scratch;
    const Result r = scratch.Process(ReadFile(p), true);
    EXPECT_EQ(r.kind, OpenKind::kListed) << p;
    EXPECT_GT(r.listed, 0) << p;
    EXPECT_EQ(r.copied, r.listed) << p;
    EXPECT_LT(r.seconds, kMaxSeconds) << p;
    // Each copy twice: under its safe name and as again-NAME.
    EXPECT_EQ(Listing(scratch.out()).size(), size_t(2 * r.copied)) << p;
    ExpectOnlyInTarget(scratch);
  }
}

TEST_F(Sweep, TruncatedAtEvery64ByteBoundary) {
  for (const fs::path& p : images_) {
    SCOPED_TRACE(p.filename().string());
    const Bytes image = ReadFile(p);
    Scratch scratch;
    int failures = 0;
    for (size_t len = 0, n = 0; len < image.size(); len += 64, ++n) {
      // Writing costs an fsync per file: write the copies of every 32nd cut only.
      Check(scratch, "cut at " + std::to_string(len), Bytes(image.begin(), image.begin() + long(len)), n % 32 == 0,
            &failures);
    }
    EXPECT_EQ(failures, 0);
    ExpectOnlyInTarget(scratch);
  }
}

// Flips one byte at each chosen offset, the mask cycling so that low, high
// and all bits are each tried somewhere.
void FlipSweep(const fs::path& p, const std::vector<size_t>& offsets) {
  static const uint8_t kMasks[] = {0xFF, 0x01, 0x80, 0x10, 0x7F, 0x02};
  const Bytes image = ReadFile(p);
  Scratch scratch;
  int failures = 0;
  for (size_t k = 0; k < offsets.size(); ++k) {
    Bytes b = image;
    const uint8_t mask = kMasks[k % std::size(kMasks)];
    b[offsets[k]] ^= mask;
    char what[64];
    std::snprintf(what, sizeof what, "byte %zu ^ 0x%02X", offsets[k], mask);
    Check(scratch, what, std::move(b), k % 8 == 0, &failures);
  }
  EXPECT_EQ(failures, 0);
  ExpectOnlyInTarget(scratch);
}

TEST_F(Sweep, HeaderBytesFlipped) {
  for (const fs::path& p : images_) {
    SCOPED_TRACE(p.filename().string());
    const size_t size = fs::file_size(p);
    std::vector<size_t> offsets;
    // The first 256 bytes hold the DMK header and first ID-mark table, the
    // JV1 boot sector, the start of a JV3 sector table: every byte of them.
    for (size_t i = 0; i < std::min<size_t>(256, size); ++i) offsets.push_back(i);
    // The rest of a JV3 header (sector table, write-protect byte), sampled.
    for (size_t i = 256; i < std::min<size_t>(34 * 256 + 1, size); i += 13) offsets.push_back(i);
    FlipSweep(p, offsets);
  }
}

TEST_F(Sweep, DirectoryBytesFlipped) {
  for (const fs::path& p : images_) {
    SCOPED_TRACE(p.filename().string());
    const std::vector<size_t> dir = DirectoryBytes(ReadFile(p));
    ASSERT_FALSE(dir.empty());
    // Every third byte: every field of every entry is hit in some entry.
    std::vector<size_t> offsets;
    for (size_t i = 0; i < dir.size(); i += 3) offsets.push_back(dir[i]);
    FlipSweep(p, offsets);
  }
}

// Inputs the fuzzer once broke the core with.
TEST(SweepRegressions, FuzzFindingsEndCleanly) {
  std::error_code ec;
  Scratch scratch;
  int failures = 0, count = 0;
  for (const auto& e : fs::directory_iterator(VORNIK_REGRESSIONS, ec)) {
    if (!e.is_regular_file() || e.path().filename() == "README.md") continue;
    ++count;
    Check(scratch, e.path().filename().string(), ReadFile(e.path()), true, &failures);
  }
  EXPECT_EQ(failures, 0);
  ExpectOnlyInTarget(scratch);
  if (count == 0) GTEST_SKIP() << "no regression inputs";
}

}  // namespace
}  // namespace vornik::sweep

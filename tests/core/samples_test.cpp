// The committed sample images: up to date with their generator, and read
// back whole through the core.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/core_harness.h"

namespace fs = std::filesystem;

namespace vornik::testing {
namespace {

Bytes ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

const char* const kSamples[] = {"newdos80-jv1.dsk", "double-sided.jv3", "double-density.dmk"};

TEST(Samples, CommittedImagesMatchTheGenerator) {
  char tmpl[] = "/tmp/vornik-samples-XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  const std::string cmd = std::string(VORNIK_MAKE_SAMPLES) + " " + tmpl;
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  for (const char* name : kSamples) {
    const Bytes made = ReadFile(fs::path(tmpl) / name);
    EXPECT_FALSE(made.empty()) << name;
    EXPECT_TRUE(made == ReadFile(fs::path(VORNIK_SAMPLES_DIR) / name)) << name << ": run make_samples samples/";
  }
  fs::remove_all(tmpl);
}

// A load module: type-1 records (length, address, code) up to a type-2 record.
bool IsLoadModule(const Bytes& b) {
  size_t at = 0;
  while (at + 1 < b.size()) {
    const uint8_t type = b[at], len = b[at + 1];
    if (type == 0x02) return len == 2 && at + 4 <= b.size();
    if (type != 0x01) return false;
    at += 2 + (len < 3 ? len + 256 : len);
  }
  return false;
}

class Sample : public ::testing::TestWithParam<const char*> {};

TEST_P(Sample, ListsAndCopiesItsFiles) {
  auto o = OpenBytes(ReadFile(fs::path(VORNIK_SAMPLES_DIR) / GetParam()));
  ASSERT_EQ(o->out.kind, OpenKind::kListed) << o->out.detail;
  EXPECT_EQ(o->Items(), (std::vector<std::string>{"HELLO    BAS", "HELLO    CMD", "NOTES    TXT", "README   TXT"}));
  ASSERT_TRUE(o->Copy("HELLO", "CMD"));
  EXPECT_TRUE(IsLoadModule(o->Copied()));
  ASSERT_TRUE(o->Copy("README", "TXT"));
  const Bytes readme = o->Copied();
  EXPECT_EQ(readme.size(), 8u * 256);  // its sector count, over the extension entry
  const std::string text(readme.begin(), readme.end());
  EXPECT_EQ(text.rfind("VORNIK SAMPLE DISK", 0), 0u);
  EXPECT_NE(text.find("-- end of README --"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Images, Sample, ::testing::ValuesIn(kSamples), [](const auto& info) {
  std::string n = info.param;
  for (char& c : n)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return n;
});

}  // namespace
}  // namespace vornik::testing

// The disk map's SVG: one titled cell per grid position, well-formed XML
// (checked with xmllint when it is installed) whatever bytes the titles hold.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "map/disk_map.h"

namespace vornik {
namespace {

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

DiskMap HostileMap() {
  std::string every_byte;
  for (int b = 0; b < 256; ++b) every_byte += char(b);
  DiskMap m;
  m.caption = "\xFF\xFF/\x01<&>";
  m.sides.resize(2);
  m.sides[0].tracks = {{{CellKind::kDirectory, false, every_byte}, {CellKind::kUserFile, true, "A/B"}},
                       {{CellKind::kSystemFile, false, ""}, {}, {CellKind::kFree, false, ""}, {}},
                       {}};
  m.sides[1].tracks = {{{CellKind::kUnowned, true, "<\"&'>"}}};
  return m;
}

TEST(DiskMap, OneTitledCellPerCellOfEachSide) {
  const std::string svg = RenderDiskMapSvg(HostileMap());
  EXPECT_EQ(Count(svg, "</title></rect>"), 2u + 4 + 1);  // positions past a track's end stay blank
  EXPECT_NE(svg.find("Not in the image  (19)"), std::string::npos);  // 17 blank, 2 drawn
  EXPECT_EQ(Count(svg, "<line"), 2u * 2 * 2 + 2);          // a halo and a cross per damaged cell, one in the legend
  EXPECT_EQ(Count(svg, "Side "), 2u);
}

TEST(DiskMap, TitleBytesAreEscapedOrSpelt) {
  const std::string svg = RenderDiskMapSvg(HostileMap());
  EXPECT_NE(svg.find("&lt;&quot;&amp;'&gt;"), std::string::npos);
  EXPECT_NE(svg.find("\\x00\\x01"), std::string::npos);
  EXPECT_NE(svg.find("~\\x7F\\x80"), std::string::npos);
  EXPECT_NE(svg.find("\\x9F\xC2\xA0"), std::string::npos);  // 0xA0 on is Latin-1 in UTF-8
  EXPECT_NE(svg.find("\xC3\xBF\xC3\xBF/\\x01&lt;&amp;&gt;"), std::string::npos);
  for (const unsigned char c : svg) EXPECT_TRUE(c >= 0x20 || c == '\n') << int(c);
}

TEST(DiskMap, IsWellFormedXml) {
  if (std::system("xmllint --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "xmllint is not installed";
  for (const DiskMap& map : {HostileMap(), DiskMap{}}) {
    const auto path = std::filesystem::temp_directory_path() / ("vornik-map-" + std::to_string(::getpid()) + ".svg");
    std::ofstream(path, std::ios::binary) << RenderDiskMapSvg(map);
    EXPECT_EQ(std::system(("xmllint --noout '" + path.string() + "'").c_str()), 0);
    std::filesystem::remove(path);
  }
}

}  // namespace
}  // namespace vornik

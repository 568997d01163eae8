// Writes the hand-made part of the fuzz seed corpus: small images of every
// format built with the test image builder, each with a directory whose
// files use several extents, an extension entry, both sides, numbering
// from 1 and the Newdos/80 mark, so the fuzzer starts from images that
// reach the directory walk and the copy.
//   make_seeds OUTDIR
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "image_builder.h"

namespace t = vornik::testing;

namespace {

t::Layout Uniform(int tracks, int sides, int sectors, bool dd, int base = 0) {
  t::Layout l;
  l.tracks = tracks;
  l.sides = sides;
  l.normal = {sectors, dd, false};
  l.first_sector = base;
  return l;
}

// A directory of five files: one extent, two extents over a track boundary,
// an extension entry, an empty file and a file with a zero sector count;
// the extension entry (last) goes to entry 0 of the fourth directory sector.
std::vector<t::Entry> Files() {
  t::Entry big{0x10, "BIG", "DAT", 40, {t::Slot(3, 0, 2), t::Slot(5, 1, 3), t::Link(1, 0)}, true};
  t::Entry ext{0x90, "BIG", "DAT", 0, {t::Slot(8, 0, 2)}, true};
  return {{0x10, "README", "TXT", 5, {t::Slot(2, 0, 1)}},
          {0x10, "HELLO", "BAS", 7, {t::Slot(10, 0, 1), t::Slot(11, 1, 1)}},
          {0x10, "EMPTY", "", 0, {}},
          {0x10, "ZERO", "CMD", 0, {t::Slot(12, 0, 1)}},
          big, ext};
}

void Populate(t::Disk& d, int dir_first, int dir_count) {
  for (int l = 0; l < d.LogicalCount(); ++l) t::FillPattern(d, l);
  t::MarkDirectory(d, dir_first, dir_count);
  const std::vector<t::Entry> files = Files();
  std::vector<t::Entry> first(files.begin(), files.begin() + 5);
  t::PutEntries(d, dir_first, first);
  t::PutEntry(d, dir_first + 3, 0, files.back());
}

t::Disk WithDirectory(const t::Layout& l) {
  t::Disk d = t::MakeDisk(l);
  Populate(d, d.TrackStart(17), int(d.At(17, 0).sectors.size()));
  return d;
}

bool Write(const std::string& dir, const std::string& name, const t::Bytes& bytes) {
  std::ofstream out(dir + "/" + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds OUTDIR\n");
    return 1;
  }
  const std::string dir = argv[1];
  bool ok = true;

  t::Disk jv1 = t::MakeJv1Disk(20);
  Populate(jv1, 170, 10);
  t::SetBootSignature(jv1);
  ok &= Write(dir, "hand-jv1.dsk", t::ToJv1(jv1));
  t::SetNewdosMark(jv1, 0, 15);
  ok &= Write(dir, "hand-jv1-newdos.dsk", t::ToJv1(jv1));

  ok &= Write(dir, "hand-jv3-ss-sd.jv3", t::ToJv3(WithDirectory(Uniform(20, 1, 10, false))));
  t::Disk jv3ds = WithDirectory(Uniform(20, 2, 18, true, 1));
  ok &= Write(dir, "hand-jv3-ds-dd-from1.jv3", t::ToJv3(jv3ds));
  ok &= Write(dir, "hand-jv3-ds-sidemajor.jv3", t::ToJv3(jv3ds, {t::Jv3Order::kSideMajor, 0}));
  t::Disk jv3nd = WithDirectory(Uniform(20, 1, 10, false));
  t::SetNewdosMark(jv3nd, 1, 10);
  ok &= Write(dir, "hand-jv3-newdos-track1.jv3", t::ToJv3(jv3nd));

  ok &= Write(dir, "hand-dmk-ss-sd.dmk", t::ToDmk(WithDirectory(Uniform(20, 1, 10, false))));
  ok &= Write(dir, "hand-dmk-ds-dd.dmk", t::ToDmk(WithDirectory(Uniform(20, 2, 18, true))));

  // Single density stored doubled, a double-density rest (mixed density)
  // and Newdos/80.
  t::Layout mixed = Uniform(20, 1, 18, true);
  mixed.overrides.push_back({0, {10, false, true}});
  t::Disk dmkmixed = WithDirectory(mixed);
  t::SetNewdosMark(dmkmixed, 0, 10);
  ok &= Write(dir, "hand-dmk-mixed-newdos.dmk", t::ToDmk(dmkmixed));

  // Headers alone, so the fuzzer sees the short-file paths early.
  t::Bytes dmk_header = t::ToDmk(WithDirectory(Uniform(20, 1, 10, false)));
  dmk_header.resize(16 + 300);
  ok &= Write(dir, "hand-dmk-short.dmk", dmk_header);
  t::Bytes jv3_header = t::ToJv3(WithDirectory(Uniform(20, 1, 10, false)));
  jv3_header.resize(34 * 256 + 10);
  ok &= Write(dir, "hand-jv3-short.jv3", jv3_header);
  return ok ? 0 : 1;
}

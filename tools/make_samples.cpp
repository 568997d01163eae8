// Writes the three sample images of samples/: a Newdos/80 JV1 disk, a
// double-sided JV3 disk and a double-density DMK disk, each with a DOS
// directory listing the same four small files the project wrote itself.
//
//   make_samples OUTPUT_FOLDER
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <stdexcept>
#include <string>

#include "image_builder.h"

using namespace vornik::testing;

namespace {

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

const char* const kReadme =
    "VORNIK SAMPLE DISK\r"
    "\r"
    "This disk was made by the Vornik project's own image builder. It\r"
    "holds four small files:\r"
    "\r"
    "  README/TXT   this text; its second extent is kept in an extension\r"
    "               entry of the directory\r"
    "  HELLO/BAS    a short BASIC program, saved as plain text\r"
    "  HELLO/CMD    a tiny machine-code program in load-module form\r"
    "  NOTES/TXT    a one-line note\r"
    "\r"
    "Open the disk in Vornik, pick a file in the list and press the copy\r"
    "button to write it into a folder of your choice. The command-line\r"
    "program does the same:\r"
    "\r"
    "  vornik-cli list THIS-IMAGE\r"
    "  vornik-cli extract THIS-IMAGE README/TXT -o SOME-FOLDER\r"
    "\r"
    "The text is long enough to need more than one granule, so copying it\r"
    "shows that the extents of a file are followed from the primary\r"
    "directory entry into its extension entry, and that the copy stops\r"
    "after the number of sectors the entry records.\r"
    "\r"
    "The three sample images hold the same files in different forms:\r"
    "\r"
    "  newdos80-jv1.dsk    JV1, 40 tracks, one side, 10 single-density\r"
    "                      sectors a track, marked as a Newdos/80 disk\r"
    "                      whose allocation unit is one track\r"
    "  double-sided.jv3    JV3, 40 tracks, two sides of 18 double-density\r"
    "                      sectors, the directory on track 17, side 0\r"
    "  double-density.dmk  DMK, 40 tracks, one side, 6400-byte tracks of\r"
    "                      18 double-density sectors\r"
    "\r"
    "Lines end in a carriage return, as the home computer's DOS keeps them.\r"
    "Every line here is plain ASCII.\r"
    "\r"
    "HELLO/CMD is a load module: a record of type 1 carries its length,\r"
    "the load address (low byte first) and the code; a record of type 2\r"
    "gives the address at which the program starts. Copied to the PC it\r"
    "keeps exactly that layout, followed by the unused rest of its sector.\r"
    "\r"
    "                                        -- end of README --\r";

const char* const kHelloBas =
    "10 REM HELLO - A SAMPLE PROGRAM FOR THE VORNIK TEST DISKS\r"
    "20 CLS\r"
    "30 FOR I = 1 TO 5\r"
    "40 PRINT TAB(I * 2); \"HELLO FROM VORNIK\"\r"
    "50 NEXT I\r"
    "60 INPUT \"YOUR NAME\"; N$\r"
    "70 PRINT \"GOOD TO MEET YOU, \"; N$\r"
    "80 END\r";

const char* const kNotes = "Made by tools/make_samples.cpp; regenerate rather than edit.\r";

// A load module: one block of code at 5200H that shows a line through the
// ROM's display routine and returns to the DOS, then the entry address.
Bytes HelloCmd() {
  const uint16_t org = 0x5200;
  Bytes code = {0x21, 0x09, 0x52,   // LD HL,5209H  (the message)
                0xCD, 0x1B, 0x02,   // CALL 021BH   (display a line)
                0xC3, 0x2D, 0x40};  // JP 402DH     (back to the DOS)
  const std::string msg = "HELLO FROM VORNIK\r";
  code.insert(code.end(), msg.begin(), msg.end());
  Bytes out = {0x01, uint8_t(code.size() + 2), uint8_t(org & 0xFF), uint8_t(org >> 8)};
  out.insert(out.end(), code.begin(), code.end());
  const Bytes entry = {0x02, 0x02, uint8_t(org & 0xFF), uint8_t(org >> 8)};
  out.insert(out.end(), entry.begin(), entry.end());
  return out;
}

int SectorsFor(const Bytes& b) { return int((b.size() + 255) / 256); }

// Places the files and writes the directory. `first_of` gives the logical
// sector of granule g of extent-byte value u (a track, or on Newdos/80 an
// allocation unit); units 2, 4, 5 and 6 hold the files, unit 3 README's
// second extent.
void Furnish(Disk& disk, int dir_first, int dir_count, int spg, const std::function<int(int, int)>& first_of) {
  SetBootSignature(disk);
  MarkDirectory(disk, dir_first, dir_count, dir_count > 10 ? kMarkDirAlt : kMarkDir);

  const Bytes readme = Text(kReadme), bas = Text(kHelloBas), cmd = HelloCmd(), notes = Text(kNotes);
  const int readme_sectors = SectorsFor(readme);
  // README: one granule in unit 2, the rest in unit 3 through the extension.
  const int first_part = spg;
  if (readme.size() <= size_t(first_part) * 256) throw std::logic_error("README must span two extents");
  Bytes head(readme.begin(), readme.begin() + long(first_part) * 256);
  Bytes tail(readme.begin() + long(first_part) * 256, readme.end());
  const int tail_granules = (SectorsFor(tail) + spg - 1) / spg;
  PutFile(disk, first_of(2, 0), head);
  PutFile(disk, first_of(3, 0), tail);
  PutFile(disk, first_of(4, 0), bas);
  PutFile(disk, first_of(5, 0), cmd);
  PutFile(disk, first_of(6, 0), notes);

  auto eof = [](const Bytes& b) { return uint8_t(b.size() % 256); };
  std::vector<Entry> entries = {
      {0x10, "README", "TXT", uint16_t(readme_sectors), {Slot(2, 0, 1), Link(0, 4)}, true, eof(readme)},
      {0x10, "HELLO", "BAS", uint16_t(SectorsFor(bas)), {Slot(4, 0, 1)}, true, eof(bas)},
      {0x10, "HELLO", "CMD", uint16_t(SectorsFor(cmd)), {Slot(5, 0, 1)}, true, eof(cmd)},
      {0x10, "NOTES", "TXT", uint16_t(SectorsFor(notes)), {Slot(6, 0, 1)}, true, eof(notes)},
  };
  PutEntries(disk, dir_first, entries);
  // The extension entry of README, entry 4 of the first entry sector.
  PutEntry(disk, dir_first + 2, 4, {0x90, "", "", 0, {Slot(3, 0, tail_granules)}});
}

bool Save(const std::string& path, const Bytes& b) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
  out.close();
  if (!out) std::cerr << "make_samples: cannot write " << path << "\n";
  return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_samples OUTPUT_FOLDER\n";
    return 1;
  }
  const std::string dir = argv[1];
  bool ok = true;

  {  // JV1, Newdos/80 with allocation units of 10 sectors (one track).
    Disk d = MakeJv1Disk(40);
    Furnish(d, 170, 10, 5, [](int unit, int g) { return unit * 10 + g * 5; });
    SetNewdosMark(d, 0, 10);
    ok = Save(dir + "/newdos80-jv1.dsk", ToJv1(d)) && ok;
  }
  {  // JV3, 40 tracks, two sides of 18 double-density sectors.
    Layout l;
    l.sides = 2;
    l.normal = {18, true, false};
    Disk d = MakeDisk(l);
    Furnish(d, d.TrackStart(17), 18, 6, [](int track, int g) { return track * 36 + g * 6; });
    ok = Save(dir + "/double-sided.jv3", ToJv3(d)) && ok;
  }
  {  // DMK, 40 tracks, one side, 6400-byte tracks of 18 double-density sectors.
    Layout l;
    l.normal = {18, true, false};
    Disk d = MakeDisk(l);
    Furnish(d, d.TrackStart(17), 18, 6, [](int track, int g) { return track * 18 + g * 6; });
    ok = Save(dir + "/double-density.dmk", ToDmk(d)) && ok;
  }
  return ok ? 0 : 1;
}

// Writes the small Newdos/80 JV1 image that the smoke run of the program
// opens. Usage: ui_make_smoke_image OUTPUT
#include <cstdio>

#include "support/image_builder.h"

namespace tb = vornik::testing;

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  tb::Disk disk = tb::MakeJv1Disk();
  tb::SetNewdosMark(disk, 0, 10);
  tb::MarkDirectory(disk, 170, 10);
  tb::PutEntries(disk, 170, {{.name = "HELLO", .ext = "BAS", .sectors = 1, .slots = {tb::Slot(5, 0, 1)}},
                             {.name = "PROG", .ext = "CMD", .sectors = 3, .slots = {tb::Slot(6, 0, 1)}}});
  const tb::Bytes bytes = tb::ToJv1(disk);
  std::FILE* f = std::fopen(argv[1], "wb");
  if (!f) return 1;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok ? 0 : 1;
}

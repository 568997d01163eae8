// Fuzz target for the DOS layer: arbitrary bytes taken as a JV1, a JV3 and
// a DMK image (DMK geometry from its header bytes), the DOS read, and
// every entry assembled whole and exact.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "dos/dos.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> image(data, size);
  const int sides = size > 4 && (data[4] & 0x10) ? 1 : 2;
  const int32_t track_length = size > 3 ? data[2] | data[3] << 8 : 0;
  const vornik::SourceGeometry geometries[] = {{vornik::ImageFormat::kJv1, 1, 0},
                                               {vornik::ImageFormat::kJv3, 1, 0},
                                               {vornik::ImageFormat::kDmk, sides, track_length}};
  for (const auto& geometry : geometries) {
    const vornik::SectorSource source(image, geometry);
    const vornik::DosDisk disk = vornik::ReadDos(source);
    std::string error;
    for (const vornik::DosEntry& entry : disk.entries) {
      vornik::AssembleFile(source, entry, true, &error);
      vornik::AssembleFile(source, entry, false, &error);
    }
  }
  return 0;
}

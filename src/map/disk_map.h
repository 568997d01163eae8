// The disk map: every track (rows) and sector position (columns) of each
// side, coloured by what owns the sector, damaged sectors crossed out, as an
// SVG document that plain SVG Tiny renderers draw (rect, line, text, g).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vornik {

enum class CellKind : uint8_t {
  kNotInImage,  // a position the track does not hold
  kFree,
  kDirectory,
  kSystemFile,
  kUserFile,
  kUnowned,     // stored, but no file, directory or free map accounts for it
};

struct MapCell {
  CellKind kind = CellKind::kNotInImage;
  bool damaged = false;
  // Shown when the pointer rests on the cell: Latin-1 bytes as on the disk
  // (a file name, then the sector's track, side, ID and its problem). Empty:
  // the position and the kind.
  std::string title;
};

struct MapSide {
  std::vector<std::vector<MapCell>> tracks;  // [track][position], in the order the track holds them
};

struct DiskMap {
  std::string caption;         // Latin-1, e.g. the image's name
  std::vector<MapSide> sides;  // side 0 first
};

// One <rect> with a <title> per cell of each side, on a grid of rows = the
// most tracks of any side and columns = the most positions of any track;
// positions past the end of a track stay blank, so one crowded track cannot
// blow the picture up to tracks x positions cells. Bytes of titles and the
// caption below 0x20 and from 0x7F to 0x9F are shown as \xNN.
std::string RenderDiskMapSvg(const DiskMap& map);

}  // namespace vornik

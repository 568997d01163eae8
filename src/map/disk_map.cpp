// Layout: the caption and a summary line on top, then one panel per side
// (heading, position numbers, track numbers down the left, the cells), the
// legend to the right. Every size is in user units of the viewBox; the window
// scales the picture, so only the proportions matter.
#include "map/disk_map.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <string_view>

namespace vornik {

namespace {

constexpr int kCell = 12;           // cell side
constexpr int kPitch = 14;          // cell side plus the gap between cells
constexpr int kMargin = 20;
constexpr int kCaptionY = 30;
constexpr int kSummaryY = 50;
constexpr int kSideHeadingY = 78;
constexpr int kPositionLabelY = 94;
constexpr int kGridTop = 100;
constexpr int kTrackLabelWidth = 30;
constexpr int kPanelGap = 26;
constexpr int kLegendGap = 30;
constexpr int kLegendRow = 22;
constexpr int kLegendWidth = 190;
constexpr int kMarkInset = 2;       // the damage cross stays inside the cell
constexpr int kEveryFifth = 5;      // darker track and position numbers

struct KindStyle {
  CellKind kind;
  const char* fill;
  const char* stroke;
  const char* label;
};

// In legend order.
constexpr std::array<KindStyle, 6> kStyles = {{
    {CellKind::kDirectory, "#8E5CC2", "#6C3FA0", "Directory"},
    {CellKind::kSystemFile, "#F2A93B", "#C98418", "System file"},
    {CellKind::kUserFile, "#3D8FD1", "#2A6EA6", "User file"},
    {CellKind::kFree, "#DCE5EE", "#BFCDDA", "Free"},
    {CellKind::kUnowned, "#8C99A6", "#6B7885", "Stored, no owner"},
    {CellKind::kNotInImage, "#FFFFFF", "#CDD4DB", "Not in the image"},
}};
constexpr const char* kDamageColour = "#C62828";
constexpr const char* kTextColour = "#1F2933";
constexpr const char* kFaintText = "#8A96A3";
constexpr const char* kFont = "font-family=\"sans-serif\"";

const KindStyle& StyleOf(CellKind kind) {
  for (const KindStyle& s : kStyles)
    if (s.kind == kind) return s;
  return kStyles.back();
}

// Latin-1 bytes as XML text: markup characters escaped, control bytes
// (which XML 1.0 refuses even as references) spelt \xNN, the rest in UTF-8.
void AppendText(std::string& out, std::string_view latin1) {
  for (const unsigned char c : latin1) {
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '"') {
      out += "&quot;";
    } else if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
}

// A count with a comma between each group of three digits.
std::string WithThousands(long long n) {
  const std::string digits = std::to_string(n);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string Num(int v) { return std::to_string(v); }

void AppendLabel(std::string& out, int x, int y, int size, const char* anchor, const char* colour,
                 std::string_view latin1, bool bold = false) {
  out += "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" " + kFont + " font-size=\"" + Num(size) +
         "\" text-anchor=\"" + anchor + "\" fill=\"" + colour + "\"" + (bold ? " font-weight=\"bold\"" : "") + ">";
  AppendText(out, latin1);
  out += "</text>\n";
}

void AppendRect(std::string& out, int x, int y, const KindStyle& style, bool damaged) {
  out += "<rect x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" width=\"" + Num(kCell) + "\" height=\"" + Num(kCell) +
         "\" rx=\"2\" fill=\"" + style.fill + "\" stroke=\"" + (damaged ? kDamageColour : style.stroke) +
         "\" stroke-width=\"" + (damaged ? "1.5" : "0.8") + "\">";
}

struct Grid {
  int rows = 0;
  int columns = 0;
  int panel_width = 0;
  long long count[kStyles.size()] = {};
  long long damaged = 0;
};

Grid Measure(const DiskMap& map) {
  Grid g;
  for (const MapSide& side : map.sides) {
    g.rows = std::max(g.rows, static_cast<int>(side.tracks.size()));
    for (const auto& track : side.tracks) g.columns = std::max(g.columns, static_cast<int>(track.size()));
  }
  g.panel_width = kTrackLabelWidth + g.columns * kPitch;
  return g;
}

const MapCell* CellAt(const MapSide& side, int row, int column) {
  if (row >= static_cast<int>(side.tracks.size())) return nullptr;
  const auto& track = side.tracks[static_cast<size_t>(row)];
  return column < static_cast<int>(track.size()) ? &track[static_cast<size_t>(column)] : nullptr;
}

// One side's panel; adds the cells to the counts and the damage crosses to `marks`.
void AppendSide(std::string& out, std::string& marks, const MapSide& side, int side_number, int x0, Grid& g) {
  AppendLabel(out, x0 + kTrackLabelWidth, kSideHeadingY, 13, "start", kTextColour, "Side " + Num(side_number), true);
  for (int c = 0; c < g.columns; ++c)
    AppendLabel(out, x0 + kTrackLabelWidth + c * kPitch + kCell / 2, kPositionLabelY, 7, "middle",
                c % kEveryFifth == 0 ? kTextColour : kFaintText, Num(c));
  AppendLabel(out, x0 + kTrackLabelWidth - 6, kPositionLabelY, 7, "end", kFaintText, "track");
  for (int r = 0; r < g.rows; ++r) {
    const int y = kGridTop + r * kPitch;
    AppendLabel(out, x0 + kTrackLabelWidth - 6, y + kCell - 3, 8, "end", r % kEveryFifth == 0 ? kTextColour : kFaintText,
                Num(r));
    for (int c = 0; c < g.columns; ++c) {
      const MapCell* found = CellAt(side, r, c);
      if (found == nullptr) {  // past the end of this track: left blank, counted
        ++g.count[static_cast<size_t>(&StyleOf(CellKind::kNotInImage) - kStyles.data())];
        continue;
      }
      const MapCell& cell = *found;
      const KindStyle& style = StyleOf(cell.kind);
      const int x = x0 + kTrackLabelWidth + c * kPitch;
      ++g.count[static_cast<size_t>(&style - kStyles.data())];
      AppendRect(out, x, y, style, cell.damaged);
      out += "<title>";
      if (cell.title.empty()) {
        std::string kind = style.label;
        kind[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(kind[0])));
        AppendText(out, "Track " + Num(r) + ", side " + Num(side_number) + ", position " + Num(c) + ": " + kind +
                            (cell.damaged ? ", damaged" : ""));
      } else {
        AppendText(out, cell.title);
      }
      out += "</title></rect>\n";
      if (!cell.damaged) continue;
      ++g.damaged;
      const int a = kMarkInset, b = kCell - kMarkInset;
      marks += "<line x1=\"" + Num(x + a) + "\" y1=\"" + Num(y + a) + "\" x2=\"" + Num(x + b) + "\" y2=\"" + Num(y + b) +
               "\"/><line x1=\"" + Num(x + b) + "\" y1=\"" + Num(y + a) + "\" x2=\"" + Num(x + a) + "\" y2=\"" +
               Num(y + b) + "\"/>\n";
    }
  }
}

// The swatches with their counts; returns the bottom of the last row.
int AppendLegend(std::string& out, int x, const Grid& g) {
  int y = kGridTop;
  for (size_t i = 0; i < kStyles.size(); ++i) {
    if (g.count[i] == 0 && kStyles[i].kind == CellKind::kUnowned) continue;
    out += "<rect x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" width=\"" + Num(kCell) + "\" height=\"" + Num(kCell) +
           "\" rx=\"2\" fill=\"" + kStyles[i].fill + "\" stroke=\"" + kStyles[i].stroke + "\" stroke-width=\"0.8\"/>\n";
    AppendLabel(out, x + kCell + 8, y + kCell - 2, 11, "start", kTextColour,
                std::string(kStyles[i].label) + "  (" + WithThousands(g.count[i]) + ")");
    y += kLegendRow;
  }
  const int a = kMarkInset, b = kCell - kMarkInset;
  out += "<rect x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" width=\"" + Num(kCell) + "\" height=\"" + Num(kCell) +
         "\" rx=\"2\" fill=\"#FFFFFF\" stroke=\"" + kDamageColour + "\" stroke-width=\"1.5\"/>\n";
  out += "<g stroke=\"" + std::string(kDamageColour) + "\" stroke-width=\"1.6\" stroke-linecap=\"round\"><line x1=\"" +
         Num(x + a) + "\" y1=\"" + Num(y + a) + "\" x2=\"" + Num(x + b) + "\" y2=\"" + Num(y + b) + "\"/><line x1=\"" +
         Num(x + b) + "\" y1=\"" + Num(y + a) + "\" x2=\"" + Num(x + a) + "\" y2=\"" + Num(y + b) + "\"/></g>\n";
  AppendLabel(out, x + kCell + 8, y + kCell - 2, 11, "start", kTextColour,
              "Damaged  (" + WithThousands(g.damaged) + ")");
  return y + kLegendRow;
}

}  // namespace

std::string RenderDiskMapSvg(const DiskMap& map) {
  Grid g = Measure(map);
  const int sides = static_cast<int>(map.sides.size());
  std::string cells;
  std::string marks;
  for (int s = 0; s < sides; ++s)
    AppendSide(cells, marks, map.sides[static_cast<size_t>(s)], s, kMargin + s * (g.panel_width + kPanelGap), g);

  const int legend_x = kMargin + sides * (g.panel_width + kPanelGap) - (sides > 0 ? kPanelGap : 0) + kLegendGap;
  std::string legend;
  const int legend_bottom = AppendLegend(legend, legend_x, g);
  const int width = legend_x + kLegendWidth + kMargin;
  const int height = std::max(kGridTop + g.rows * kPitch, legend_bottom) + kMargin;

  long long stored = 0;
  for (size_t i = 0; i < kStyles.size(); ++i)
    if (kStyles[i].kind != CellKind::kNotInImage) stored += g.count[i];
  const std::string summary = WithThousands(stored) + " sectors stored, " + WithThousands(g.damaged) + " damaged; " +
                              Num(g.rows) + " tracks, " + Num(sides) + (sides == 1 ? " side" : " sides");

  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.2\" baseProfile=\"tiny\" width=\"" + Num(width) +
         "\" height=\"" + Num(height) + "\" viewBox=\"0 0 " + Num(width) + " " + Num(height) + "\">\n";
  out += "<rect x=\"0\" y=\"0\" width=\"" + Num(width) + "\" height=\"" + Num(height) + "\" fill=\"#FFFFFF\"/>\n";
  AppendLabel(out, kMargin, kCaptionY, 16, "start", kTextColour, map.caption, true);
  AppendLabel(out, kMargin, kSummaryY, 11, "start", kFaintText, summary);
  out += cells;
  if (!marks.empty()) {
    out += "<g stroke=\"#FFFFFF\" stroke-width=\"3.2\" stroke-linecap=\"round\">\n" + marks + "</g>\n";
    out += "<g stroke=\"" + std::string(kDamageColour) + "\" stroke-width=\"1.6\" stroke-linecap=\"round\">\n" + marks +
           "</g>\n";
  }
  out += legend;
  out += "</svg>\n";
  return out;
}

}  // namespace vornik

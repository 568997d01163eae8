#include "cli/report_json.h"

#include <nlohmann/json.hpp>

#include "cli/cli_window.h"
#include "extract/safe_name.h"

namespace vornik::cli {

namespace {

using Json = nlohmann::ordered_json;

Json DiskText(const std::string& bytes) { return Latin1ToUtf8(bytes); }

Json OrNull(const std::optional<int64_t>& v) { return v ? Json(*v) : Json(nullptr); }
Json TextOrNull(const std::string& text, bool known) { return known ? DiskText(text) : Json(nullptr); }

// What the DOS says of a listed file.
void AddFacts(const Listing& listing, const ListedEntry& listed, Json& file) {
  const DosEntry& e = FactsOf(listing, listed);
  const bool known = !listing.dos.dos.empty() && listed.dos >= 0;
  file["in_use"] = e.in_use;
  file["size"] = known ? OrNull(e.size) : Json(nullptr);
  file["date"] = TextOrNull(e.date, known && !e.date.empty());
  file["system"] = e.system;
  file["invisible"] = e.invisible;
  file["protection"] = e.protection;
  file["lrl"] = e.lrl;
  file["eof"] = e.eof;
  file["ern"] = e.ern;
  if (known && !e.error.empty() && !file.contains("error")) file["error"] = e.error;
}

Json FileJson(const ImageReport& report, const FileRow& row) {
  Json file = {{"item", DiskText(row.item)},
               {"shown", DiskText(row.shown)},
               {"pc_name", row.pc_name},
               {"sector", row.sector},
               {"entry", row.entry}};
  if (row.copied) {
    file["bytes"] = row.bytes;
  } else {
    file["bytes"] = nullptr;
    file["error"] = DiskText(row.error);
  }
  if (row.listed) AddFacts(report.listing, *row.listed, file);
  return file;
}

// "image" names the image as given, any byte that is not UTF-8 as U+FFFD;
// "image_hex" follows it with the path's bytes when that is so.
Json ImageJson(const std::string& path) {
  Json image = {{"image", path}};
  if (!IsUtf8(path)) {
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char c : path) hex += {kHex[c >> 4], kHex[c & 0xF]};
    image["image_hex"] = hex;
  }
  return image;
}

Json ReportJson(const ImageReport& report) {
  Json json = ImageJson(report.path);
  if (!report.listed) {
    json["error"] = DiskText(report.error);
    json["kind"] = report.kind;
    return json;
  }
  Json files = Json::array();
  for (const FileRow& row : report.files) files.push_back(FileJson(report, row));
  const DosDisk& dos = report.listing.dos;
  const bool known = !dos.dos.empty();
  json.update(Json{
          {"format", DiskText(report.format)},
          {"summary", DiskText(report.summary)},
          {"newdos", report.newdos},
          {"tracks", report.tracks},
          {"sides", report.sides},
          {"sectors_per_track", report.sectors_per_track},
          {"density", report.density},
          {"sectors_per_granule", report.sectors_per_granule},
          {"directory", {{"first", report.dir_first}, {"last", report.dir_last}}},
          {"dos", known ? Json(dos.dos) : Json(nullptr)},
          {"disk_name", TextOrNull(dos.disk_name, known)},
          {"disk_date", TextOrNull(dos.disk_date, known)},
          {"free_bytes", known ? OrNull(dos.free_bytes) : Json(nullptr)},
          {"total_bytes", known ? OrNull(dos.total_bytes) : Json(nullptr)}});
  if (!known) json["dos_note"] = dos.note;
  json["files"] = std::move(files);
  return json;
}

// The listing has always written backspace and form feed as \u0008 and
// \u000c like every other control character; the library writes \b and \f.
// A backslash in the output always starts an escape, so the pairs are
// found without reading the JSON.
std::string SpellControlEscapes(const std::string& json) {
  std::string out;
  out.reserve(json.size());
  for (size_t i = 0; i < json.size(); ++i) {
    if (json[i] != '\\' || i + 1 == json.size()) {
      out += json[i];
      continue;
    }
    const char code = json[++i];
    if (code == 'b') {
      out += "\\u0008";
    } else if (code == 'f') {
      out += "\\u000c";
    } else {
      out += '\\';
      out += code;
    }
  }
  return out;
}

Json CheckJson(const ImageReport& report) {
  Json json = ImageJson(report.path);
  if (!report.listed && !report.identified) {
    json["error"] = DiskText(report.error);
    json["kind"] = report.kind;
    return json;
  }
  const SectorCounts& c = report.sectors;
  json["format"] = DiskText(report.format);
  json["sectors"] = {{"total", c.total},
                     {"intact", c.intact},
                     {"damaged", c.damaged},
                     {"id_crc_errors", c.id_crc_errors},
                     {"data_crc_errors", c.data_crc_errors},
                     {"no_data_mark", c.no_data_mark},
                     {"flagged", c.flagged},
                     {"unchecked", c.unchecked}};
  Json files = Json::array();
  for (const FileRow& row : report.files) {
    Json bad = Json::array();
    const FileVerdict& v = row.check->verdict;
    for (const BadSector& b : v.bad)
      bad.push_back({{"track", b.at.track}, {"side", b.at.side}, {"sector", b.at.id}, {"problem", VerdictName(b.verdict)}});
    files.push_back({{"shown", DiskText(row.shown)},
                     {"pc_name", row.pc_name},
                     {"integrity", IntegrityName(v.integrity)},
                     {"bad_sectors", std::move(bad)}});
  }
  json["files"] = std::move(files);
  return json;
}

std::string Dump(const Json& json) {
  return SpellControlEscapes(json.dump(-1, ' ', true, Json::error_handler_t::replace)) + "\n";
}

}  // namespace

std::string CheckJsonLine(const ImageReport& report) { return Dump(CheckJson(report)); }

std::string ReportJsonLine(const ImageReport& report) { return Dump(ReportJson(report)); }

}  // namespace vornik::cli

// Development check of the DOS layer: prints per image what ReadDos finds,
// as JSON lines shaped like ../shared/real-images/dos.jsonl ("disk", one
// "file" per live entry with the sha256 of its exact copy, "deleted"),
// so the two can be compared line by line.
//   dos_dump IMAGE...            the lines
//   dos_dump --time N IMAGE...   time N rounds of SectorSource + ReadDos
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dos/dos.h"
#include "dos/sha256.h"
#include "image/open_image.h"
#include "support/fake_window.h"

namespace {

using vornik::DosDisk;
using vornik::DosEntry;

// JSON text; a byte outside printable ASCII as the four characters \xNN.
std::string Quote(const std::string& raw) {
  std::string out = "\"";
  for (unsigned char c : raw) {
    char buf[8];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c > 0x7E) {
      std::snprintf(buf, sizeof buf, "\\\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string Trimmed(const DosEntry& e, int from, int count) {
  std::string s(e.name.begin() + from, e.name.begin() + from + count);
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

std::string NameOf(const DosEntry& e) {
  const std::string ext = Trimmed(e, 8, 3);
  return Trimmed(e, 0, 8) + (ext.empty() ? "" : "/" + ext);
}

std::string Number(const std::optional<int64_t>& v) { return v ? std::to_string(*v) : "null"; }
const char* Bool(bool b) { return b ? "true" : "false"; }

struct Loaded {
  std::vector<uint8_t> bytes;
  vornik::SourceGeometry geometry;
  bool ok = false;
};

// The core identifies the format and its geometry.
Loaded Load(const std::string& path) {
  Loaded l;
  std::ifstream in(path, std::ios::binary);
  l.bytes.assign(std::istreambuf_iterator<char>(in), {});
  vornik::DiskState st;
  vornik::testing::FakeWindow win;
  const auto out = vornik::OpenImageBytes(st, win, l.bytes);
  // A damaged directory does not stop the DOS layer: the format is known by then.
  l.ok = out.kind == vornik::OpenKind::kListed || (out.kind == vornik::OpenKind::kDamaged && !st.diskbuf.empty());
  l.geometry.format = st.jv1 ? vornik::ImageFormat::kJv1 : st.dmkflag ? vornik::ImageFormat::kDmk
                                                                       : vornik::ImageFormat::kJv3;
  l.geometry.sides = st.sides;
  l.geometry.track_length = st.trkindex;
  return l;
}

void Dump(const std::string& path) {
  const std::string image = path.substr(path.find_last_of('/') + 1);
  const Loaded l = Load(path);
  if (!l.ok) {
    std::printf("{\"type\": \"disk\", \"image\": %s, \"dos\": null, \"note\": \"not opened\"}\n", Quote(image).c_str());
    return;
  }
  const vornik::SectorSource source(l.bytes, l.geometry);
  const DosDisk disk = vornik::ReadDos(source);
  std::printf(
      "{\"type\": \"disk\", \"image\": %s, \"dos\": %s, \"note\": %s, \"disk_name\": %s, \"disk_date\": %s, "
      "\"free_bytes\": %s, \"total_bytes\": %s, \"gat\": [%d, %d, %d], \"entry_sectors\": %zu}\n",
      Quote(image).c_str(), disk.dos.empty() ? "null" : Quote(disk.dos).c_str(), Quote(disk.note).c_str(),
      disk.dos.empty() ? "null" : Quote(disk.disk_name).c_str(), disk.dos.empty() ? "null" : Quote(disk.disk_date).c_str(),
      Number(disk.free_bytes).c_str(), Number(disk.total_bytes).c_str(), disk.gat.track, disk.gat.side, disk.gat.id,
      disk.entry_sectors.size());
  for (const DosEntry& e : disk.entries) {
    if (!e.in_use) {
      std::printf("{\"type\": \"deleted\", \"image\": %s, \"name\": %s, \"attributes\": {\"raw\": \"%02X\"}}\n",
                  Quote(image).c_str(), Quote(NameOf(e)).c_str(), e.attributes);
      continue;
    }
    std::string error, whole_error;
    const auto bytes = vornik::AssembleFile(source, e, true, &error);
    const auto whole = vornik::AssembleFile(source, e, false, &whole_error);
    std::printf(
        "{\"type\": \"file\", \"image\": %s, \"name\": %s, \"system\": %s, \"invisible\": %s, \"protection\": %d, "
        "\"date\": %s, \"lrl\": %d, \"eof\": %d, \"ern\": %d, \"hit_ok\": %s, \"allocated_sectors\": %zu, "
        "\"size\": %s, \"sha256\": %s, \"sha256_whole\": %s, \"error\": %s, \"note\": %s}\n",
        Quote(image).c_str(), Quote(NameOf(e)).c_str(), Bool(e.system), Bool(e.invisible), e.protection,
        e.date.empty() ? "null" : Quote(e.date).c_str(), e.lrl, e.eof, e.ern, Bool(e.hit_match), e.sectors.size(),
        Number(e.size).c_str(), error.empty() ? Quote(vornik::testing::Sha256Hex(bytes)).c_str() : "null",
        whole_error.empty() ? Quote(vornik::testing::Sha256Hex(whole)).c_str() : "null",
        Quote(error).c_str(), Quote(e.note).c_str());
  }
}

void Time(int rounds, const std::vector<std::string>& paths) {
  std::vector<Loaded> images;
  for (const auto& p : paths) images.push_back(Load(p));
  size_t entries = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int r = 0; r < rounds; ++r) {
    for (const Loaded& l : images) {
      const vornik::SectorSource source(l.bytes, l.geometry);
      entries += vornik::ReadDos(source).entries.size();
    }
  }
  const double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
  std::printf("%d rounds x %zu images: %.0f ms, %.1f us an image (%zu entries)\n", rounds, images.size(), us / 1000,
              us / (double(rounds) * images.size()), entries);
  const auto start2 = std::chrono::steady_clock::now();
  for (int r = 0; r < rounds; ++r) {
    for (const Loaded& l : images) entries += vornik::SectorSource(l.bytes, l.geometry).Sectors().size();
  }
  const double us2 = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start2).count();
  std::printf("of which SectorSource alone: %.1f us an image\n", us2 / (double(rounds) * images.size()));
  const auto start3 = std::chrono::steady_clock::now();
  for (int r = 0; r < rounds; ++r) {
    for (const Loaded& l : images) {
      vornik::DiskState st;
      vornik::testing::FakeWindow win;
      vornik::OpenImageBytes(st, win, l.bytes);
      entries += win.list1.ListCount();
    }
  }
  const double us3 = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start3).count();
  std::printf("the core's open and list of the same images: %.1f us an image\n", us3 / (double(rounds) * images.size()));
  for (size_t i = 0; i < images.size(); ++i) {
    const vornik::SectorSource source(images[i].bytes, images[i].geometry);
    const auto t0 = std::chrono::steady_clock::now();
    for (int r = 0; r < rounds; ++r) entries += vornik::ReadDos(source).entries.size();
    const double one = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
    std::printf("  ReadDos %6.1f us  %s\n", one / rounds, paths[i].c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> paths(argv + 1, argv + argc);
  if (paths.size() >= 2 && paths[0] == "--time") {
    const int rounds = std::stoi(paths[1]);
    Time(rounds, std::vector<std::string>(paths.begin() + 2, paths.end()));
    return 0;
  }
  for (const auto& p : paths) Dump(p);
  return 0;
}

#include "cli/report_json.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string_view>

#include "cli/cli_window.h"
#include "extract/safe_name.h"

namespace vornik::cli {

namespace {

using Json = nlohmann::json;

// The listing has always written backspace and form feed as \u0008 and
// \u000c like every other control character; the library writes \b and \f.
// A backslash in the library's output always starts an escape, so the
// pairs are found without reading the JSON.
std::string Spelt(const std::string& escaped) {
  std::string out;
  out.reserve(escaped.size() + 8);
  for (size_t i = 0; i < escaped.size(); ++i) {
    if (escaped[i] != '\\' || i + 1 == escaped.size()) {
      out += escaped[i];
      continue;
    }
    const char code = escaped[++i];
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

// Bytes a JSON string holds as they are: printable ASCII but the quote and
// the backslash.
constexpr std::array<bool, 256> kPlain = [] {
  std::array<bool, 256> plain{};
  for (int c = 0x20; c < 0x7F; ++c) plain[static_cast<size_t>(c)] = c != '"' && c != '\\';
  return plain;
}();

// Whether every byte of `text` is one of those, eight bytes at a time (the
// last eight of a text of eight or more bytes read as one word, overlapping
// the word before). In each test a byte that fails it sets its top bit, and
// none that passes does unless another byte in the word failed first: a
// byte with its top bit set, one of 0x7F..0xFF (adding one carries into the
// top bit), one below 0x20 (taking 0x20 away borrows into it), and the
// quote and the backslash (the word XOR that byte has a zero byte, and
// taking one away borrows into it).
bool IsPlain(const std::string& text) {
  constexpr uint64_t kOnes = 0x0101010101010101;
  const auto has_zero = [](uint64_t w) { return (w - kOnes) & ~w; };
  const auto fails = [&](const char* at) {
    uint64_t w;
    std::memcpy(&w, at, 8);
    return w | (w + kOnes) | ((w - kOnes * 0x20) & ~w) | has_zero(w ^ (kOnes * '"')) | has_zero(w ^ (kOnes * '\\'));
  };
  const char* p = text.data();
  if (text.size() < 8) {
    for (const unsigned char c : text)
      if (!kPlain[c]) return false;
    return true;
  }
  const char* last = p + text.size() - 8;
  uint64_t failed = fails(last);
  for (; p < last; p += 8) failed |= fails(p);
  return (failed & kOnes * 0x80) == 0;
}

// Two decimal digits of each number below 100.
constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[static_cast<size_t>(2 * i)] = static_cast<char>('0' + i / 10);
    pairs[static_cast<size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// One compact JSON object written as it is made: no tree is built. The
// library writes every string that needs escaping (everything outside
// printable ASCII as \uXXXX, bytes that are not UTF-8 as U+FFFD); a plain
// printable ASCII string is the same between quotes. The text goes into the
// caller's buffer, which keeps its length from one line to the next (so it
// is filled with zeros only while it grows) and grows by doubling.
class JsonLine {
 public:
  JsonLine(std::string& buffer, size_t expected) : out_(buffer) {
    if (out_.size() < expected) out_.resize(expected);
    at_ = out_.data();
    end_ = at_ + out_.size();
  }
  JsonLine& Open(char bracket) {
    char* at = Separated(1);
    *at++ = bracket;
    at_ = at;
    first_ = true;
    return *this;
  }
  JsonLine& Close(char bracket) {
    *Room(1) = bracket;
    ++at_;
    first_ = false;
    return *this;
  }
  // A plain ASCII name, written with its quotes and colon in one go; the
  // value follows.
  template <size_t N>
  JsonLine& Key(const char (&name)[N]) {
    at_ = Keyed(name, 0);
    first_ = true;
    return *this;
  }

  // Values.
  JsonLine& Str(const std::string& utf8) {
    if (IsPlain(utf8)) {
      at_ = PutQuoted(Separated(utf8.size() + 2), utf8);
      return *this;
    }
    return Put(Spelt(Json(utf8).dump(-1, ' ', true, Json::error_handler_t::replace)));
  }
  // Latin-1 text; printable ASCII, the usual case, is the same in UTF-8.
  JsonLine& Text(const std::string& latin1) {
    if (!IsPlain(latin1)) return Str(Latin1ToUtf8(latin1));
    at_ = PutQuoted(Separated(latin1.size() + 2), latin1);
    return *this;
  }
  JsonLine& Int(int64_t v) {
    at_ = PutInt(Separated(kIntBytes), v);
    return *this;
  }
  JsonLine& Null() { return Put(std::string_view("null")); }
  JsonLine& IntOrNull(const std::optional<int64_t>& v) { return v ? Int(*v) : Null(); }
  JsonLine& TextOrNull(const std::string& latin1, bool known) { return known ? Text(latin1) : Null(); }

  // Members: the key and its value in one step.
  template <size_t N>
  JsonLine& Str(const char (&name)[N], const std::string& utf8) {
    if (!IsPlain(utf8)) return Key(name).Str(utf8);
    at_ = PutQuoted(Keyed(name, utf8.size() + 2), utf8);
    return *this;
  }
  template <size_t N>
  JsonLine& Text(const char (&name)[N], const std::string& latin1) {
    if (!IsPlain(latin1)) return Key(name).Str(Latin1ToUtf8(latin1));
    at_ = PutQuoted(Keyed(name, latin1.size() + 2), latin1);
    return *this;
  }
  template <size_t N>
  JsonLine& Int(const char (&name)[N], int64_t v) {
    at_ = PutInt(Keyed(name, kIntBytes), v);
    return *this;
  }
  template <size_t N>
  JsonLine& Bool(const char (&name)[N], bool v) {
    char* at = Keyed(name, 5);
    std::memcpy(at, v ? "true" : "false", 5);  // the fifth byte of "true" is overwritten or left behind the line
    at_ = at + (v ? 4 : 5);
    return *this;
  }

  std::string_view Line() && {
    *Room(1) = '\n';
    ++at_;
    return {out_.data(), static_cast<size_t>(at_ - out_.data())};
  }

 private:
  static constexpr size_t kIntBytes = 20;  // "-9223372036854775808"

  // Where the next `n` bytes go; the buffer holds at least that many more.
  char* Room(size_t n) {
    if (static_cast<size_t>(end_ - at_) < n) [[unlikely]]
      Grow(n);
    return at_;
  }
  void Grow(size_t n) {
    const size_t used = static_cast<size_t>(at_ - out_.data());
    out_.resize(std::max(2 * out_.size(), used + n));
    at_ = out_.data() + used;
    end_ = out_.data() + out_.size();
  }
  // Room for a member of `n` bytes and the comma before it, which every
  // member but the first of its object or array has; where it goes.
  char* Separated(size_t n) {
    char* at = Room(n + 1);
    *at = ',';
    at += first_ ? 0 : 1;
    first_ = false;
    return at;
  }
  // The key of a member and room for a value of `n` bytes; where the value goes.
  template <size_t N>
  char* Keyed(const char (&name)[N], size_t n) {
    char* at = Separated(N + 2 + n);
    *at++ = '"';
    std::memcpy(at, name, N - 1);
    at += N - 1;
    *at++ = '"';
    *at++ = ':';
    return at;
  }
  // A value of the text as it is.
  JsonLine& Put(std::string_view text) {
    char* at = Separated(text.size());
    std::memcpy(at, text.data(), text.size());
    at_ = at + text.size();
    return *this;
  }
  // A plain text between quotes at `at`; where it ends.
  static char* PutQuoted(char* at, const std::string& plain) {
    *at++ = '"';
    std::memcpy(at, plain.data(), plain.size());
    at += plain.size();
    *at++ = '"';
    return at;
  }
  // The decimal digits of `v` at `at`, at most kIntBytes; where they end.
  static char* PutInt(char* at, int64_t v) {
    // The numbers of a listing (slots, sectors, record lengths, sizes) are
    // small and never negative: their digits from the last one back.
    if (v < 0 || v >= 100'000'000) return std::to_chars(at, at + kIntBytes, v).ptr;
    auto u = static_cast<uint32_t>(v);
    const int digits = u < 10 ? 1 : u < 100 ? 2 : u < 1000 ? 3 : u < 10'000 ? 4 : u < 100'000 ? 5
                       : u < 1'000'000 ? 6 : u < 10'000'000 ? 7 : 8;
    char* const end = at + digits;
    char* last = end;
    while (u >= 100) {
      last -= 2;
      std::memcpy(last, &kDigitPairs[2 * (u % 100)], 2);
      u /= 100;
    }
    if (u >= 10) {
      std::memcpy(last - 2, &kDigitPairs[2 * u], 2);
    } else {
      last[-1] = static_cast<char>('0' + u);
    }
    return end;
  }

  std::string& out_;
  char* at_ = nullptr;
  char* end_ = nullptr;
  bool first_ = true;
};

// "image" names the image as given, any byte that is not UTF-8 as U+FFFD;
// "image_hex" follows it with the path's bytes when that is so.
void AddImage(JsonLine& j, const std::string& path) {
  j.Str("image", path);
  if (IsUtf8(path)) return;
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (const unsigned char c : path) hex += {kHex[c >> 4], kHex[c & 0xF]};
  j.Str("image_hex", hex);
}

void AddRefusal(JsonLine& j, const ImageReport& report) {
  j.Text("error", report.error).Str("kind", report.kind).Close('}');
}

// What the DOS says of a listed file; the DOS's complaint about it unless
// the copy already gave an error.
void AddFacts(JsonLine& j, const Listing& listing, const ListedEntry& listed, bool copy_error) {
  const DosEntry& e = FactsOf(listing, listed);
  const bool known = DosKnows(listing, listed);
  j.Bool("in_use", e.in_use);
  j.Key("size");
  if (known) {
    j.IntOrNull(e.size);
  } else {
    j.Null();
  }
  j.Key("date").TextOrNull(e.date, known && !e.date.empty());
  j.Bool("system", e.system).Bool("invisible", e.invisible).Int("protection", e.protection);
  j.Int("lrl", e.lrl).Int("eof", e.eof).Int("ern", e.ern);
  if (known && !e.error.empty() && !copy_error) j.Str("error", e.error);
}

void AddFile(JsonLine& j, const ImageReport& report, const FileRow& row) {
  j.Open('{');
  j.Text("item", row.item).Text("shown", row.shown).Str("pc_name", row.pc_name);
  j.Int("sector", row.sector).Int("entry", row.entry);
  if (row.copied) {
    j.Int("bytes", row.bytes);
  } else {
    j.Key("bytes").Null().Text("error", row.error);
  }
  if (row.listed) AddFacts(j, report.listing, *row.listed, !row.copied);
  j.Close('}');
}

}  // namespace

std::string_view ReportJsonLine(const ImageReport& report, std::string& buffer) {
  JsonLine j(buffer, 512 + 320 * report.files.size());
  j.Open('{');
  AddImage(j, report.path);
  if (!report.listed) {
    AddRefusal(j, report);
    return std::move(j).Line();
  }
  const DosDisk& dos = report.listing.dos;
  const bool known = !dos.dos.empty();
  j.Text("format", report.format).Text("summary", report.summary).Bool("newdos", report.newdos);
  j.Int("tracks", report.tracks).Int("sides", report.sides);
  j.Int("sectors_per_track", report.sectors_per_track).Int("density", report.density);
  j.Int("sectors_per_granule", report.sectors_per_granule);
  j.Key("directory").Open('{').Int("first", report.dir_first).Int("last", report.dir_last).Close('}');
  j.Key("dos");
  if (known) {
    j.Str(dos.dos);
  } else {
    j.Null();
  }
  j.Key("disk_name").TextOrNull(dos.disk_name, known).Key("disk_date").TextOrNull(dos.disk_date, known);
  j.Key("free_bytes");
  if (known) {
    j.IntOrNull(dos.free_bytes);
  } else {
    j.Null();
  }
  j.Key("total_bytes");
  if (known) {
    j.IntOrNull(dos.total_bytes);
  } else {
    j.Null();
  }
  if (!known) j.Str("dos_note", dos.note);
  j.Key("files").Open('[');
  for (const FileRow& row : report.files) AddFile(j, report, row);
  j.Close(']').Close('}');
  return std::move(j).Line();
}

std::string_view CheckJsonLine(const ImageReport& report, std::string& buffer) {
  JsonLine j(buffer, 512 + 128 * report.files.size());
  j.Open('{');
  AddImage(j, report.path);
  if (!report.listed && !report.identified) {
    AddRefusal(j, report);
    return std::move(j).Line();
  }
  const SectorCounts& c = report.sectors;
  j.Text("format", report.format);
  j.Key("sectors").Open('{').Int("total", c.total).Int("intact", c.intact).Int("damaged", c.damaged);
  j.Int("id_crc_errors", c.id_crc_errors).Int("data_crc_errors", c.data_crc_errors);
  j.Int("no_data_mark", c.no_data_mark).Int("flagged", c.flagged).Int("truncated", c.truncated);
  j.Int("unchecked", c.unchecked).Close('}');
  if (!report.listed) j.Text("directory_error", report.error);
  j.Key("files").Open('[');
  for (const FileRow& row : report.files) {
    const FileVerdict& v = row.check->verdict;
    j.Open('{').Text("shown", row.shown).Str("pc_name", row.pc_name);
    j.Str("integrity", IntegrityName(v.integrity)).Key("bad_sectors").Open('[');
    for (const BadSector& b : v.bad) {
      j.Open('{').Int("track", b.at.track).Int("side", b.at.side).Int("sector", b.at.id);
      j.Str("problem", VerdictName(b.verdict)).Close('}');
    }
    j.Close(']').Close('}');
  }
  j.Close(']').Close('}');
  return std::move(j).Line();
}

}  // namespace vornik::cli

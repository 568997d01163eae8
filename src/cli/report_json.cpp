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
  // A plain ASCII name, written with its quotes and colon in one go.
  template <size_t N>
  JsonLine& Key(const char (&name)[N]) {
    char* at = Separated(N + 2);
    *at++ = '"';
    std::memcpy(at, name, N - 1);
    at += N - 1;
    *at++ = '"';
    *at++ = ':';
    at_ = at;
    first_ = true;
    return *this;
  }
  JsonLine& Str(const std::string& utf8) {
    if (IsPlain(utf8)) return Quoted(utf8);
    Put(Spelt(Json(utf8).dump(-1, ' ', true, Json::error_handler_t::replace)));
    return *this;
  }
  // Latin-1 text; printable ASCII, the usual case, is the same in UTF-8.
  JsonLine& Text(const std::string& latin1) {
    if (IsPlain(latin1)) return Quoted(latin1);
    return Str(Latin1ToUtf8(latin1));
  }
  JsonLine& Int(int64_t v) {
    char* at = Separated(24);
    // The numbers of a listing (slots, sectors, record lengths, sizes) are
    // small and never negative: their digits from the last one back.
    if (v >= 0 && v < 100'000'000) {
      auto u = static_cast<uint32_t>(v);
      const int digits = u < 10 ? 1 : u < 100 ? 2 : u < 1000 ? 3 : u < 10'000 ? 4 : u < 100'000 ? 5
                         : u < 1'000'000 ? 6 : u < 10'000'000 ? 7 : 8;
      char* last = at + digits;
      at_ = last;
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
      return *this;
    }
    at_ = std::to_chars(at, at + 24, v).ptr;
    return *this;
  }
  JsonLine& Bool(bool v) { return Put(v ? std::string_view("true") : std::string_view("false")); }
  JsonLine& Null() { return Put(std::string_view("null")); }
  JsonLine& IntOrNull(const std::optional<int64_t>& v) { return v ? Int(*v) : Null(); }
  JsonLine& TextOrNull(const std::string& latin1, bool known) { return known ? Text(latin1) : Null(); }

  std::string_view Line() && {
    *Room(1) = '\n';
    ++at_;
    return {out_.data(), static_cast<size_t>(at_ - out_.data())};
  }

 private:
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
  // A value of the text as it is.
  JsonLine& Put(std::string_view text) {
    char* at = Separated(text.size());
    std::memcpy(at, text.data(), text.size());
    at_ = at + text.size();
    return *this;
  }
  // A plain text between quotes.
  JsonLine& Quoted(const std::string& plain) {
    char* at = Separated(plain.size() + 2);
    *at++ = '"';
    std::memcpy(at, plain.data(), plain.size());
    at += plain.size();
    *at++ = '"';
    at_ = at;
    return *this;
  }

  std::string& out_;
  char* at_ = nullptr;
  char* end_ = nullptr;
  bool first_ = true;
};

// "image" names the image as given, any byte that is not UTF-8 as U+FFFD;
// "image_hex" follows it with the path's bytes when that is so.
void AddImage(JsonLine& j, const std::string& path) {
  j.Key("image").Str(path);
  if (IsUtf8(path)) return;
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (const unsigned char c : path) hex += {kHex[c >> 4], kHex[c & 0xF]};
  j.Key("image_hex").Str(hex);
}

void AddRefusal(JsonLine& j, const ImageReport& report) {
  j.Key("error").Text(report.error).Key("kind").Str(report.kind).Close('}');
}

// What the DOS says of a listed file; the DOS's complaint about it unless
// the copy already gave an error.
void AddFacts(JsonLine& j, const Listing& listing, const ListedEntry& listed, bool copy_error) {
  const DosEntry& e = FactsOf(listing, listed);
  const bool known = DosKnows(listing, listed);
  j.Key("in_use").Bool(e.in_use);
  j.Key("size");
  if (known) {
    j.IntOrNull(e.size);
  } else {
    j.Null();
  }
  j.Key("date").TextOrNull(e.date, known && !e.date.empty());
  j.Key("system").Bool(e.system).Key("invisible").Bool(e.invisible).Key("protection").Int(e.protection);
  j.Key("lrl").Int(e.lrl).Key("eof").Int(e.eof).Key("ern").Int(e.ern);
  if (known && !e.error.empty() && !copy_error) j.Key("error").Str(e.error);
}

void AddFile(JsonLine& j, const ImageReport& report, const FileRow& row) {
  j.Open('{');
  j.Key("item").Text(row.item).Key("shown").Text(row.shown).Key("pc_name").Str(row.pc_name);
  j.Key("sector").Int(row.sector).Key("entry").Int(row.entry);
  if (row.copied) {
    j.Key("bytes").Int(row.bytes);
  } else {
    j.Key("bytes").Null().Key("error").Text(row.error);
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
  j.Key("format").Text(report.format).Key("summary").Text(report.summary).Key("newdos").Bool(report.newdos);
  j.Key("tracks").Int(report.tracks).Key("sides").Int(report.sides);
  j.Key("sectors_per_track").Int(report.sectors_per_track).Key("density").Int(report.density);
  j.Key("sectors_per_granule").Int(report.sectors_per_granule);
  j.Key("directory").Open('{').Key("first").Int(report.dir_first).Key("last").Int(report.dir_last).Close('}');
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
  if (!known) j.Key("dos_note").Str(dos.note);
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
  j.Key("format").Text(report.format);
  j.Key("sectors").Open('{').Key("total").Int(c.total).Key("intact").Int(c.intact).Key("damaged").Int(c.damaged);
  j.Key("id_crc_errors").Int(c.id_crc_errors).Key("data_crc_errors").Int(c.data_crc_errors);
  j.Key("no_data_mark").Int(c.no_data_mark).Key("flagged").Int(c.flagged).Key("truncated").Int(c.truncated);
  j.Key("unchecked").Int(c.unchecked).Close('}');
  if (!report.listed) j.Key("directory_error").Text(report.error);
  j.Key("files").Open('[');
  for (const FileRow& row : report.files) {
    const FileVerdict& v = row.check->verdict;
    j.Open('{').Key("shown").Text(row.shown).Key("pc_name").Str(row.pc_name);
    j.Key("integrity").Str(IntegrityName(v.integrity)).Key("bad_sectors").Open('[');
    for (const BadSector& b : v.bad) {
      j.Open('{').Key("track").Int(b.at.track).Key("side").Int(b.at.side).Key("sector").Int(b.at.id);
      j.Key("problem").Str(VerdictName(b.verdict)).Close('}');
    }
    j.Close(']').Close('}');
  }
  j.Close(']').Close('}');
  return std::move(j).Line();
}

}  // namespace vornik::cli

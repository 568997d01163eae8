#include "cli/commands.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <new>
#include <set>
#include <string_view>

#include "archive/zip_archive.h"
#include "cli/cli_window.h"
#include "cli/image_input.h"
#include "cli/image_report.h"
#include "cli/report_json.h"
#include "directory/dos_name.h"
#include "dos/dos.h"
#include "extract/integrity.h"
#include "extract/safe_name.h"
#include "map/map_of_disk.h"
#include "extract/write_copy.h"
#include "platform/platform.h"
#include "state/disk_state.h"

namespace vornik::cli {

namespace {

void Emit(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

// A message for a text line: carriage returns become blanks.
std::string OneLine(const std::string& message) {
  std::string line = Latin1ToUtf8(message);
  std::replace(line.begin(), line.end(), '\r', ' ');
  return Printable(line);
}

// An extract writes at most this much: a real disk's files take less than
// the image, a crafted directory can name the same sectors over and over.
int64_t WriteBudget(int64_t image_bytes) { return std::max<int64_t>(4 * image_bytes, int64_t{4} << 20); }

// Says what of the image is not read; the status of a run cut short so.
int NoteCut(const CliWindow& win, const ImageReport& report) {
  const Listing& l = report.listing;
  if (l.cut) win.Note(kNoteDirectoryCut);
  if (l.image_ends) win.Note(kNoteImageEnds);
  if (l.unread_block) win.Note(kNoteThirdBlock);
  return l.cut || l.image_ends || l.unread_block ? kExitCopy : kExitOk;
}

std::string PadRight(std::string text, size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

// A column of `width` that always ends in a blank: a wider value pushes
// the next column on rather than running into it.
std::string Column(const std::string& text, size_t width) { return PadRight(text, width - 1) + ' '; }

// S system, I invisible, the protection level, and "killed" for an entry
// its DOS no longer counts.
std::string Attributes(const DosEntry& e) {
  std::string a = std::string(e.system ? "S" : "-") + (e.invisible ? "I" : "-") + std::to_string(e.protection);
  return e.in_use ? a : a + " killed";
}

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
  const auto fold = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
    return fold(x) == fold(y);
  });
}

// A name given on the command line names an entry when it equals its
// NAME/EXT, its NAME.EXT or the safe name it would be written as: exactly,
// or else in any case.
bool NameMatches(const std::string& wanted, const std::string& item, bool exact) {
  const DosName name = DosName::FromItem(item);
  const std::string forms[] = {Latin1ToUtf8(name.Shown()), Latin1ToUtf8(name.CopyName()),
                               SafeHostName(name.CopyName())};
  for (const std::string& form : forms) {
    if (exact ? wanted == form : EqualsIgnoreCase(wanted, form)) return true;
  }
  return false;
}

void AppendInfoBlock(std::string& out, const ImageReport& report, int file_count) {
  out += "Image:       " + Printable(report.path) + "\n";
  if (!report.listed) {
    out += "Error:       " + std::string(report.kind) + ": " + OneLine(report.error) + "\n";
    return;
  }
  out += "Format:      " + report.format + "\n";
  out += "Summary:     " + Printable(Latin1ToUtf8(report.summary)) + "\n";
  out += std::string("Newdos/80:   ") + (report.newdos ? "yes" : "no") + "\n";
  // No sector carries a directory mark: the walk found none (JSON keeps the raw bounds).
  out += report.dir_last < report.dir_first
             ? std::string("Directory:   none found\n")
             : "Directory:   sectors " + std::to_string(report.dir_first) + " to " + std::to_string(report.dir_last) + "\n";
  const DosDisk& dos = report.listing.dos;
  if (dos.dos.empty()) {
    out += "DOS:         not recognised (" + Printable(dos.note) + ")\n";
  } else {
    out += "DOS:         " + dos.dos + "\n";
    out += "Disk name:   " + Printable(Latin1ToUtf8(dos.disk_name)) + "\n";
    out += "Disk date:   " + Printable(Latin1ToUtf8(dos.disk_date)) + "\n";
    if (dos.free_bytes && dos.total_bytes) {
      out += "Free:        " + std::to_string(*dos.free_bytes) + " of " + std::to_string(*dos.total_bytes) +
             " bytes\n";
    }
  }
  out += "Files:       " + std::to_string(file_count) + "\n";
}

void AppendListText(std::string& out, const ImageReport& report) {
  if (!report.listed) {
    out += Printable(report.path) + ": " + report.kind + ": " + OneLine(report.error) + "\n";
    return;
  }
  out += Printable(report.path) + ": " + report.format + ", " + std::to_string(report.files.size()) + " files\n";
  for (const FileRow& row : report.files) {
    std::string bytes = row.copied ? std::to_string(row.bytes) + " bytes" : "copy failed";
    out += "  " + PadRight(Printable(Latin1ToUtf8(row.shown)), 13) + " " + PadRight(bytes, 12) + "  sector " +
           std::to_string(row.sector) + "  entry " + std::to_string(row.entry);
    if (row.listed) {
      const DosEntry& facts = FactsOf(report.listing, *row.listed);
      out += "  " + Column(facts.size ? "size " + std::to_string(*facts.size) : "size ?", 12) +
             Column(facts.date.empty() ? "-" : facts.date, 11) + Attributes(facts);
    }
    out += "\n";
  }
}

// Opens one image and copies every listed file in list order, as the
// window would copy them one after another; only their sizes are kept.
int ListImage(DiskState& st, ImageInput& input, ImageReport& report) {
  CliWindow win(input.name);
  if (!OpenForReport(st, win, input, report)) return kExitImage;
  int status = NoteCut(win, report);
  const int count = win.List1().ListCount();
  report.files.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    FileRow& row = report.files.emplace_back();
    DescribeItem(win, report, i, row);
    if (!CopyListedFile(st, win, report, row, /*exact=*/false, /*reads=*/nullptr, /*measure=*/true)) {
      status = std::max(status, static_cast<int>(kExitCopy));
    }
  }
  return status;
}

// Which list items the request names; reports names that are not on the disk.
std::vector<bool> ChooseItems(const ExtractRequest& request, CliWindow& win, int& status) {
  const int count = win.List1().ListCount();
  std::vector<bool> chosen(static_cast<size_t>(count), request.all);
  for (const std::string& wanted : request.names) {
    bool found = false;
    for (const bool exact : {true, false}) {
      for (int i = 0; i < count; ++i) {
        if (NameMatches(wanted, win.List1().List(i), exact)) {
          chosen[static_cast<size_t>(i)] = true;
          found = true;
        }
      }
      if (found) break;
    }
    if (!found) {
      win.Note(wanted + ": no such file on the disk");
      status = std::max(status, static_cast<int>(kExitCopy));
    }
  }
  return chosen;
}

// A failure to make any file in the target folder: the same for every file.
bool FolderProblem(const WriteError& error) {
  const int folder_errors[] = {ENOENT, ENOTDIR, EACCES, EPERM, EROFS};
  return error.kind == WriteFailure::kCreate &&
         std::find(std::begin(folder_errors), std::end(folder_errors), error.code) != std::end(folder_errors);
}

// The names the chosen files in use take in the target folder: a killed
// entry of the same name never takes the place of such a file, whatever
// their order in the directory.
struct NamesInUse {
  const ImageReport& report;
  std::set<std::string> live;
  bool IsLive(const FileRow& row) const { return !row.listed || FactsOf(report.listing, *row.listed).in_use; }
};

NamesInUse LiveNames(const ImageReport& report, const std::vector<FileRow>& rows) {
  NamesInUse names{report, {}};
  for (const FileRow& row : rows)
    if (names.IsLive(row)) names.live.insert(platform::FolderKey(ItemHostName(row.item)));
  return names;
}

// Writes the copy in copybuf under its safe name into the target folder.
// `folder_unusable` is set when no file can be made there at all.
int WriteCopy(const DiskState& st, CliWindow& win, const FileRow& row, const ExtractRequest& request,
              const platform::FileId& image, const NamesInUse& names, std::set<std::string>& names_used,
              bool& folder_unusable) {
  const std::string key = platform::FolderKey(row.pc_name);
  if (!names.IsLive(row) && names.live.contains(key)) {
    win.Note(Latin1ToUtf8(row.shown) + ": skipped, a killed entry; the file in use of this run named " + row.pc_name +
             " takes that name");
    return kExitWrite;
  }
  if (!names_used.insert(key).second) {
    win.Note(Latin1ToUtf8(row.shown) + ": skipped, another file of this run is also named " + row.pc_name);
    return kExitWrite;
  }
  const std::string target = platform::InFolder(request.dir, row.pc_name);
  WriteError error;
  if (!WriteFileAtomic(target, st.copybuf.data(), static_cast<size_t>(row.bytes),
                       {.replace = request.force, .image = image}, &error)) {
    if (error.kind == WriteFailure::kExists) {
      win.Note(target + ": exists, not overwritten (use --force)");
    } else if (error.kind == WriteFailure::kIsImage) {
      win.Note(target + ": is the image being read, not overwritten");
    } else if (FolderProblem(error)) {
      win.Note(request.dir + ": no file can be written in this folder (" + platform::ErrorText(error.code) +
               "); nothing is written");
      folder_unusable = true;
    } else {
      win.Note(error.text);
    }
    return kExitWrite;
  }
  Emit(Printable(target) + "  " + std::to_string(row.bytes) + " bytes\n");
  return kExitOk;
}

std::string BadSectorsText(const FileVerdict& v) {
  std::string text;
  for (const BadSector& b : v.bad) {
    text += (text.empty() ? "" : ", ") + std::string("track ") + std::to_string(b.at.track) + " side " +
            std::to_string(b.at.side) + " sector " + std::to_string(b.at.id) + " (" + VerdictName(b.verdict) + ")";
  }
  return text;
}

// Every image the operands name, in order.
void ForEachImage(const std::vector<std::string>& operands, const std::function<void(ImageInput&)>& each) {
  for (const std::string& operand : operands) ForEachInput(operand, each);
}

// Runs `work` for one image on `st`; running out of memory there is
// reported like an image that cannot be read, `st` lets its memory go, and
// the next image goes on.
template <typename Work>
int ForImage(const std::string& path, ImageReport& report, DiskState& st, Work work) {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    st = DiskState{};
    report = ImageReport{};
    report.path = path;
    report.kind = "unreadable";
    report.error = "out of memory";
    CliWindow(path).Note(report.error);
    return kExitImage;
  }
}

}  // namespace

int RunInfo(const std::vector<std::string>& images) {
  DiskState st;  // one for the whole run: its memory serves every image
  int status = kExitOk;
  size_t n = 0;
  ForEachImage(images, [&](ImageInput& input) {
    ImageReport report;
    int files = 0;
    status = std::max(status, ForImage(input.name, report, st, [&] {
                        ResetKeepingBuffers(st);
                        CliWindow win(input.name);
                        const bool opened = OpenForReport(st, win, input, report);
                        files = win.List1().ListCount();
                        return opened ? kExitOk : kExitImage;
                      }));
    std::string out = n++ > 0 ? "\n" : "";
    AppendInfoBlock(out, report, files);
    Emit(out);
  });
  return status;
}

int RunList(const std::vector<std::string>& images, bool json) {
  DiskState st;  // one for the whole run: its memory serves every image
  int status = kExitOk;
  std::string out;  // its memory serves every image's text
  ForEachImage(images, [&](ImageInput& input) {
    ImageReport report;
    status = std::max(status, ForImage(input.name, report, st, [&] {
                        ResetKeepingBuffers(st);
                        return ListImage(st, input, report);
                      }));
    if (json) {
      Emit(ReportJsonLine(report, out));
    } else {
      out.clear();
      AppendListText(out, report);
      Emit(out);
    }
  });
  return status;
}

namespace {

// A whole-sector copy shorter than the size the disk's DOS gives the file:
// its extents hold no more, and the copy is written all the same.
void NoteShortCopy(const CliWindow& win, const ImageReport& report, const FileRow& row) {
  const int64_t size = row.listed ? DosSizeBeyondCopy(report.listing, *row.listed, row.bytes) : 0;
  if (size == 0) return;
  win.Note(Latin1ToUtf8(row.shown) + ": written, but only " + std::to_string(row.bytes) + " of the " +
           std::to_string(size) + " bytes its DOS counts: its extents hold no more");
}

// Copies the chosen files of one image into request.dir; with `make_folder`
// that folder is made before the first file is written.
int ExtractImage(DiskState& st, ImageInput& input, const ExtractRequest& request, bool make_folder,
                 ImageReport& report) {
  CliWindow win(input.name);
  if (!OpenForReport(st, win, input, report, /*verify=*/true)) return static_cast<int>(kExitImage);
  const platform::FileId image = input.container.valid ? input.container : st.channel1.Identity();
  int status = NoteCut(win, report);
  const std::vector<bool> chosen = ChooseItems(request, win, status);
  std::vector<FileRow> rows;
  for (int i = 0; i < static_cast<int>(chosen.size()); ++i)
    if (chosen[static_cast<size_t>(i)]) rows.push_back(DescribeItem(win, report, i));
  const NamesInUse names = LiveNames(report, rows);
  std::set<std::string> names_used;
  const int64_t budget = WriteBudget(st.fileend);
  int64_t written = 0;
  for (FileRow& row : rows) {
    SectorReads reads;
    if (!CopyListedFile(st, win, report, row, request.exact, &reads)) {
      status = std::max(status, static_cast<int>(kExitCopy));
      continue;
    }
    if (written + row.bytes > budget) {
      win.Note("stopped before " + Latin1ToUtf8(row.shown) + ": this extract would write more than " +
               std::to_string(budget) + " bytes, four times the image or 4 MiB");
      return std::max(status, static_cast<int>(kExitCopy));
    }
    if (make_folder) {
      if (const int error = platform::MakeFolder(request.dir); error != 0) {
        win.Note(request.dir + ": " +
                 (error == EEXIST ? "is there and is no folder" : platform::ErrorText(error)) +
                 "; nothing of this image is written");
        return std::max(status, static_cast<int>(kExitWrite));
      }
      make_folder = false;
    }
    bool folder_unusable = false;
    const int wrote = WriteCopy(st, win, row, request, image, names, names_used, folder_unusable);
    if (wrote == kExitOk) written += row.bytes;
    // A copy of sectors that failed their check is written all the same, and said to be.
    const FileVerdict verdict = JudgeCopy(st.source, true, reads);
    if (wrote == kExitOk && verdict.integrity == FileIntegrity::kDamaged) {
      win.Note(Latin1ToUtf8(row.shown) + ": written, but " + std::to_string(verdict.bad.size()) +
               " of its sectors failed their check: " + BadSectorsText(verdict));
    }
    if (wrote == kExitOk) NoteShortCopy(win, report, row);
    status = std::max(status, wrote);
    if (folder_unusable) break;
  }
  return status;
}

}  // namespace

int RunExtract(const ExtractRequest& request) {
  DiskState st;  // one for the whole run: its memory serves every image
  // The images of an archive that holds several go into a folder each.
  const bool folder_each = ImagesInArchive(request.image) > 1;
  archive::MemberFolders folders;
  int status = kExitOk;
  ForEachInput(request.image, [&](ImageInput& input) {
    ExtractRequest into = request;
    if (folder_each && !input.member.empty()) into.dir = platform::InFolder(request.dir, folders.For(input.member));
    ImageReport report;
    status = std::max(status, ForImage(input.name, report, st, [&] {
                        ResetKeepingBuffers(st);
                        return ExtractImage(st, input, into, into.dir != request.dir, report);
                      }));
  });
  return status;
}

namespace {

// The rows of every list item with the check of its entry.
void CheckRows(CliWindow& win, ImageReport& report) {
  for (int i = 0; i < win.List1().ListCount(); ++i) {
    FileRow& row = report.files.emplace_back(DescribeItem(win, report, i));
    row.pc_name = ItemHostName(row.item);
    row.check = &report.checks[static_cast<size_t>(row.listed - report.listing.entries.data())];
  }
}

void AppendCheckText(std::string& out, const ImageReport& report) {
  if (!report.listed && !report.identified) {
    out += Printable(report.path) + ": " + report.kind + ": " + OneLine(report.error) + "\n";
    return;
  }
  const SectorCounts& c = report.sectors;
  int damaged = 0, missing = 0;
  for (const FileRow& row : report.files) {
    damaged += row.check->verdict.integrity == FileIntegrity::kDamaged;
    missing += row.check->verdict.integrity == FileIntegrity::kMissing;
  }
  out += Printable(report.path) + ": " + report.format + ", " + std::to_string(c.total) + " sectors: " +
         std::to_string(c.intact) + " intact, " + std::to_string(c.damaged) + " damaged (" +
         std::to_string(c.id_crc_errors) + " ID CRC, " + std::to_string(c.data_crc_errors) + " data CRC, " +
         std::to_string(c.no_data_mark) + " no data mark, " + std::to_string(c.flagged) + " flagged" +
         (c.truncated ? ", " + std::to_string(c.truncated) + " truncated" : "") + "), " +
         std::to_string(c.unchecked) + " unchecked; " +
         (report.listed ? std::to_string(report.files.size()) + " files, " + std::to_string(damaged) + " damaged, " +
                              std::to_string(missing) + " missing"
                        : "the directory cannot be read: " + OneLine(report.error)) +
         "\n";
  for (const FileRow& row : report.files) {
    const FileVerdict& v = row.check->verdict;
    if (v.integrity == FileIntegrity::kDamaged) {
      out += "  " + Printable(Latin1ToUtf8(row.shown)) + ": damaged: " + BadSectorsText(v) + "\n";
    } else if (v.integrity == FileIntegrity::kMissing) {
      out += "  " + Printable(Latin1ToUtf8(row.shown)) + ": missing: its sectors cannot all be read\n";
    }
  }
}

}  // namespace

int RunCheck(const std::vector<std::string>& images, bool json) {
  DiskState st;  // one for the whole run: its memory serves every image
  bool unreadable = false, damaged = false;
  std::string json_line;  // its memory serves every image's line
  ForEachImage(images, [&](ImageInput& input) {
    ImageReport report;
    const int opened = ForImage(input.name, report, st, [&] {
      ResetKeepingBuffers(st);
      CliWindow win(input.name);
      const bool listed = OpenForReport(st, win, input, report, /*verify=*/true);
      if (!listed && !report.identified) return static_cast<int>(kExitImage);
      report.sectors = CountSectors(st.source);
      if (listed) {
        report.checks = CheckEntries(st, report.listing);
        CheckRows(win, report);
      }
      if (report.listing.image_ends) win.Note(kNoteImageEnds);
      return static_cast<int>(kExitOk);
    });
    unreadable = unreadable || opened == kExitImage;
    // Entries the image has lost are damage of the disk, whatever its format keeps.
    damaged = damaged || report.listing.image_ends || (report.format != "JV1" && report.sectors.damaged > 0);
    for (const FileRow& row : report.files) {
      damaged = damaged || row.check->verdict.integrity == FileIntegrity::kDamaged ||
                row.check->verdict.integrity == FileIntegrity::kMissing;
    }
    if (json) {
      Emit(CheckJsonLine(report, json_line));
    } else {
      std::string out;
      AppendCheckText(out, report);
      Emit(out);
    }
  });
  return unreadable ? kExitImage : damaged ? kExitDamaged : kExitOk;
}

int RunMap(const std::string& image, const std::string& svg) {
  ImageReport report;
  DiskState st;
  ImageInput input{.name = image};
  return ForImage(image, report, st, [&] {
    CliWindow win(image);
    if (archive::IsZipPath(image)) {
      win.Note("map draws one disk image, not an archive: unpack the image first");
      return static_cast<int>(kExitImage);
    }
    if (!OpenForReport(st, win, input, report, /*verify=*/true) && !report.identified) return static_cast<int>(kExitImage);
    const std::vector<EntryCheck> checks = CheckEntries(st, report.listing);
    const std::string text = RenderDiskMapSvg(MapOfDisk(st, report.listing, checks, image));
    WriteError error;
    if (!WriteFileAtomic(svg, reinterpret_cast<const uint8_t*>(text.data()), text.size(),
                         {.replace = true, .image = st.channel1.Identity()}, &error)) {
      win.Note(error.text);
      return static_cast<int>(kExitWrite);
    }
    return static_cast<int>(kExitOk);
  });
}

}  // namespace vornik::cli

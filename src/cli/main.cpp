// vornik-cli: lists the files on disk images and copies them out, for
// scripts and batches, through the same procedures as the window.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "platform/platform.h"
#include "cli/image_report.h"

namespace {

using vornik::cli::kExitOk;
using vornik::cli::kExitUsage;

const char kVersion[] = "vornik-cli 1.0\n";

const char kUsage[] =
    "Usage:\n"
    "  vornik-cli info IMAGE...\n"
    "  vornik-cli list [--json] IMAGE...\n"
    "  vornik-cli extract IMAGE [NAME/EXT|NAME.EXT ...] [--all] [--exact] [-o DIR] [--force]\n"
    "  vornik-cli check [--json] IMAGE...\n"
    "  vornik-cli map IMAGE -o FILE.svg\n"
    "  vornik-cli --help | --version\n"
    "\n"
    "Reads JV1, JV3 and DMK disk images (never writes them).\n"
    "  info      format, summary line, Newdos/80, directory range, and the DOS with\n"
    "            its disk name, date and free space of each image\n"
    "  list      the files of each image: the bytes a copy takes, the DOS's size,\n"
    "            date and attributes (S system, I invisible, protection level,\n"
    "            \"killed\" when the DOS no longer counts it); --json prints one JSON\n"
    "            object per image per line (\"image\" is the path as given, with\n"
    "            U+FFFD for bytes that are not UTF-8; such a path adds \"image_hex\",\n"
    "            its bytes in hex)\n"
    "  extract   copies the named files (any case), or every file with --all, into\n"
    "            DIR (default: the current folder); an existing file is replaced\n"
    "            only with --force; --exact writes the file's size as its DOS\n"
    "            records it instead of its whole sectors (a file whose DOS size\n"
    "            needs more sectors than it has is not written); a file whose\n"
    "            sectors fail their check is written, and said to be\n"
    "  check     which sectors and which files read back as they were written:\n"
    "            each DMK sector's ID and data CRCs, each JV3 sector's CRC-error\n"
    "            flag (a JV1 image keeps nothing to check); a file is judged by\n"
    "            the sectors its copy reads: intact, damaged, missing (its copy\n"
    "            fails) or unchecked; --json prints one JSON object per image\n"
    "  map       the disk map as an SVG picture: every track and sector of each\n"
    "            side, coloured by what owns it, damaged sectors crossed out\n"
    "\n"
    "A .zip archive stands for the disk images in it: each member named .dsk,\n"
    ".dmk, .jv1 or .jv3 (any case) is read as that file would be on its own and\n"
    "named ARCHIVE.zip/MEMBER; other members are passed over, an archive inside\n"
    "the archive with a note. An image member that is encrypted or corrupt, or\n"
    "that a cap leaves unread, is reported as an image that cannot be read: a\n"
    "member is unpacked no further than 64 MiB (too large for a disk image), an\n"
    "archive no further than 1 GiB or 1100 times its own size. extract writes\n"
    "the images of an archive that holds several into DIR/NAME, a folder each:\n"
    "the member's file name without its folders, made safe like a copy's name,\n"
    "with -2, -3, ... before the extension of a name taken before. A build\n"
    "without libarchive, such as the Windows one, reads no zip archive.\n"
    "\n"
    "Names on a disk are printed with control characters as \\xNN. An extract\n"
    "writes at most four times the image's size or 4 MiB, whichever is larger.\n"
    "\n"
    "Exit status: 0 all fine, 1 usage, 2 an image could not be read (or not\n"
    "within the memory there is), 3 a copy failed, a name is not on the disk\n"
    "or a limit or the image's end cut the work short, 4 a write failed or was\n"
    "refused (the output included); the largest that applies. check: 2 when an\n"
    "image cannot be read at all, else 5 when a sector or a file is damaged or\n"
    "missing, or the image ends inside its directory.\n";

int UsageError(const std::string& what) {
  std::fprintf(stderr, "vornik-cli: %s\n%s", what.c_str(), kUsage);
  return kExitUsage;
}

// What the command line asks for.
struct Request {
  std::vector<std::string> operands;
  bool json = false;
  std::string map_output;
  vornik::cli::ExtractRequest extract;
};

// --help, -h and --version answer the moment they are read, wherever they
// stand before "--": the first of them wins over anything else on the line.
void AddAnswerFlags(CLI::App& app) {
  app.add_flag_callback("-h,--help", [] { throw CLI::CallForHelp(); })->trigger_on_parse();
  app.add_flag_callback("--version", [] { throw CLI::CallForVersion(); })->trigger_on_parse();
}

// A command takes operands and options in any order. Options it does not
// know are kept, not refused, so that the message can name the first one.
CLI::App* AddCommand(CLI::App& app, const char* name, Request& request) {
  CLI::App* command = app.add_subcommand(name);
  command->allow_extras();
  AddAnswerFlags(*command);
  command->add_option("operands", request.operands);
  // The parser hands the rest of the line back to the top level at "--"
  // once no positional is left unfilled; this one never fills, so the
  // words after "--" stay the command's operands.
  command->add_option("operands-after-marker")->expected(1);
  return command;
}

// The first option the command does not know, or "".
std::string UnknownOption(const CLI::App& command) {
  for (const std::string& extra : command.remaining()) {
    if (extra != "--") return extra;  // the marker itself is kept with the extras
  }
  return "";
}

int Run(const std::string& command, Request& request) {
  if (request.operands.empty()) return UsageError(command + " needs an image");
  if (command == "info") return vornik::cli::RunInfo(request.operands);
  if (command == "list") return vornik::cli::RunList(request.operands, request.json);
  if (command == "check") return vornik::cli::RunCheck(request.operands, request.json);
  if (command == "map") {
    if (request.operands.size() != 1) return UsageError("map takes one image");
    if (request.map_output.empty()) return UsageError("map needs -o FILE.svg");
    return vornik::cli::RunMap(request.operands.front(), request.map_output);
  }

  vornik::cli::ExtractRequest& extract = request.extract;
  extract.image = request.operands.front();
  extract.names.assign(request.operands.begin() + 1, request.operands.end());
  if (extract.dir.empty()) return UsageError("-o needs a folder");
  if (extract.names.empty() && !extract.all) return UsageError("extract needs file names or --all");
  return vornik::cli::RunExtract(extract);
}

// Parses the line and runs the command; returns the exit status.
int ParseAndRun(int argc, char** argv) {
  Request request;
  CLI::App app;
  app.set_help_flag();  // kUsage stands in for the generated help
  app.allow_extras();
  app.allow_windows_style_options(false);  // "/path" is a path on every system
  app.require_subcommand(0, 1);
  AddAnswerFlags(app);
  AddCommand(app, "info", request);
  AddCommand(app, "list", request)->add_flag("--json", request.json);
  CLI::App* extract = AddCommand(app, "extract", request);
  extract->add_flag("--all", request.extract.all);
  extract->add_flag("--force", request.extract.force);
  extract->add_flag("--exact", request.extract.exact);
  extract->add_option("-o,--output", request.extract.dir)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  AddCommand(app, "check", request)->add_flag("--json", request.json);
  CLI::App* map = AddCommand(app, "map", request);
  map->add_option("-o,--output", request.map_output)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

  std::string parse_error;
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  } catch (const CLI::CallForVersion&) {
    std::fputs(kVersion, stdout);
    return kExitOk;
  } catch (const CLI::ParseError& error) {
    parse_error = error.what();
  }
  if (!app.remaining().empty()) return UsageError("unknown command " + app.remaining().front());
  if (app.get_subcommands().empty()) return UsageError(parse_error.empty() ? "no command given" : parse_error);
  const CLI::App& command = *app.get_subcommands().front();
  if (!parse_error.empty()) {
    // The one option with a value can only miss it as the last word.
    const std::string last = argv[argc - 1];
    if ((&command == extract || &command == map) && (last == "-o" || last == "--output"))
      return UsageError(last + (&command == map ? " needs a file" : " needs a folder"));
    return UsageError(parse_error);
  }
  const std::string unknown = UnknownOption(command);
  if (!unknown.empty()) return UsageError("unknown option " + unknown + " for " + command.get_name());
  return Run(command.get_name(), request);
}

}  // namespace

int main(int argc, char** argv) {
  const bool output_closed = vornik::platform::SecureStandardStreams();
  static char out_buffer[1 << 16];
  std::setvbuf(stdout, out_buffer, _IOFBF, sizeof out_buffer);
  // CLI11 reads C strings; these are UTF-8 on every system.
  std::vector<std::string> args = vornik::platform::Arguments(argc, argv);
  std::vector<char*> pointers;
  for (std::string& arg : args) pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  const int status = ParseAndRun(static_cast<int>(args.size()), pointers.data());
  // What could not be written is a failure too (a full disk, a closed pipe).
  if (std::fflush(stdout) != 0 || std::ferror(stdout) || output_closed) {
    std::fprintf(stderr, "vornik-cli: cannot write the output: %s\n", std::strerror(output_closed ? EBADF : errno));
    return std::max(status, static_cast<int>(vornik::cli::kExitWrite));
  }
  return status;
}

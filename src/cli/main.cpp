#include <malloc.h>
// vornik-cli: lists the files on disk images and copies them out, for
// scripts and batches, through the same procedures as the window.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/image_report.h"

namespace {

using vornik::cli::kExitOk;
using vornik::cli::kExitUsage;

const char kVersion[] = "vornik-cli 1.0\n";

const char kUsage[] =
    "Usage:\n"
    "  vornik-cli info IMAGE...\n"
    "  vornik-cli list [--json] IMAGE...\n"
    "  vornik-cli extract IMAGE [NAME/EXT|NAME.EXT ...] [--all] [-o DIR] [--force]\n"
    "  vornik-cli --help | --version\n"
    "\n"
    "Reads JV1, JV3 and DMK disk images (never writes them).\n"
    "  info      format, summary line, Newdos/80 and directory range of each image\n"
    "  list      the files of each image with their sizes; --json prints one JSON\n"
    "            object per image per line\n"
    "  extract   copies the named files (any case), or every file with --all, into\n"
    "            DIR (default: the current folder); an existing file is replaced\n"
    "            only with --force\n"
    "\n"
    "Exit status: 0 all fine, 1 usage, 2 an image could not be read, 3 a copy\n"
    "failed or a name is not on the disk, 4 a write failed or was refused;\n"
    "the largest that applies.\n";

int UsageError(const std::string& what) {
  std::fprintf(stderr, "vornik-cli: %s\n%s", what.c_str(), kUsage);
  return kExitUsage;
}

bool IsOption(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

// Splits arguments into options and operands; "--" ends the options.
struct Arguments {
  std::vector<std::string> options;
  std::vector<std::string> operands;
  std::string output_dir;
  bool has_output_dir = false;
};

bool SplitArguments(const std::vector<std::string>& args, bool takes_output, Arguments& parsed, std::string& error) {
  bool options_done = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_done || !IsOption(arg)) {
      parsed.operands.push_back(arg);
    } else if (arg == "--") {
      options_done = true;
    } else if (takes_output && (arg == "-o" || arg == "--output")) {
      if (i + 1 >= args.size()) {
        error = arg + " needs a folder";
        return false;
      }
      parsed.output_dir = args[++i];
      parsed.has_output_dir = true;
    } else {
      parsed.options.push_back(arg);
    }
  }
  return true;
}

int RunCommand(const std::string& command, const std::vector<std::string>& rest) {
  Arguments parsed;
  std::string error;
  if (!SplitArguments(rest, command == "extract", parsed, error)) return UsageError(error);
  bool json = false;
  vornik::cli::ExtractRequest request;
  for (const std::string& option : parsed.options) {
    if (command == "list" && option == "--json") {
      json = true;
    } else if (command == "extract" && option == "--all") {
      request.all = true;
    } else if (command == "extract" && option == "--force") {
      request.force = true;
    } else {
      return UsageError("unknown option " + option + " for " + command);
    }
  }
  if (parsed.operands.empty()) return UsageError(command + " needs an image");
  if (command == "info") return vornik::cli::RunInfo(parsed.operands);
  if (command == "list") return vornik::cli::RunList(parsed.operands, json);

  request.image = parsed.operands.front();
  request.names.assign(parsed.operands.begin() + 1, parsed.operands.end());
  if (parsed.has_output_dir) request.dir = parsed.output_dir;
  if (request.dir.empty()) return UsageError("-o needs a folder");
  if (request.names.empty() && !request.all) return UsageError("extract needs file names or --all");
  return vornik::cli::RunExtract(request);
}

}  // namespace

int main(int argc, char** argv) {
  // A batch opens thousands of images one after another: keep the freed
  // image buffers in the heap for the next image instead of handing them
  // back to the system and faulting fresh pages in every time.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024 * 1024);
  mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
  static char out_buffer[1 << 16];
  std::setvbuf(stdout, out_buffer, _IOFBF, sizeof out_buffer);

  std::vector<std::string> args(argv + 1, argv + argc);
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return kExitOk;
    }
    if (arg == "--version") {
      std::fputs(kVersion, stdout);
      return kExitOk;
    }
  }
  if (args.empty()) return UsageError("no command given");
  const std::string& command = args.front();
  if (command != "info" && command != "list" && command != "extract") {
    return UsageError("unknown command " + command);
  }
  const int status = RunCommand(command, std::vector<std::string>(args.begin() + 1, args.end()));
  std::fflush(stdout);
  return status;
}

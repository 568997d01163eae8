// The zip reader of a build without zip support (VORNIK_ZIP off): every
// archive gets the one message.
#include "archive/zip_archive.h"

namespace vornik::archive {

namespace {
const char kNotSupported[] = "zip archives are not supported in this build";
}  // namespace

bool ZipSupported() { return false; }

ArchiveResult ReadZip(const std::string&, const Visitor&, const ReadOptions&) { return {.error = kNotSupported}; }

ArchiveResult ReadZipBytes(std::span<const uint8_t>, const Visitor&, const ReadOptions&) {
  return {.error = kNotSupported};
}

}  // namespace vornik::archive

// The images a command-line operand names: the file itself, or each disk
// image inside a zip archive, read from memory under the name
// ARCHIVE.zip/MEMBER.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace vornik::cli {

struct ImageInput {
  std::string name{};  // shown as the image: the path, or ARCHIVE.zip/MEMBER
  std::string member{};  // the member's name inside its archive, empty for a file
  bool in_memory = false;      // opened from `bytes`, not by path
  bool too_large = false;      // in_memory, and larger than any disk image: refused as such a file is
  std::vector<uint8_t> bytes{};  // moved out when opened
  // Why an archive member, or an archive as a whole, cannot be read at all
  // ("unreadable" or "refused"), and in words; null for an image to open.
  const char* kind = nullptr;
  std::string error{};
  platform::FileId container{};  // the archive file a member came from
};

// Hands every image that `operand` names to `each`, in order. A zip archive
// gives one input per image member; a member that cannot be read, and an
// archive that cannot be read to its end, give an input that carries the
// error. Other members are passed over, an archive inside the archive with
// a note on stderr; so is an archive without an image.
void ForEachInput(const std::string& operand, const std::function<void(ImageInput&)>& each);

// How many image members the archive `operand` names (0 for a plain file).
size_t ImagesInArchive(const std::string& operand);

}  // namespace vornik::cli

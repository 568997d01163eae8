#include "cli/image_input.h"

#include "archive/zip_archive.h"
#include "cli/cli_window.h"

namespace vornik::cli {

void ForEachInput(const std::string& operand, const std::function<void(ImageInput&)>& each) {
  if (!archive::IsZipPath(operand)) {
    ImageInput input{.name = operand};
    each(input);
    return;
  }
  // A copy must never replace the archive it comes from.
  const platform::FileId archive_id = platform::IdOfPath(operand, /*follow=*/true);
  const archive::ArchiveResult result = archive::ReadZip(operand, [&](archive::Member& member) {
    const std::string name = archive::MemberLabel(operand, member.name);
    if (member.state == archive::MemberState::kNested) {
      // Not an image: said, and passed over like any other member.
      CliWindow(name).Note(member.error);
      return;
    }
    ImageInput input{.name = name, .member = member.name, .container = archive_id};
    if (member.state == archive::MemberState::kFailed) {
      input.kind = "unreadable";
      input.error = member.error;
    } else {
      input.too_large = member.state == archive::MemberState::kTooLarge;
      input.in_memory = true;
      input.bytes = std::move(member.bytes);
    }
    each(input);
  });
  if (!result.error.empty()) {
    ImageInput input{.name = operand, .kind = "unreadable", .error = result.error};
    each(input);
  } else if (result.images == 0) {
    CliWindow(operand).Note("no disk image in this archive (.dsk, .dmk, .jv1 or .jv3)");
  }
}

size_t ImagesInArchive(const std::string& operand) {
  if (!archive::IsZipPath(operand)) return 0;
  return archive::ReadZip(operand, [](archive::Member&) {}, {.names_only = true}).images;
}

}  // namespace vornik::cli

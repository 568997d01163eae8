// Every text the program shows in a message box, and the notices the core
// hands to the window (or the command-line program) to show: the core
// itself never shows anything.
#pragma once

#include <string>
#include <vector>

namespace vornik {

enum class MsgIcon { None, Exclamation, Question };
enum class MsgButtons { Ok, YesNoDefaultNo };
enum class MsgAnswer { Ok, Yes, No };

// Titles.
inline constexpr char kTitleError[] = "Error";
inline constexpr char kTitleOpenFailed[] = "Text Editor";
inline constexpr char kProgramTitle[] = "Vornik";

// A carriage return (13) in a message is a line break.
inline constexpr char kMsgOpenFailed[] = "Error encountered while trying to open file, please retry.";
inline constexpr char kMsgRealDisk[] =
    "** ERROR **  This file is a DMK type REAL disk format,\r                     used to access REAL Disks";
inline constexpr char kMsgNoHeader[] =
    "** ERROR **\r This file does not have an EMULATOR Disk format HEADER\r    It may be a Disk file for use with a "
    "dedicated program";
inline constexpr char kMsgTooLarge[] = "** ERROR **  File is too large to be a disk image";
inline constexpr char kMsgNotFound[] = "** ERROR **  Not found, or File format faulty";
inline constexpr char kMsgCopyFailed[] = "** ERROR **  File could not be read, nothing was copied";
inline constexpr char kMsgOverwrite[] = "Overwrite existing file?";
inline constexpr char kMsgWriteFailed[] = "Error occurred while trying to close file, please retry.";

// Said of an image, not shown in a box: what of it is not read.
inline constexpr char kNoteDirectoryCut[] = "the directory holds more than 32 entry sectors; the rest is not read";
inline constexpr char kNoteImageEnds[] = "the image ends inside the directory; the entries past its end are not listed";
inline constexpr char kNoteThirdBlock[] =
    "the image goes on past its second JV3 header block; the sectors of a third are not read";

// A message box with an OK button that the core asks to be shown.
struct Notice {
  std::string text;
  MsgIcon icon = MsgIcon::None;
  std::string title = kTitleError;
};
using Notices = std::vector<Notice>;

}  // namespace vornik

// The window icon: a 5.25-inch floppy disk, 32 x 32 pixels in a palette
// of ten colours (so it fits a 16-colour icon).
#include "ui/icon.h"

#include <QPixmap>

namespace vornik::ui {
namespace {

const char* const kFloppyXpm[] = {
    "32 32 10 1",
    "  c None",
    "k c #000000",
    "d c #202040",
    "s c #404070",
    "w c #FFFFFF",
    "r c #C00000",
    "b c #0000A0",
    "h c #C0C0C0",
    "c c #808080",
    "m c #804000",
    "                                ",
    " kkkkkkkkkkkkkkkkkkkkkkkkkkkkkk ",
    " kssssssssssssssssssssssssssssk ",
    " ksdddddddddddddddddddddddddddk ",
    " ksdddwwwwwwwwwwwwwwwwwwwwddddk ",
    " ksdddwrrrrrrrrrrrrrrrrrrwddddk ",
    " ksdddwwwwwwwwwwwwwwwwwwwwdddk  ",
    " ksdddwwbbbbbbbbbbbbbbwwwwdddk  ",
    " ksdddwwwwwwwwwwwwwwwwwwwwdddk  ",
    " ksdddwwbbbbbbbbbbbwwwwwwwdddk  ",
    " ksdddwwwwwwwwwwwwwwwwwwwwddddk ",
    " ksdddddddddddddddddddddddddddk ",
    " ksdddddddddddddddddddddddddddk ",
    " ksdddddddddddmmmmddddddddddddk ",
    " ksdddddddddmmmccmmmddddddddddk ",
    " ksdddddddddmcchhccmddddddddddk ",
    " ksddddddddmmchhhhcmmdddddddddk ",
    " ksddddddddmchhhhhhcmdddddddddk ",
    " ksddddddddmchhhhhhcmdmmddddddk ",
    " ksddddddddmmchhhhcmmdmmddddddk ",
    " ksdddddddddmcchhccmddddddddddk ",
    " ksdddddddddmmmccmmmddddddddddk ",
    " ksdddddddddddmmmmddddddddddddk ",
    " ksdddddddddddddddddddddddddddk ",
    " ksdddddddddddkmmkddddddddddddk ",
    " ksdddddddddddkmmkddddddddddddk ",
    " ksdddddddddddkmmkddddddddddddk ",
    " ksdddddddddddkmmkddddddddddddk ",
    " ksdddddddddddkmmkddddddddddddk ",
    " ksdddddddddddkmmkddddddddddddk ",
    " kkkkkkkkkkkkkkkkkkkkkkkkkkkkkk ",
    "                                "
};

}  // namespace

QImage WindowIconImage() { return QImage(kFloppyXpm); }

QIcon WindowIcon() { return QIcon(QPixmap::fromImage(WindowIconImage())); }

}  // namespace vornik::ui

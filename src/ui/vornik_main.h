// The program's one window: the image's format, path and summary boxes, the
// sorted file list, the copy frame and the File menu. It owns the disk
// state; its commands are thin, leave the work to the core and show what
// the core returns.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <QColor>
#include <QMainWindow>

#include "directory/open_image.h"
#include "directory/read_directory.h"
#include "extract/integrity.h"
#include "platform/platform.h"
#include "state/disk_state.h"
#include "state/messages.h"
#include "state/sorted_list.h"
#include "ui/dialogs.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace vornik::ui {

// Colour values of the core (red in the low byte) to and from Qt colours.
QColor ToQColor(int32_t colour);
int32_t FromQColor(const QColor& colour);

// What the DOS says of a listed file in a line: its size and date, and
// with `attributes` its attributes too.
QString FactsText(const Listing& listing, const ListedEntry& entry, bool attributes);

// Pixels for a distance in twips (1/1440 inch) at `dpi` dots per inch.
int TwipsToPixels(int twips, double dpi);

// Colours are 24-bit values with red in the low byte.
constexpr int32_t kColourRed = 255;
constexpr int32_t kColourGreen = 65280;
constexpr int32_t kColourBlue = 16711680;
constexpr int32_t kColourNewdos = 16576;  // red 192, green 64, blue 0

enum class TextBox { Txtfiletype, Text2, Text3 };

class VornikMain : public QMainWindow {
  Q_OBJECT

 public:
  // Takes the dialogs the commands use (Qt's own when none are given) and
  // runs Form_Load, so the window is ready to be shown.
  explicit VornikMain(std::unique_ptr<Dialogs> dialogs = nullptr, QWidget* parent = nullptr);
  ~VornikMain() override;

  // Event handlers and the two public operations, under the names the
  // rest of the program knows them by.
  void Form_Load();
  void mnuFileItem_Click(int16_t Index);  // 1 Open, 4 Exit
  void List1_Click();
  void Cmndcopytofolder_Click();
  void OpenFile(const std::string& FileName);
  // True when the copy was written.
  bool SaveAsFile(const std::string& FileName);

  // The Open command from the point where the dialog has given a path;
  // dropping a file on the window comes here too.
  void OpenImagePath(const QString& path);
  // View > Disk Map: the picture of the opened image in a dialog.
  void ShowDiskMapOfImage();

  SortedList& List1() { return list1_; }
  SortedList& List2() { return list2_; }
  DiskState& State() { return st_; }
  QLineEdit* Box(TextBox box) const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildControls();
  void BuildMenu();
  void SetBoxText(TextBox box, const std::string& text);
  void SetBoxBackColor(TextBox box, int32_t colour);
  void SetBoxForeColor(TextBox box, int32_t colour);
  MsgAnswer MsgBox(const std::string& text, MsgIcon icon, MsgButtons buttons, const std::string& title);
  void ShowNotices(const Notices& notices);
  // `work` run beside the window's event loop, which keeps repainting with
  // a busy cursor and takes no input meanwhile.
  template <typename T>
  T Busy(std::function<T()> work);
  // The core's open of `name`, run beside the window's event loop.
  OpenOutcome LoadImage(const std::string& name);
  // The open of a disk image inside the zip archive `name`: the one it
  // holds, or the one chosen from the list of several; `shown` becomes
  // ARCHIVE/MEMBER. Nothing when the choice was cancelled.
  std::optional<OpenOutcome> LoadArchiveMember(const std::string& name, std::string& shown);
  // The format, summary and DOS boxes and the two lists of an opened image.
  void ShowListing(const Listing& listing);
  // The listed entry of List1's item `index`, or none.
  const ListedEntry* EntryAt(int index) const;
  // Shows the two list models in their list boxes again.
  void RefreshLists();

  DiskState st_;
  Listing listing_;  // the opened image's entries and what its DOS says
  std::vector<EntryCheck> checks_;  // each entry's check, in listing order
  SortedList list1_;
  SortedList list2_;
  std::unique_ptr<Dialogs> dialogs_;
  platform::FileId archive_id_;  // the archive the open image came from: a copy never replaces it
  bool loading_ = false;
  bool close_after_load_ = false;

  QLabel* Label7_ = nullptr;
  QLineEdit* Txtfiletype_ = nullptr;
  QLineEdit* TxtFilename_ = nullptr;
  QLineEdit* Text2_ = nullptr;
  QLineEdit* Text3_ = nullptr;
  QWidget* Frame3_ = nullptr;
  QListWidget* List1_ = nullptr;
  QListWidget* List2_ = nullptr;
  QWidget* Frame1_ = nullptr;
  QLineEdit* Text1_ = nullptr;
  QCheckBox* ChkExact_ = nullptr;
  QAction* mnuViewDiskMap_ = nullptr;  // copy the DOS's size, not whole sectors
  QLabel* LblFacts_ = nullptr;     // the selected file's size and date
  QPushButton* Cmndcopytofolder_ = nullptr;
};

// The caption and the program's title.
extern const char* const kWindowCaption;
extern const char* const kApplicationTitle;

// Application-wide settings shared by the program and its tests: the
// program's name and the stand-in for "Courier New" where it is missing.
void PrepareApplication();

}  // namespace vornik::ui

#include "ui/vornik_main.h"

#include <cmath>

#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include "archive/zip_archive.h"
#include "directory/dos_name.h"
#include "directory/open_image.h"
#include "extract/copy_out_file.h"
#include "extract/integrity.h"
#include "extract/safe_name.h"
#include "extract/write_copy.h"
#include "image/read_disk_image.h"
#include "map/map_of_disk.h"
#include "ui/disk_map_view.h"
#include "ui/icon.h"

namespace vornik::ui {

const char* const kWindowCaption = "Vornik  .Dsk ( Dmk & Jv)  2026  V1.0";
const char* const kApplicationTitle = "Vornik";

namespace {

// The window's layout in twips: client area, controls as left, top, width,
// height, and the two rules.
constexpr int kClientWidth = 11640;
constexpr int kClientHeight = 7740;

struct Rect {
  int left, top, width, height;
};

constexpr Rect kLabel7{120, 120, 495, 255};
constexpr Rect kTxtfiletype{600, 120, 495, 315};
constexpr Rect kTxtFilename{1200, 120, 9615, 315};
constexpr Rect kText2{120, 480, 2175, 315};
constexpr Rect kText3{2400, 480, 8295, 315};
constexpr Rect kFrame3{720, 960, 2895, 6735};
constexpr Rect kList1{960, 1440, 2415, 5940};
constexpr Rect kList2{10320, 960, 375, 270};
constexpr Rect kFrame1{3960, 2160, 4095, 2640};
constexpr Rect kText1{4680, 2640, 2655, 375};
constexpr Rect kCmndcopytofolder{4680, 3480, 2655, 375};
constexpr Rect kChkExact{4680, 3060, 2655, 315};
constexpr Rect kLblFacts{4080, 3900, 3855, 780};  // three lines: a note on the image may take them all

constexpr int kLineLength = 10800;
constexpr int kLine1Y = 0;
constexpr int kLine3Y = 840;

const QColor kPeach(255, 192, 128);
const QColor kCream(255, 224, 192);

// The client area below the menu bar: draws the two rules. The frames are
// siblings of the controls they surround, not their parents.
class ClientArea : public QWidget {
 public:
  explicit ClientArea(QWidget* parent) : QWidget(parent) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    const double dx = logicalDpiX();
    const double dy = logicalDpiY();
    const int right = TwipsToPixels(kLineLength, dx);
    for (int y : {kLine1Y, kLine3Y}) {
      const int py = TwipsToPixels(y, dy);
      painter.drawLine(0, py, right, py);
    }
  }
};

// A frame: an etched rectangle whose top line is broken by the caption. It
// only surrounds its controls; they are children of the client area.
class FrameBox : public QWidget {
 public:
  FrameBox(const QString& caption, QWidget* parent) : QWidget(parent), caption_(caption) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  const QString& caption() const { return caption_; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const int top = metrics.height() / 2;
    const QRect box(0, top, width() - 2, height() - top - 2);
    const QColor dark = palette().color(QPalette::Dark);
    const QColor light = palette().color(QPalette::Light);
    painter.setPen(dark);
    painter.drawRect(box);
    painter.setPen(light);
    painter.drawRect(box.translated(1, 1));
    // The caption sits on the top line, a little in from the left edge.
    const int text_left = metrics.averageCharWidth();
    const QRect text(text_left, 0, metrics.horizontalAdvance(caption_) + 2, metrics.height());
    painter.fillRect(text, palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, caption_);
  }

 private:
  QString caption_;
};

void SetBackground(QWidget* widget, const QColor& colour) {
  QPalette pal = widget->palette();
  pal.setColor(QPalette::Base, colour);
  widget->setPalette(pal);
}

}  // namespace

QString FactsText(const Listing& listing, const ListedEntry& entry, bool attributes) {
  const DosEntry& e = FactsOf(listing, entry);
  const bool known = DosKnows(listing, entry);
  QStringList parts;
  parts << (known && e.size ? QStringLiteral("%1 bytes").arg(*e.size) : QStringLiteral("size unknown"));
  if (known && !e.date.empty()) parts << QString::fromStdString(e.date);
  if (attributes) {
    QStringList a;
    if (!e.in_use) a << QStringLiteral("not in use");
    if (e.system) a << QStringLiteral("system");
    if (e.invisible) a << QStringLiteral("invisible");
    a << QStringLiteral("protection %1").arg(e.protection);
    if (known && !e.error.empty()) a << QString::fromStdString(e.error);
    parts << a.join(QStringLiteral(", "));
  }
  return parts.join(QStringLiteral(" \u00B7 "));
}

QColor ToQColor(int32_t colour) {
  return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

int32_t FromQColor(const QColor& colour) {
  return colour.red() | (colour.green() << 8) | (colour.blue() << 16);
}

int TwipsToPixels(int twips, double dpi) {
  return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

void PrepareApplication() {
  // No display name: the platform would append it to the caption.
  QCoreApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
  // A metric-compatible monospace face where "Courier New" is not installed.
  QFont::insertSubstitution(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"));
}

VornikMain::VornikMain(std::unique_ptr<Dialogs> dialogs, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs ? std::move(dialogs) : std::make_unique<QtDialogs>()) {
  setObjectName(QStringLiteral("VornikMain"));
  setWindowTitle(QString::fromLatin1(kWindowCaption));
  setWindowIcon(WindowIcon());
  QFont font(QStringLiteral("Courier New"));
  font.setBold(true);
  font.setPointSizeF(8.25);
  setFont(font);
  setAcceptDrops(true);
  BuildMenu();
  BuildControls();
  Form_Load();
}

VornikMain::~VornikMain() = default;

void VornikMain::BuildMenu() {
  QMenuBar* bar = menuBar();
  bar->setFont(QApplication::font());
  QMenu* mnuFile = bar->addMenu(QStringLiteral("    &File"));
  mnuFile->setObjectName(QStringLiteral("mnuFile"));
  mnuFile->setFont(QApplication::font());

  QAction* open = mnuFile->addAction(QStringLiteral("&Open..."));
  open->setObjectName(QStringLiteral("mnuFileItem1"));
  open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  connect(open, &QAction::triggered, this, [this] { mnuFileItem_Click(1); });

  QAction* separator = mnuFile->addSeparator();
  separator->setObjectName(QStringLiteral("mnuFileItem3"));

  QAction* exit = mnuFile->addAction(QStringLiteral("E&xit"));
  // View: the disk map of the opened image.
  QMenu* mnuView = bar->addMenu(QStringLiteral("&View"));
  mnuView->setObjectName(QStringLiteral("mnuView"));
  mnuView->setFont(QApplication::font());
  mnuViewDiskMap_ = mnuView->addAction(QStringLiteral("&Disk Map..."));
  mnuViewDiskMap_->setObjectName(QStringLiteral("mnuViewDiskMap"));
  mnuViewDiskMap_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
  mnuViewDiskMap_->setEnabled(false);
  connect(mnuViewDiskMap_, &QAction::triggered, this, [this] { ShowDiskMapOfImage(); });
  exit->setObjectName(QStringLiteral("mnuFileItem4"));
  exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  connect(exit, &QAction::triggered, this, [this] { mnuFileItem_Click(4); });
}

void VornikMain::BuildControls() {
  auto* client = new ClientArea(this);
  client->setObjectName(QStringLiteral("ClientArea"));
  setCentralWidget(client);

  const double dx = client->logicalDpiX();
  const double dy = client->logicalDpiY();
  auto place = [&](QWidget* w, const Rect& r, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(TwipsToPixels(r.left, dx), TwipsToPixels(r.top, dy), TwipsToPixels(r.width, dx),
                   TwipsToPixels(r.height, dy));
  };
  auto text_box = [&](const Rect& r, const char* name, const QColor& back) {
    auto* box = new QLineEdit(client);
    place(box, r, name);
    SetBackground(box, back);
    // A dropped image file belongs to the window, not to the text.
    box->setAcceptDrops(false);
    return box;
  };

  // The frames first, so that the controls they surround lie above them.
  Frame3_ = new FrameBox(QStringLiteral("Select File to Copy"), client);
  place(Frame3_, kFrame3, "Frame3");
  Frame1_ = new FrameBox(QStringLiteral("Copy File"), client);
  place(Frame1_, kFrame1, "Frame1");

  Label7_ = new QLabel(QStringLiteral("Type"), client);
  place(Label7_, kLabel7, "Label7");
  Label7_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  Txtfiletype_ = text_box(kTxtfiletype, "Txtfiletype", kPeach);
  TxtFilename_ = text_box(kTxtFilename, "TxtFilename", kPeach);
  Text2_ = text_box(kText2, "Text2", kCream);
  QFont big = font();
  big.setPointSizeF(11.25);
  Text2_->setFont(big);
  Text3_ = text_box(kText3, "Text3", kCream);

  List1_ = new QListWidget(client);
  place(List1_, kList1, "List1");
  SetBackground(List1_, kCream);
  List1_->setSelectionMode(QAbstractItemView::SingleSelection);
  List1_->setUniformItemSizes(true);

  List2_ = new QListWidget(client);
  place(List2_, kList2, "List2");
  List2_->setSelectionMode(QAbstractItemView::SingleSelection);

  Text1_ = text_box(kText1, "Text1", kCream);

  ChkExact_ = new QCheckBox(QStringLiteral("Exact size"), client);
  place(ChkExact_, kChkExact, "ChkExact");
  ChkExact_->setToolTip(QStringLiteral("Copy the file's size as its DOS records it, not its whole sectors"));
  LblFacts_ = new QLabel(client);
  place(LblFacts_, kLblFacts, "LblFacts");
  LblFacts_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  LblFacts_->setWordWrap(true);

  Cmndcopytofolder_ = new QPushButton(QStringLiteral("Copy File to PC Folder"), client);
  place(Cmndcopytofolder_, kCmndcopytofolder, "Cmndcopytofolder");
  Cmndcopytofolder_->setAutoDefault(false);

  setTabOrder(TxtFilename_, Txtfiletype_);
  setTabOrder(Txtfiletype_, List1_);
  setTabOrder(List1_, ChkExact_);
  setTabOrder(ChkExact_, Cmndcopytofolder_);
  setTabOrder(Cmndcopytofolder_, List2_);
  setTabOrder(List2_, Text1_);
  setTabOrder(Text1_, Text2_);
  setTabOrder(Text2_, Text3_);
  TxtFilename_->setFocus();

  connect(List1_, &QListWidget::currentRowChanged, this, [this](int row) {
    list1_.SetListIndex(row);
    List1_Click();
  });
  connect(List2_, &QListWidget::currentRowChanged, this, [this](int row) { list2_.SetListIndex(row); });
  connect(List1_, &QListWidget::itemDoubleClicked, this, [this] { Cmndcopytofolder_Click(); });
  connect(Cmndcopytofolder_, &QPushButton::clicked, this, [this] { Cmndcopytofolder_Click(); });

  client->setFixedSize(TwipsToPixels(kClientWidth, dx), TwipsToPixels(kClientHeight, dy));
  setFixedSize(client->width(), client->height() + menuBar()->sizeHint().height());
}

void VornikMain::Form_Load() {
  // The program's own folder becomes the current one; where that fails the
  // program goes on in the folder it was started from.
  QDir::setCurrent(QCoreApplication::applicationDirPath());

  QScreen* screen = this->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->geometry();
  const QSize outer = frameGeometry().size();
  const int top = area.top() + area.height() / 2 - outer.height() / 2;
  const int left = area.left() + area.width() / 2 - outer.width() / 2;
  move(left, top);
}

void VornikMain::mnuFileItem_Click(int16_t Index) {
  if (Index == 1) {
    std::optional<QString> chosen = dialogs_->ChooseImage(this);
    if (!chosen) return;  // cancelled: nothing changes
    OpenImagePath(*chosen);
  } else if (Index == 4) {
    close();
    QCoreApplication::quit();
  }
}

void VornikMain::OpenImagePath(const QString& path) {
  const std::string name = QFile::encodeName(path).toStdString();
  // A name without any folder part is no file that could have been chosen:
  // it is tried, and nothing else happens.
  size_t separator = name.rfind('/');
#ifdef _WIN32
  const size_t backslash = name.rfind('\\');
  if (backslash != std::string::npos && (separator == std::string::npos || backslash > separator))
    separator = backslash;
#endif
  OpenOutcome out;
  std::vector<EntryCheck> checks;
  if (separator == std::string::npos) {
    st_.Filename = name;
    archive_id_ = {};
    OpenFile(st_.Filename);
  } else if (archive::IsZipPath(name)) {
    std::string shown;
    std::optional<OpenOutcome> opened = LoadArchiveMember(name, shown);
    if (!opened) return;  // the choice was cancelled: nothing changes
    out = std::move(*opened);
    st_.Filename = shown;
    archive_id_ = platform::IdOfPath(name, /*follow=*/true);
    // The archive's folder becomes the current one: the Save dialog starts there.
    QDir::setCurrent(QFileInfo(path).absolutePath());
  } else {
    // The image's folder becomes the current one: the Save dialog starts there.
    QDir::setCurrent(QFileInfo(path).absolutePath());
    out = LoadImage(name);
    archive_id_ = {};
  }
  if (separator != std::string::npos && out.kind == OpenKind::kListed) checks = CheckEntries(st_, out.listing);
  TxtFilename_->setText(QFile::decodeName(QByteArray::fromStdString(st_.Filename)));
  TxtFilename_->setCursorPosition(0);
  if (separator == std::string::npos) return;
  list1_.Clear();
  listing_ = {};
  checks_ = checks;
  LblFacts_->clear();
  mnuViewDiskMap_->setEnabled(false);
  RefreshLists();
  // Damaged images end quietly; refusals show their message.
  ShowNotices(out.notices);
  if (out.kind == OpenKind::kListed) ShowListing(out.listing);
  RefreshLists();
}

template <typename T>
T VornikMain::Busy(std::function<T()> work) {
  // A large image takes a moment to read and scan: the window keeps
  // repainting meanwhile, with a busy cursor, and takes no input.
  QApplication::setOverrideCursor(Qt::WaitCursor);
  loading_ = true;
  QFutureWatcher<T> watcher;
  QEventLoop loop;
  connect(&watcher, &QFutureWatcher<T>::finished, &loop, &QEventLoop::quit);
  watcher.setFuture(QtConcurrent::run(std::move(work)));
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  loading_ = false;
  QApplication::restoreOverrideCursor();
  if (close_after_load_) QTimer::singleShot(0, this, &QWidget::close);
  return watcher.result();
}

OpenOutcome VornikMain::LoadImage(const std::string& name) {
  return Busy<OpenOutcome>([this, name] { return OpenImage(st_, name, {.verify = true}); });
}

std::optional<OpenOutcome> VornikMain::LoadArchiveMember(const std::string& name, std::string& shown) {
  struct Listed {
    std::vector<archive::Member> members;
    std::string error;
  };
  Listed listed = Busy<Listed>([name] {
    Listed l;
    l.error = archive::ReadZip(name, [&](archive::Member& m) {
      if (m.state == archive::MemberState::kNamed) l.members.push_back(std::move(m));
    }, {.names_only = true}).error;
    return l;
  });
  if (close_after_load_) return std::nullopt;
  OpenOutcome failed;
  failed.kind = OpenKind::kUnreadable;
  shown = name;
  if (listed.members.empty()) {
    failed.notices.push_back({listed.error.empty() ? "There is no disk image in this archive."
                                                   : "The archive cannot be read: " + listed.error,
                              MsgIcon::Exclamation});
    return failed;
  }
  size_t chosen = 0;
  if (listed.members.size() > 1) {
    QStringList names;
    for (const archive::Member& m : listed.members) names << QString::fromUtf8(m.name);
    const std::optional<int> pick = dialogs_->ChooseMember(this, QFile::decodeName(name.c_str()), names);
    if (!pick || *pick < 0 || static_cast<size_t>(*pick) >= listed.members.size()) return std::nullopt;
    chosen = static_cast<size_t>(*pick);
  }
  const size_t index = listed.members[chosen].index;
  shown = archive::MemberLabel(name, listed.members[chosen].name);
  OpenOutcome out = Busy<OpenOutcome>([this, name, index, failed]() mutable {
    std::optional<archive::Member> member;
    const std::string error =
        archive::ReadZip(name, [&](archive::Member& m) { member = std::move(m); }, {.only = index}).error;
    if (member && member->state == archive::MemberState::kRead)
      return OpenImageBytes(st_, std::move(member->bytes), {.verify = true});
    if (member && member->state == archive::MemberState::kTooLarge) return TooLargeOutcome();  // as such a file is
    const std::string why = member && !member->error.empty() ? member->error : error.empty() ? "it is gone" : error;
    failed.notices.push_back({"The disk image cannot be read from the archive: " + why, MsgIcon::Exclamation});
    return failed;
  });
  // Images past a damaged part of the archive are not in the list: say so.
  if (!listed.error.empty())
    out.notices.push_back({"Not every disk image of the archive could be listed: " + listed.error, MsgIcon::Exclamation});
  return out;
}

void VornikMain::closeEvent(QCloseEvent* event) {
  // The image being loaded belongs to the state the window owns: the window
  // closes once the load is done.
  if (loading_) {
    close_after_load_ = true;
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

void VornikMain::OpenFile(const std::string& FileName) {
  if (!vornik::OpenFile(st_, FileName)) ShowNotices({{kMsgOpenFailed, MsgIcon::Exclamation, kTitleOpenFailed}});
}

void VornikMain::List1_Click() {
  const int index = list1_.ListIndex();
  if (index < 0 || index >= list1_.ListCount()) return;
  Text1_->setText(QString::fromLatin1(DosName::FromItem(list1_.List(index)).Shown()));
  const ListedEntry* entry = EntryAt(index);
  LblFacts_->setText(entry ? FactsText(listing_, *entry, false) : QString());
}

void VornikMain::Cmndcopytofolder_Click() {
  if (st_.openflag == 0) return;
  const int index = list1_.ListIndex();
  if (index < 0) return;
  const ListedEntry* entry = EntryAt(index);
  if (!entry) return;
  Notices notices;
  SectorReads reads;
  const CopyStatus copied = CopyListedEntry(st_, listing_, *entry, ChkExact_->isChecked(), notices, &reads);
  ShowNotices(notices);
  if (copied != CopyStatus::kCopied) return;  // outside the directory, or it has said why
  const FileVerdict verdict = JudgeCopy(st_.source, true, reads);

  std::optional<QString> chosen = dialogs_->ChooseCopyTarget(this, QDir::currentPath(),
                                                             QString::fromStdString(SafeHostName(st_.Copyfilename)));
  if (!chosen) return;  // cancelled: nothing is written
  // The copy goes into the folder the dialog was confirmed in, under its
  // DOS name; if that folder cannot be entered nothing is written at all.
  if (!QDir::setCurrent(QFileInfo(*chosen).absolutePath())) return;
  st_.Filename = st_.Copyfilename;
  const int64_t copied_bytes = AsIndex(st_.fpb);
  if (!SaveAsFile(st_.Filename)) return;
  if (verdict.integrity == FileIntegrity::kDamaged) {
    const std::string count = std::to_string(verdict.bad.size());
    MsgBox("The copy was written, but " + count + " of its sectors failed their check: its bytes may not be what "
           "the disk once held.",
           MsgIcon::Exclamation, MsgButtons::Ok, kProgramTitle);
  }
  if (const int64_t size = DosSizeBeyondCopy(listing_, *entry, copied_bytes); size != 0) {
    MsgBox("The copy was written, but it holds only " + std::to_string(copied_bytes) + " of the " +
               std::to_string(size) + " bytes the disk's DOS counts for the file: its extents hold no more.",
           MsgIcon::Exclamation, MsgButtons::Ok, kProgramTitle);
  }
}

bool VornikMain::SaveAsFile(const std::string& FileName) {
  const std::string name = SafeHostName(FileName);
  const auto replace_agreed = [&] {
    return MsgBox(kMsgOverwrite, MsgIcon::Question, MsgButtons::YesNoDefaultNo, kProgramTitle) == MsgAnswer::Yes;
  };
  // Only a Yes replaces: a name that appears after the check found it free
  // is asked about then, never overwritten unasked.
  WriteOptions options{.replace = false, .image = archive_id_.valid ? archive_id_ : st_.channel1.Identity()};
  if (PathExists(name)) {
    if (!replace_agreed()) return false;
    options.replace = true;
  }
  const int64_t size = AsIndex(st_.fpb);
  const bool fits = size >= 0 && size <= static_cast<int64_t>(st_.copybuf.size());
  WriteError error;
  const auto write = [&] {
    return fits && WriteFileAtomic(name, st_.copybuf.data(), static_cast<size_t>(size), options, &error);
  };
  bool written = write();
  if (!written && error.kind == WriteFailure::kExists) {
    if (!replace_agreed()) return false;
    options.replace = true;
    written = write();
  }
  if (!written) MsgBox(kMsgWriteFailed, MsgIcon::Exclamation, MsgButtons::Ok, kProgramTitle);
  return written;
}

QLineEdit* VornikMain::Box(TextBox box) const {
  switch (box) {
    case TextBox::Txtfiletype: return Txtfiletype_;
    case TextBox::Text2: return Text2_;
    case TextBox::Text3: return Text3_;
  }
  return Text3_;
}

void VornikMain::SetBoxText(TextBox box, const std::string& text) {
  QLineEdit* edit = Box(box);
  edit->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
  edit->setCursorPosition(0);
}

void VornikMain::SetBoxBackColor(TextBox box, int32_t colour) { SetBackground(Box(box), ToQColor(colour)); }

void VornikMain::SetBoxForeColor(TextBox box, int32_t colour) {
  QLineEdit* edit = Box(box);
  QPalette pal = edit->palette();
  pal.setColor(QPalette::Text, ToQColor(colour));
  edit->setPalette(pal);
}

MsgAnswer VornikMain::MsgBox(const std::string& text, MsgIcon icon, MsgButtons buttons,
                             const std::string& title) {
  QString shown = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return dialogs_->Message(this, shown, icon, buttons, QString::fromLatin1(title));
}

void VornikMain::ShowNotices(const Notices& notices) {
  for (const Notice& n : notices) MsgBox(n.text, n.icon, MsgButtons::Ok, n.title);
}

void VornikMain::ShowListing(const Listing& listing) {
  if (listing.filetype == "DMK") SetBoxBackColor(TextBox::Txtfiletype, kColourRed);
  if (listing.filetype == "JV3") SetBoxBackColor(TextBox::Txtfiletype, kColourGreen);
  SetBoxText(TextBox::Txtfiletype, listing.filetype);
  SetBoxText(TextBox::Text3, listing.summary);
  SetBoxText(TextBox::Text2, "");
  // The DOS box names the disk's DOS, or the Newdos/80 mark's.
  const std::string dos = !listing.dos.dos.empty() ? listing.dos.dos : listing.newdos ? "Newdos/80" : "";
  if (!dos.empty()) {
    SetBoxForeColor(TextBox::Text2, kColourNewdos);
    SetBoxText(TextBox::Text2, "  " + dos);
  }
  if (listing.newdos) SetBoxForeColor(TextBox::Text3, kColourBlue);
  listing_ = listing;
  FillLists(listing_, list1_, list2_);
  mnuViewDiskMap_->setEnabled(true);
  // Until a file is chosen, the facts line says what of the image is not read.
  if (listing.image_ends) LblFacts_->setText(QString::fromLatin1(kNoteImageEnds));
  if (listing.unread_block) LblFacts_->setText(QString::fromLatin1(kNoteThirdBlock));
}

void VornikMain::ShowDiskMapOfImage() {
  if (!mnuViewDiskMap_->isEnabled()) return;
  const std::string svg = RenderDiskMapSvg(MapOfDisk(st_, listing_, checks_, QFileInfo(TxtFilename_->text()).fileName().toStdString()));
  ShowDiskMap(this, QByteArray::fromStdString(svg), QStringLiteral("Disk Map — ") + QFileInfo(TxtFilename_->text()).fileName());
}

const ListedEntry* VornikMain::EntryAt(int index) const {
  if (index < 0 || index >= list1_.ListCount()) return nullptr;
  return FindListed(listing_, list1_.ItemData(index), list2_.ItemData(index));
}

void VornikMain::RefreshLists() {
  auto show = [this](QListWidget* widget, const SortedList& model) {
    const QSignalBlocker blocker(widget);
    widget->clear();
    for (int i = 0; i < model.ListCount(); ++i) {
      const std::string& text = model.List(i);
      auto* item = new QListWidgetItem(
          QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())), widget);
      item->setData(Qt::UserRole, model.ItemData(i));
      if (widget != List1_) continue;
      // What the DOS says of each file: in its tooltip; one it no longer
      // counts is greyed.
      if (const ListedEntry* entry = EntryAt(i)) {
        QString tip = FactsText(listing_, *entry, true);
        if (!FactsOf(listing_, *entry).in_use) item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
        // A file whose sectors fail their check, or cannot all be read, stands out.
        const size_t n = static_cast<size_t>(entry - listing_.entries.data());
        const FileVerdict* verdict = n < checks_.size() ? &checks_[n].verdict : nullptr;
        if (verdict && verdict->integrity == FileIntegrity::kDamaged) {
          item->setForeground(ToQColor(kColourRed));
          tip = QStringLiteral("DAMAGED: %1 of its sectors fail their check\n").arg(verdict->bad.size()) + tip;
        } else if (verdict && verdict->integrity == FileIntegrity::kMissing) {
          item->setForeground(ToQColor(kColourRed));
          item->setBackground(QColor(255, 200, 200));
          tip = QStringLiteral("MISSING: its sectors cannot all be read\n") + tip;
        }
        item->setToolTip(tip);
      }
    }
    widget->setCurrentRow(model.ListIndex());
  };
  show(List1_, list1_);
  show(List2_, list2_);
}

void VornikMain::dragEnterEvent(QDragEnterEvent* event) {
  const QMimeData* data = event->mimeData();
  if (data->hasUrls() && !data->urls().isEmpty() && data->urls().front().isLocalFile())
    event->acceptProposedAction();
}

void VornikMain::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.front().isLocalFile()) return;
  event->acceptProposedAction();
  // Open once the drop has finished, so that a message box does not run
  // inside the drag.
  const QString path = urls.front().toLocalFile();
  QTimer::singleShot(0, this, [this, path] { OpenImagePath(path); });
}

}  // namespace vornik::ui

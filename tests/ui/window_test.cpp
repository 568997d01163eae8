// Drives the real window with scripted dialogs over images built in the
// test: opening each format, refusals, unreadable files, cancelled dialogs,
// the file list and the copy command.
#include <memory>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "support/image_builder.h"
#include "scripted_dialogs.h"
#include "ui/vornik_main.h"

using vornik::MsgAnswer;
using vornik::MsgButtons;
using vornik::MsgIcon;
using vornik::TextBox;
using vornik::testing::Bytes;
using vornik::testing::Entry;
using vornik::testing::ScriptedDialogs;
using vornik::ui::VornikMain;
namespace tb = vornik::testing;

Q_DECLARE_METATYPE(Bytes)

namespace {

const QString kSummaryJv1 = QStringLiteral(" 40 Track   S/Density  S/Sided  Sec/Cyl. = 10 ( 10 * 1)   Spg = 5");
const QString kNewdos = QStringLiteral("  Newdos/80");

// The file PROG/CMD of the test disks: 12 sectors in track 5 from granule
// 1 on (logical sectors 55..66), three granules allocated.
Bytes ProgBytes() { return tb::Pattern(7, 12 * 256); }
Bytes ReadmeBytes() { return tb::Pattern(9, 512); }

std::vector<Entry> TestEntries() {
  std::vector<Entry> entries;
  entries.push_back({.attr = 0x10, .name = "SYS0", .ext = "SYS", .sectors = 5, .slots = {tb::Slot(0, 0, 1)}});
  entries.push_back({.attr = 0x10, .name = "PROG", .ext = "CMD", .sectors = 12, .slots = {tb::Slot(5, 1, 3)}});
  entries.push_back({.attr = 0x10, .name = "MY FILE", .ext = "TXT", .sectors = 2, .slots = {tb::Slot(8, 0, 1)}});
  entries.push_back({.attr = 0x10, .name = "README", .ext = "", .sectors = 2, .slots = {tb::Slot(9, 0, 1)}});
  entries.push_back({.attr = 0x00, .name = "GONE", .ext = "DAT", .sectors = 1, .slots = {tb::Slot(10, 0, 1)}});
  return entries;
}

const QStringList kTestListing = {
    QStringLiteral("MY FILE  TXT"), QStringLiteral("PROG     CMD"),
    QStringLiteral("README      "), QStringLiteral("SYS0     SYS")};

// A Newdos/80 JV1 disk whose allocation units are tracks (10 sectors).
Bytes Jv1Image(const std::vector<Entry>& entries = TestEntries()) {
  tb::Disk disk = tb::MakeJv1Disk();
  tb::SetNewdosMark(disk, 0, 10);
  tb::MarkDirectory(disk, 170, 10);
  tb::PutEntries(disk, 170, entries);
  tb::PutFile(disk, 55, ProgBytes());
  tb::PutFile(disk, 90, ReadmeBytes());
  return tb::ToJv1(disk);
}

// A disk of `layout` with the directory on track 17 and the test entries.
tb::Disk DirectoryDisk(const tb::Layout& layout, int dir_sectors) {
  tb::Disk disk = tb::MakeDisk(layout);
  tb::SetBootSignature(disk);
  const int dir = disk.TrackStart(17);
  tb::MarkDirectory(disk, dir, dir_sectors);
  tb::PutEntries(disk, dir, TestEntries());
  return disk;
}

Bytes Jv3Image() {
  tb::Layout layout;
  layout.sides = 2;
  layout.normal = {.sectors = 18, .double_density = true};
  return tb::ToJv3(DirectoryDisk(layout, 18));
}

Bytes DmkImage(bool real_disk = false) {
  tb::Layout layout;
  layout.normal = {.sectors = 10, .double_density = false};
  return tb::ToDmk(DirectoryDisk(layout, 10), {.real_disk = real_disk});
}

QStringList Texts(const QListWidget* list) {
  QStringList texts;
  for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
  return texts;
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

QByteArray AsBytes(const Bytes& b) {
  return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private:
  // A fresh window with scripted dialogs; `dialogs` points into it.
  std::unique_ptr<VornikMain> MakeWindow() {
    auto scripted = std::make_unique<ScriptedDialogs>();
    dialogs = scripted.get();
    return std::make_unique<VornikMain>(std::move(scripted));
  }

  QString WriteImage(const QString& name, const Bytes& bytes) {
    const QString path = images.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return {};
    f.write(AsBytes(bytes));
    return path;
  }

  // File > Open with the dialog answering `path`.
  void Open(VornikMain& w, const QString& path) {
    dialogs->open_answers.push_back(path);
    w.mnuFileItem_Click(1);
  }

  template <typename T>
  static T* Child(VornikMain& w, const char* name) {
    return w.findChild<T*>(QString::fromLatin1(name));
  }

  // Selects the List1 entry with that text as a user would.
  static void Select(VornikMain& w, const QString& text) {
    auto* list = Child<QListWidget>(w, "List1");
    const auto found = list->findItems(text, Qt::MatchExactly);
    QVERIFY(!found.isEmpty());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.front()).center());
  }

  ScriptedDialogs* dialogs = nullptr;
  QTemporaryDir images;
  QString start_folder;

 private Q_SLOTS:
  void initTestCase() {
    vornik::ui::PrepareApplication();
    QVERIFY(images.isValid());
    start_folder = QDir::currentPath();
  }
  void cleanup() { QDir::setCurrent(start_folder); }

  void layoutFollowsTheTwipTable_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("Label7") << "Label7" << QRect(120, 120, 495, 255);
    QTest::newRow("Txtfiletype") << "Txtfiletype" << QRect(600, 120, 495, 315);
    QTest::newRow("TxtFilename") << "TxtFilename" << QRect(1200, 120, 9615, 315);
    QTest::newRow("Text2") << "Text2" << QRect(120, 480, 2175, 315);
    QTest::newRow("Text3") << "Text3" << QRect(2400, 480, 8295, 315);
    QTest::newRow("Frame3") << "Frame3" << QRect(720, 960, 2895, 6735);
    QTest::newRow("List1") << "List1" << QRect(960, 1440, 2415, 5940);
    QTest::newRow("List2") << "List2" << QRect(10320, 960, 375, 270);
    QTest::newRow("Frame1") << "Frame1" << QRect(3960, 2160, 4095, 2055);
    QTest::newRow("Text1") << "Text1" << QRect(4680, 2640, 2655, 375);
    QTest::newRow("Cmndcopytofolder") << "Cmndcopytofolder" << QRect(4680, 3480, 2655, 375);
    QTest::newRow("client area") << "ClientArea" << QRect(0, 0, 11640, 7740);
  }
  void layoutFollowsTheTwipTable() {
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    auto w = MakeWindow();
    auto* control = w->findChild<QWidget*>(name);
    QVERIFY(control);
    // Every control lies directly on the client area: the frames hold nothing.
    if (name != QLatin1String("ClientArea")) QCOMPARE(control->parentWidget(), w->centralWidget());
    const double dx = control->logicalDpiX(), dy = control->logicalDpiY();
    const QRect expected(vornik::ui::TwipsToPixels(twips.x(), dx), vornik::ui::TwipsToPixels(twips.y(), dy),
                         vornik::ui::TwipsToPixels(twips.width(), dx),
                         vornik::ui::TwipsToPixels(twips.height(), dy));
    if (name == QLatin1String("ClientArea"))
      QCOMPARE(control->size(), expected.size());
    else
      QCOMPARE(control->geometry(), expected);
  }

  void windowDressing() {
    auto w = MakeWindow();
    QCOMPARE(w->windowTitle(), QStringLiteral("Vornik  .Dsk ( Dmk & Jv)  2026  V1.0"));
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Vornik"));
    QVERIFY(!w->windowIcon().isNull());
    QCOMPARE(w->windowIcon().availableSizes().value(0), QSize(32, 32));

    // The File menu and its items with their access keys and shortcuts.
    const QList<QAction*> top = w->menuBar()->actions();
    QCOMPARE(top.size(), 1);
    QCOMPARE(top[0]->text(), QStringLiteral("    &File"));
    const QList<QAction*> items = top[0]->menu()->actions();
    QCOMPARE(items.size(), 3);
    QCOMPARE(items[0]->text(), QStringLiteral("&Open..."));
    QVERIFY(items[1]->isSeparator());
    QCOMPARE(items[2]->text(), QStringLiteral("E&xit"));
    QCOMPARE(items[0]->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    QCOMPARE(items[2]->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));

    // Fonts: bold "Courier New" 8.25 pt (Liberation Mono where it is
    // missing), Text2 11.25 pt.
    const QFont f = Child<QListWidget>(*w, "List1")->font();
    QCOMPARE(f.family(), QStringLiteral("Courier New"));
    QVERIFY(f.bold());
    QCOMPARE(f.pointSizeF(), 8.25);
    QCOMPARE(Child<QLineEdit>(*w, "Text2")->font().pointSizeF(), 11.25);
    QVERIFY(QFontInfo(f).fixedPitch());

    // Background colours.
    const QColor peach(255, 192, 128), cream(255, 224, 192);
    for (const char* name : {"Txtfiletype", "TxtFilename"})
      QCOMPARE(Child<QWidget>(*w, name)->palette().color(QPalette::Base), peach);
    for (const char* name : {"Text2", "Text3", "Text1", "List1"})
      QCOMPARE(Child<QWidget>(*w, name)->palette().color(QPalette::Base), cream);

    // The tab order of the controls that take the focus.
    QStringList order;
    QWidget* at = Child<QWidget>(*w, "TxtFilename");
    for (int i = 0; i < 8; ++i) {
      order << at->objectName();
      do at = at->nextInFocusChain();
      while (at->focusPolicy() == Qt::NoFocus || at->objectName().isEmpty() || at == w.get());
    }
    QCOMPARE(order, (QStringList{"TxtFilename", "Txtfiletype", "List1", "Cmndcopytofolder", "List2", "Text1",
                                 "Text2", "Text3"}));
  }

  void startsInItsOwnFolderAndCentred() {
    QDir::setCurrent(QDir::tempPath());
    auto w = MakeWindow();
    QCOMPARE(QDir::currentPath(), QDir(QCoreApplication::applicationDirPath()).canonicalPath());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QVERIFY(qAbs(w->frameGeometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(w->frameGeometry().center().y() - screen.center().y()) <= 1);
  }

  void opensEachFormat_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<Bytes>("image");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QColor>("formatBack");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("dosName");
    const QColor peach(255, 192, 128);
    QTest::newRow("JV1") << "a.dsk" << Jv1Image() << "JV1" << peach << kSummaryJv1 << kNewdos;
    QTest::newRow("JV3") << "b.jv3" << Jv3Image() << "JV3" << vornik::ui::ToQColor(65280)
                         << " 40 Track   D/Density  D/Sided  Sec/Cyl. = 36 ( 18 * 2)   Spg = 6" << "";
    QTest::newRow("DMK") << "c.dmk" << DmkImage() << "DMK" << vornik::ui::ToQColor(255)
                         << " 40 Track   S/Density  S/Sided  Sec/Cyl. = 10 ( 10 * 1)   Spg = 5" << "";
  }
  void opensEachFormat() {
    QFETCH(QString, file);
    QFETCH(Bytes, image);
    QFETCH(QString, format);
    QFETCH(QColor, formatBack);
    QFETCH(QString, summary);
    QFETCH(QString, dosName);
    auto w = MakeWindow();
    const QString path = WriteImage(file, image);
    Open(*w, path);
    QCOMPARE(dialogs->open_dialogs, 1);
    QCOMPARE(dialogs->messages.size(), size_t{0});
    QCOMPARE(Child<QLineEdit>(*w, "TxtFilename")->text(), path);
    QCOMPARE(Child<QLineEdit>(*w, "Txtfiletype")->text(), format);
    QCOMPARE(Child<QLineEdit>(*w, "Txtfiletype")->palette().color(QPalette::Base), formatBack);
    QCOMPARE(Child<QLineEdit>(*w, "Text3")->text(), summary);
    QCOMPARE(Child<QLineEdit>(*w, "Text2")->text(), dosName);
    if (!dosName.isEmpty()) {
      QCOMPARE(Child<QLineEdit>(*w, "Text2")->palette().color(QPalette::Text), QColor(192, 64, 0));
      QCOMPARE(Child<QLineEdit>(*w, "Text3")->palette().color(QPalette::Text), QColor(0, 0, 255));
    }
    QCOMPARE(Texts(Child<QListWidget>(*w, "List1")), kTestListing);
    QCOMPARE(Texts(Child<QListWidget>(*w, "List2")), kTestListing);
    QCOMPARE(w->State().openflag, int16_t{1});
  }

  void opensTheSamples_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QColor>("formatBack");
    QTest::newRow("JV1") << "newdos80-jv1.dsk" << "JV1" << QColor(255, 192, 128);
    QTest::newRow("JV3") << "double-sided.jv3" << "JV3" << vornik::ui::ToQColor(65280);
    QTest::newRow("DMK") << "double-density.dmk" << "DMK" << vornik::ui::ToQColor(255);
  }
  void opensTheSamples() {
    QFETCH(QString, file);
    QFETCH(QString, format);
    QFETCH(QColor, formatBack);
    const QString path = QDir(QStringLiteral(VORNIK_SAMPLES)).filePath(file);
    if (!QFile::exists(path)) QSKIP("sample not generated");
    auto w = MakeWindow();
    Open(*w, path);
    QCOMPARE(dialogs->messages.size(), size_t{0});
    QCOMPARE(Child<QLineEdit>(*w, "Txtfiletype")->text(), format);
    QCOMPARE(Child<QLineEdit>(*w, "Txtfiletype")->palette().color(QPalette::Base), formatBack);
    QCOMPARE(Texts(Child<QListWidget>(*w, "List1")),
             (QStringList{"HELLO    BAS", "HELLO    CMD", "NOTES    TXT", "README   TXT"}));
    QVERIFY(Child<QLineEdit>(*w, "Text3")->text().startsWith(QStringLiteral(" 40 Track")));
  }

  void refusesWithItsMessage_data() {
    QTest::addColumn<Bytes>("image");
    QTest::addColumn<QString>("text");
    QTest::newRow("real DMK disk")
        << DmkImage(true)
        << "** ERROR **  This file is a DMK type REAL disk format,\n                     used to access REAL Disks";
    Bytes junk(4000, 0);
    junk[0] = 1;
    junk[3] = 2;
    QTest::newRow("no header") << junk
                               << "** ERROR **\n This file does not have an EMULATOR Disk format HEADER\n"
                                  "    It may be a Disk file for use with a dedicated program";
  }
  void refusesWithItsMessage() {
    QFETCH(Bytes, image);
    QFETCH(QString, text);
    auto w = MakeWindow();
    Open(*w, WriteImage("good.dsk", Jv1Image()));
    Open(*w, WriteImage("refused.dsk", image));
    QCOMPARE(dialogs->messages.size(), size_t{1});
    QCOMPARE(dialogs->messages[0].text, text);
    QCOMPARE(dialogs->messages[0].icon, MsgIcon::None);
    QCOMPARE(dialogs->messages[0].buttons, MsgButtons::Ok);
    QCOMPARE(dialogs->messages[0].title, QStringLiteral("Error"));
    QCOMPARE(Child<QListWidget>(*w, "List1")->count(), 0);
    QVERIFY(Child<QLineEdit>(*w, "TxtFilename")->text().endsWith(QStringLiteral("refused.dsk")));
  }

  void unopenableFileSaysSoAndEmptiesTheList_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("missing file") << images.filePath("no-such.dsk");
    QTest::newRow("a folder") << images.path();
  }
  void unopenableFileSaysSoAndEmptiesTheList() {
    QFETCH(QString, path);
    auto w = MakeWindow();
    Open(*w, WriteImage("first.dsk", Jv1Image()));
    Open(*w, path);
    QCOMPARE(dialogs->messages.size(), size_t{1});
    QCOMPARE(dialogs->messages[0].text, QStringLiteral("Error encountered while trying to open file, please retry."));
    QCOMPARE(dialogs->messages[0].icon, MsgIcon::Exclamation);
    QCOMPARE(dialogs->messages[0].buttons, MsgButtons::Ok);
    QCOMPARE(dialogs->messages[0].title, QStringLiteral("Text Editor"));
    QCOMPARE(Child<QLineEdit>(*w, "TxtFilename")->text(), path);
    QCOMPARE(Child<QListWidget>(*w, "List1")->count(), 0);
    QCOMPARE(w->State().openflag, int16_t{1});
    QVERIFY(!QFile::exists(images.filePath("no-such.dsk")));  // never created
  }

  void damagedImageEndsQuietly() {
    auto w = MakeWindow();
    Open(*w, WriteImage("short.dsk", Bytes{0x00, 0xFE, 0x11, 0x00}));
    QCOMPARE(dialogs->messages.size(), size_t{0});
    QCOMPARE(Child<QListWidget>(*w, "List1")->count(), 0);
  }

  void cancelledOpenChangesNothing() {
    auto w = MakeWindow();
    const QString path = WriteImage("keep.dsk", Jv1Image());
    Open(*w, path);
    dialogs->open_answers.push_back(QString());
    w->mnuFileItem_Click(1);
    QCOMPARE(dialogs->open_dialogs, 2);
    QCOMPARE(dialogs->messages.size(), size_t{0});
    QCOMPARE(Child<QLineEdit>(*w, "TxtFilename")->text(), path);
    QCOMPARE(Texts(Child<QListWidget>(*w, "List1")), kTestListing);
    QCOMPARE(w->State().Filename, path.toStdString());
  }

  void secondImageReplacesTheFirstsList() {
    auto w = MakeWindow();
    Open(*w, WriteImage("one.dsk", Jv1Image()));
    Open(*w, WriteImage("two.dsk", Jv1Image({{.name = "OTHER", .ext = "BAS", .sectors = 1,
                                               .slots = {tb::Slot(5, 0, 1)}}})));
    QCOMPARE(Texts(Child<QListWidget>(*w, "List1")), QStringList{"OTHER    BAS"});
    QCOMPARE(Texts(Child<QListWidget>(*w, "List2")), QStringList{"OTHER    BAS"});
  }

  void clickShowsTheEntrysName_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("shown");
    QTest::newRow("name and extension") << "PROG     CMD" << "PROG/CMD";
    QTest::newRow("inner blank") << "MY FILE  TXT" << "MY/FILETXT";
    QTest::newRow("blank extension") << "README      " << "README/";
  }
  void clickShowsTheEntrysName() {
    QFETCH(QString, entry);
    QFETCH(QString, shown);
    auto w = MakeWindow();
    w->show();
    Open(*w, WriteImage("names.dsk", Jv1Image()));
    Select(*w, entry);
    QCOMPARE(Child<QLineEdit>(*w, "Text1")->text(), shown);
    QCOMPARE(w->List1().List(w->List1().ListIndex()), entry.toStdString());
  }

  void keyboardSelectionKeepsTheListInStep() {
    auto w = MakeWindow();
    w->show();
    Open(*w, WriteImage("keys.dsk", Jv1Image()));
    auto* list = Child<QListWidget>(*w, "List1");
    list->setFocus();
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(w->List1().ListIndex(), 1);
    QCOMPARE(Child<QLineEdit>(*w, "Text1")->text(), QStringLiteral("PROG/CMD"));
  }

  void copyWritesTheFileIntoTheChosenFolder() {
    auto w = MakeWindow();
    w->show();
    Open(*w, WriteImage("copy.dsk", Jv1Image()));
    QTemporaryDir target;
    Select(*w, "PROG     CMD");
    dialogs->save_answers.push_back(target.filePath("whatever-the-user-typed"));
    Child<QPushButton>(*w, "Cmndcopytofolder")->click();
    QCOMPARE(dialogs->proposed, QStringList{"PROG.CMD"});
    QCOMPARE(dialogs->messages.size(), size_t{0});
    QCOMPARE(ReadAll(target.filePath("PROG.CMD")), AsBytes(ProgBytes()));
    QVERIFY(!QFile::exists(target.filePath("whatever-the-user-typed")));
    QCOMPARE(QDir::currentPath(), QDir(target.path()).canonicalPath());
    QCOMPARE(w->State().Filename, std::string("PROG.CMD"));
    QVERIFY(Child<QLineEdit>(*w, "TxtFilename")->text().endsWith(QStringLiteral("copy.dsk")));
  }

  void copyAsksBeforeOverwriting_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("No keeps the file") << int(MsgAnswer::No);
    QTest::newRow("Yes replaces it") << int(MsgAnswer::Yes);
  }
  void copyAsksBeforeOverwriting() {
    QFETCH(int, answer);
    auto w = MakeWindow();
    w->show();
    Open(*w, WriteImage("over.dsk", Jv1Image()));
    QTemporaryDir target;
    const QString existing = target.filePath("README.");
    {
      QFile f(existing);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write("an older and longer file of the same name, which must not leak into the copy ...");
      f.write(QByteArray(1000, 'x'));
    }
    const QByteArray before = ReadAll(existing);
    Select(*w, "README      ");
    dialogs->save_answers.push_back(target.filePath("README."));
    dialogs->answers.push_back(MsgAnswer(answer));
    w->Cmndcopytofolder_Click();
    QCOMPARE(dialogs->messages.size(), size_t{1});
    QCOMPARE(dialogs->messages[0].text, QStringLiteral("Overwrite existing file?"));
    QCOMPARE(dialogs->messages[0].icon, MsgIcon::Question);
    QCOMPARE(dialogs->messages[0].buttons, MsgButtons::YesNoDefaultNo);
    QCOMPARE(dialogs->messages[0].title, QStringLiteral("Vornik"));
    QCOMPARE(ReadAll(existing), MsgAnswer(answer) == MsgAnswer::Yes ? AsBytes(ReadmeBytes()) : before);
    QCOMPARE(QDir(target.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"README."});
  }

  void writeFailureIsReported() {
    auto w = MakeWindow();
    w->show();
    Open(*w, WriteImage("fail.dsk", Jv1Image()));
    QTemporaryDir target;
    // A folder of the copy's name cannot be replaced by the copy (unlike a
    // read-only folder, this fails for root too).
    QVERIFY(QDir(target.path()).mkdir(QStringLiteral("PROG.CMD")));
    Select(*w, "PROG     CMD");
    dialogs->save_answers.push_back(target.filePath("PROG.CMD"));
    dialogs->answers.push_back(MsgAnswer::Yes);
    w->Cmndcopytofolder_Click();
    QVERIFY(!dialogs->messages.empty());
    const auto& last = dialogs->messages.back();
    QCOMPARE(last.text, QStringLiteral("Error occurred while trying to close file, please retry."));
    QCOMPARE(last.icon, MsgIcon::Exclamation);
    QCOMPARE(last.buttons, MsgButtons::Ok);
    QCOMPARE(last.title, QStringLiteral("Vornik"));
    QVERIFY(QFileInfo(target.filePath("PROG.CMD")).isDir());
    QCOMPARE(QDir(target.path()).entryList(QDir::Files | QDir::Hidden), QStringList{});
  }

  void cancelledSaveWritesNothing() {
    auto w = MakeWindow();
    w->show();
    Open(*w, WriteImage("cancel.dsk", Jv1Image()));
    const QString folder = QDir::currentPath();
    Select(*w, "PROG     CMD");
    dialogs->save_answers.push_back(QString());
    w->Cmndcopytofolder_Click();
    QCOMPARE(dialogs->proposed.size(), 1);
    QCOMPARE(dialogs->messages.size(), size_t{0});
    QCOMPARE(QDir::currentPath(), folder);
    QVERIFY(!QFile::exists(QDir(folder).filePath("PROG.CMD")));
  }

  void copyDoesNothingWithoutAnImageOrASelection() {
    auto w = MakeWindow();
    w->Cmndcopytofolder_Click();  // nothing opened yet
    QCOMPARE(dialogs->proposed.size(), 0);
    Open(*w, WriteImage("nosel.dsk", Jv1Image()));
    w->Cmndcopytofolder_Click();  // nothing selected
    QCOMPARE(dialogs->proposed.size(), 0);
    QCOMPARE(dialogs->messages.size(), size_t{0});
  }

  void doubleClickCopies() {
    auto w = MakeWindow();
    w->show();
    Open(*w, WriteImage("dbl.dsk", Jv1Image()));
    QTemporaryDir target;
    dialogs->save_answers.push_back(target.filePath("x"));
    auto* list = Child<QListWidget>(*w, "List1");
    const QPoint at = list->visualItemRect(list->item(1)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(dialogs->proposed, QStringList{"PROG.CMD"});
    QCOMPARE(ReadAll(target.filePath("PROG.CMD")), AsBytes(ProgBytes()));
  }

  void droppedFileOpensLikeFileOpen() {
    auto w = MakeWindow();
    w->show();
    const QString path = WriteImage("drop.dmk", DmkImage());
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    const QPointF at(w->centralWidget()->geometry().center());
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(w.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(w.get(), &drop);
    QTRY_COMPARE(Child<QLineEdit>(*w, "Txtfiletype")->text(), QStringLiteral("DMK"));
    QCOMPARE(Child<QLineEdit>(*w, "TxtFilename")->text(), path);
    QCOMPARE(Texts(Child<QListWidget>(*w, "List1")), kTestListing);
    QCOMPARE(dialogs->open_dialogs, 0);
  }

  void shortcutOpensAndExitCloses() {
    auto w = MakeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    dialogs->open_answers.push_back(QString());
    QTest::keyClick(w.get(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(dialogs->open_dialogs, 1);
    Open(*w, WriteImage("exit.dsk", Jv1Image()));
    w->mnuFileItem_Click(4);
    QVERIFY(!w->isVisible());
    QCOMPARE(dialogs->messages.size(), size_t{0});
  }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"

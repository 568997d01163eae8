// The window driven with scripted dialogs over images built in the test:
// opening (each format, refusals, unreadable and damaged files), the copy
// command from a click or a double-click through the overwrite question, a
// cancelled Save dialog and a folder in the way, dropping a file, and the
// shortcuts. Then Qt's own dialogs behind it: message boxes with their
// icons, buttons and default, the Open dialog's filters, and the Save
// dialog, which starts in the given folder and asks nothing.
#include <functional>
#include <memory>
#include <optional>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "archive/zip_archive.h"
#include "image_builder.h"
#include "ui/dialogs.h"
#include "ui/vornik_main.h"

using vornik::MsgAnswer;
using vornik::MsgButtons;
using vornik::MsgIcon;
using vornik::testing::Bytes;
using vornik::ui::TextBox;
using vornik::ui::VornikMain;
namespace tb = vornik::testing;

Q_DECLARE_METATYPE(Bytes)

namespace {

// Open and Save dialogs that answer from a script (a null string, or none
// left, is a cancel); every message box is recorded and answered: OK, or
// the scripted Yes/No, No when none is left.
struct ScriptedDialogs : vornik::ui::Dialogs {
  std::optional<QString> ChooseImage(QWidget*) override { return ++open_dialogs, Next(open_answers); }
  std::optional<int> ChooseMember(QWidget*, const QString&, const QStringList& names) override {
    members = names;
    return member_answer;
  }
  std::optional<QString> ChooseCopyTarget(QWidget*, const QString& folder, const QString& name) override {
    save_folders << folder;
    proposed << name;
    return Next(save_answers);
  }
  MsgAnswer Message(QWidget*, const QString& text, MsgIcon icon, MsgButtons buttons, const QString& title) override {
    messages.push_back({text, icon, buttons, title});
    if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
    return answers.isEmpty() ? MsgAnswer::No : answers.takeFirst();
  }
  static std::optional<QString> Next(QStringList& script) {
    const QString a = script.isEmpty() ? QString() : script.takeFirst();
    return a.isNull() ? std::nullopt : std::optional<QString>(a);
  }
  QStringList open_answers, save_answers;
  QStringList members;  // what the member chooser last listed
  std::optional<int> member_answer;
  QList<MsgAnswer> answers;
  int open_dialogs = 0;
  QStringList proposed, save_folders;  // the names and folders the Save dialog was opened with
  struct Shown {
    QString text;
    MsgIcon icon;
    MsgButtons buttons;
    QString title;
  };
  std::vector<Shown> messages;
};

// PROG/CMD: 12 sectors from granule 1 of allocation unit 5 (logical 55..66).
Bytes ProgBytes() { return tb::Pattern(7, 12 * 256); }
Bytes ReadmeBytes() { return tb::Pattern(9, 512); }

std::vector<tb::Entry> TestEntries() {
  return {{0x10, "SYS0", "SYS", 5, {tb::Slot(0, 0, 1)}},
          {0x10, "PROG", "CMD", 12, {tb::Slot(5, 1, 3)}},
          {0x10, "MY FILE", "TXT", 2, {tb::Slot(8, 0, 1)}},
          {0x10, "README", "", 2, {tb::Slot(9, 0, 1)}, true, 100},  // its DOS's size: 356 bytes
          {0x00, "GONE", "DAT", 1, {tb::Slot(10, 0, 1)}},
          {0x4F, "OLD", "SYS", 1, {tb::Slot(10, 0, 1)}}};  // killed, still listed
}
const QStringList kTestListing = {"MY FILE  TXT", "OLD      SYS", "PROG     CMD", "README      ", "SYS0     SYS"};

// A Newdos/80 JV1 disk whose allocation units are tracks (10 sectors).
Bytes Jv1Image() {
  tb::Disk disk = tb::MakeJv1Disk();
  tb::SetNewdosMark(disk, 0, 10);
  tb::MarkDirectory(disk, 170, 10);
  tb::PutEntries(disk, 170, TestEntries());
  tb::PutFile(disk, 55, ProgBytes());
  tb::PutFile(disk, 90, ReadmeBytes());
  return tb::ToJv1(disk);
}

// A disk of `layout` with the directory on track 17 and the test entries.
tb::Disk DirectoryDisk(const tb::Layout& layout) {
  tb::Disk disk = tb::MakeDisk(layout);
  tb::SetBootSignature(disk);
  const int dir = disk.TrackStart(17);
  tb::MarkDirectory(disk, dir, int(disk.At(17, 0).sectors.size()));
  tb::PutEntries(disk, dir, TestEntries());
  return disk;
}
Bytes Jv3Image() { return tb::ToJv3(DirectoryDisk({.sides = 2, .normal = {.sectors = 18, .double_density = true}, .overrides = {}})); }
Bytes DmkImage(bool real_disk = false) {
  return tb::ToDmk(DirectoryDisk({.normal = {.sectors = 10, .double_density = false}, .overrides = {}}), {.real_disk = real_disk});
}

QStringList Texts(const QListWidget* list) {
  QStringList texts;
  for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
  return texts;
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray AsBytes(const Bytes& b) {
  return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

// Runs `act` on the modal dialog as soon as it is up.
template <typename T>
void WhenShown(std::function<void(T*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    if (auto* d = qobject_cast<T*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      act(d);
    }
  });
  timer->start();
}

void Touch(const QString& path) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
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
    if (f.open(QIODevice::WriteOnly)) f.write(AsBytes(bytes));
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
  static QString Box(VornikMain& w, const char* name) { return Child<QLineEdit>(w, name)->text(); }

  ScriptedDialogs* dialogs = nullptr;
  QTemporaryDir images;
  QString start_folder;

 private Q_SLOTS:
  void initTestCase() {
    QVERIFY(images.isValid());
    start_folder = QDir::currentPath();
  }
  // The window makes its own folder current and a copy the Save dialog's:
  // every test starts again where the run started.
  void cleanup() { QDir::setCurrent(start_folder); }

  void startsInItsOwnFolderAndCentred() {
    QDir::setCurrent(QDir::tempPath());
    auto w = MakeWindow();
    QCOMPARE(QDir::currentPath(), QDir(QCoreApplication::applicationDirPath()).canonicalPath());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QVERIFY(qAbs(w->frameGeometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(w->frameGeometry().center().y() - screen.center().y()) <= 1);
  }

  void opens_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<Bytes>("image");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("dosName");
    QTest::addColumn<QStringList>("listing");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QColor>("back");  // the format box's
    const QColor peach(255, 192, 128);
    QTest::newRow("JV1") << "a.dsk" << Jv1Image() << "JV1"
                         << " 40 Track   S/Density  S/Sided  Sec/Cyl. = 10 ( 10 * 1)   Spg = 5"
                         << "  TRSDOS 2.x" << kTestListing << "" << peach;
    QTest::newRow("JV3") << "b.jv3" << Jv3Image() << "JV3"
                         << " 40 Track   D/Density  D/Sided  Sec/Cyl. = 36 ( 18 * 2)   Spg = 6" << "  TRSDOS 2.x" << kTestListing
                         << "" << QColor(0, 255, 0);
    QTest::newRow("DMK") << "c.dmk" << DmkImage() << "DMK"
                         << " 40 Track   S/Density  S/Sided  Sec/Cyl. = 10 ( 10 * 1)   Spg = 5" << "  TRSDOS 2.x" << kTestListing
                         << "" << QColor(255, 0, 0);
    QTest::newRow("refused") << "refused.dmk" << DmkImage(true) << "" << "" << "" << QStringList()
                             << "** ERROR **  This file is a DMK type REAL disk format,\n"
                                "                     used to access REAL Disks" << peach;
    QTest::newRow("damaged ends quietly") << "empty.dsk" << Bytes{} << "" << "" << "" << QStringList() << "" << peach;
    QTest::newRow("unreadable") << "" << Bytes{} << "" << "" << "" << QStringList()
                                << "Error encountered while trying to open file, please retry." << peach;
  }
  void opens() {
    QFETCH(QString, file);
    QFETCH(Bytes, image);
    QFETCH(QString, format);
    QFETCH(QString, summary);
    QFETCH(QString, dosName);
    QFETCH(QStringList, listing);
    QFETCH(QString, message);
    QFETCH(QColor, back);
    auto w = MakeWindow();
    Open(*w, WriteImage("first.dsk", Jv1Image()));  // a second image replaces the first's list
    const QString path = file.isEmpty() ? images.filePath("no-such.dsk") : WriteImage(file, image);
    Open(*w, path);
    QCOMPARE(dialogs->open_dialogs, 2);
    QCOMPARE(Box(*w, "TxtFilename"), path);
    if (!format.isEmpty()) {
      QCOMPARE(Box(*w, "Txtfiletype"), format);
      QCOMPARE(Box(*w, "Text3"), summary);
      QCOMPARE(Box(*w, "Text2"), dosName);
    }
    QCOMPARE(Child<QLineEdit>(*w, "Txtfiletype")->palette().color(QPalette::Base), back);
    QCOMPARE(Texts(Child<QListWidget>(*w, "List1")), listing);
    if (!listing.isEmpty()) QCOMPARE(Texts(Child<QListWidget>(*w, "List2")), listing);
    QCOMPARE(dialogs->messages.size(), size_t(message.isEmpty() ? 0 : 1));
    if (!message.isEmpty()) QCOMPARE(dialogs->messages[0].text, message);
    QVERIFY(!QFile::exists(images.filePath("no-such.dsk")));  // never created

    dialogs->open_answers.push_back(QString());  // a cancelled Open changes nothing
    w->mnuFileItem_Click(1);
    QCOMPARE(Box(*w, "TxtFilename"), path);
    QCOMPARE(Texts(Child<QListWidget>(*w, "List1")), listing);
  }

  // A zip: one image opens at once, of several the one chosen from the
  // list of image members, a cancelled choice changes nothing.
  void opensFromAZip() {
#ifndef VORNIK_TEST_ZIPS
    QSKIP("built without zip archives");
#else
    const QString zips = QStringLiteral(VORNIK_TEST_ZIPS);
    auto w = MakeWindow();
    Open(*w, zips + "/one.zip");
    QCOMPARE(Box(*w, "TxtFilename"), zips + "/one.zip/disks/newdos80-jv1.dsk");
    QVERIFY(dialogs->members.isEmpty());
    QCOMPARE(Child<QListWidget>(*w, "List1")->count(), 4);
    dialogs->member_answer = std::nullopt;
    Open(*w, zips + "/two.zip");
    QCOMPARE(dialogs->members, QStringList({"newdos80-jv1.dsk", "double-density.dmk"}));
    QCOMPARE(Box(*w, "TxtFilename"), zips + "/one.zip/disks/newdos80-jv1.dsk");
    dialogs->member_answer = 1;
    Open(*w, zips + "/two.zip");
    QCOMPARE(Box(*w, "TxtFilename"), zips + "/two.zip/double-density.dmk");
    QCOMPARE(Box(*w, "Txtfiletype"), QStringLiteral("DMK"));
    dialogs->member_answer = 4;
    Open(*w, zips + "/bad.zip");
    QCOMPARE(dialogs->members, QStringList({"bomb.dsk", "liar.dsk", "corrupt.dsk", "good.dsk", "encrypted.dsk", "last.dsk"}));
    QCOMPARE(dialogs->messages.back().text,
             QStringLiteral("The disk image cannot be read from the archive: the member is encrypted; it is not read"));
    QCOMPARE(Child<QListWidget>(*w, "List1")->count(), 0);
    QCOMPARE(dialogs->messages.size(), size_t(1));
#endif
  }

  void selectionShowsTheName() {
    auto w = MakeWindow();
    w->show();
    Open(*w, WriteImage("sel.dsk", Jv1Image()));
    auto* list = Child<QListWidget>(*w, "List1");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    QCOMPARE(Box(*w, "Text1"), QStringLiteral("MY/FILETXT"));
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(w->List1().ListIndex(), 1);
    QCOMPARE(Box(*w, "Text1"), QStringLiteral("OLD/SYS"));
    // A file its DOS no longer counts is greyed; every file's tooltip says
    // what the DOS says of it.
    QCOMPARE(list->item(1)->foreground().color(), list->palette().color(QPalette::Disabled, QPalette::Text));
    QVERIFY(list->item(1)->toolTip().contains(QStringLiteral("not in use, system, invisible, protection 7")));
    QVERIFY(list->item(2)->foreground().style() == Qt::NoBrush);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(Box(*w, "Text1"), QStringLiteral("README/"));
    QCOMPARE(Child<QLabel>(*w, "LblFacts")->text(), QStringLiteral("356 bytes"));
  }

  // The copy command from the list to the folder: how it is started, what
  // is in the folder already, and how the user answers.
  void copies_data() {
    QTest::addColumn<QString>("entry");  // empty: nothing selected
    QTest::addColumn<bool>("doubleClick");
    QTest::addColumn<QString>("inTheWay");  // "file", "folder" or ""
    QTest::addColumn<int>("answer");        // to "Overwrite existing file?"
    QTest::addColumn<bool>("cancelSave");
    QTest::addColumn<QString>("message");  // the last message box, if any
    QTest::addColumn<bool>("written");
    QTest::addColumn<bool>("exact");  // "Exact size" ticked
    QTest::newRow("button") << "PROG     CMD" << false << "" << 0 << false << "" << true << false;
    QTest::newRow("exact size") << "README      " << false << "" << 0 << false << "" << true << true;
    QTest::newRow("double-click") << "PROG     CMD" << true << "" << 0 << false << "" << true << false;
    QTest::newRow("overwrite No") << "README      " << false << "file" << int(MsgAnswer::No) << false
                                  << "Overwrite existing file?" << false << false;
    QTest::newRow("overwrite Yes") << "README      " << false << "file" << int(MsgAnswer::Yes) << false
                                   << "Overwrite existing file?" << true << false;
    QTest::newRow("save cancelled") << "PROG     CMD" << false << "" << 0 << true << "" << false << false;
    QTest::newRow("folder in the way") << "PROG     CMD" << false << "folder" << int(MsgAnswer::Yes) << false
                                       << "Error occurred while trying to close file, please retry." << false << false;
    QTest::newRow("nothing selected") << "" << false << "" << 0 << false << "" << false << false;
  }
  void copies() {
    QFETCH(QString, entry);
    QFETCH(bool, doubleClick);
    QFETCH(QString, inTheWay);
    QFETCH(int, answer);
    QFETCH(bool, cancelSave);
    QFETCH(QString, message);
    QFETCH(bool, written);
    QFETCH(bool, exact);
    auto w = MakeWindow();
    w->show();
    w->Cmndcopytofolder_Click();  // before any image: nothing happens
    Open(*w, WriteImage("copy.dsk", Jv1Image()));
    QTemporaryDir target;
    const bool readme = entry.startsWith(QLatin1String("README"));
    const QString name = readme ? QStringLiteral("README.") : QStringLiteral("PROG.CMD");
    const QString copy = target.filePath(name);
    const QByteArray old = QByteArray("an older and longer file of the same name ...") + QByteArray(5000, 'x');
    if (inTheWay == QLatin1String("file")) {
      QFile f(copy);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write(old);
    }
    if (inTheWay == QLatin1String("folder")) QVERIFY(QDir(target.path()).mkdir(name));
    dialogs->save_answers.push_back(cancelSave ? QString() : target.filePath("whatever-the-user-typed"));
    dialogs->answers.push_back(MsgAnswer(answer));
    const QString folder = QDir::currentPath();

    auto* list = Child<QListWidget>(*w, "List1");
    const auto found = list->findItems(entry, Qt::MatchExactly);
    if (!found.isEmpty()) {
      const QPoint at = list->visualItemRect(found.front()).center();
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
      if (doubleClick) QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }
    Child<QCheckBox>(*w, "ChkExact")->setChecked(exact);
    if (!doubleClick) Child<QPushButton>(*w, "Cmndcopytofolder")->click();

    QCOMPARE(dialogs->proposed, entry.isEmpty() ? QStringList() : QStringList{name});
    // The Save dialog starts in the image's folder, which the Open made current.
    for (const QString& started : dialogs->save_folders) QCOMPARE(started, QDir(images.path()).canonicalPath());
    QCOMPARE(dialogs->messages.empty() ? QString() : dialogs->messages.back().text, message);
    if (!dialogs->messages.empty()) {
      const auto& m = dialogs->messages.back();
      QCOMPARE(m.title, QStringLiteral("Vornik"));
      QCOMPARE(m.icon, inTheWay == QLatin1String("file") ? MsgIcon::Question : MsgIcon::Exclamation);
      QCOMPARE(m.buttons, inTheWay == QLatin1String("file") ? MsgButtons::YesNoDefaultNo : MsgButtons::Ok);
    }
    QByteArray want = AsBytes(readme ? ReadmeBytes() : ProgBytes());
    if (exact) want.truncate(356);
    if (written) QCOMPARE(ReadAll(copy), want);
    if (!written && inTheWay == QLatin1String("file")) QCOMPARE(ReadAll(copy), old);
    if (inTheWay == QLatin1String("folder")) QVERIFY(QFileInfo(copy).isDir());
    if (!written && inTheWay.isEmpty()) QVERIFY(!QFile::exists(copy) && !QFile::exists(QDir(folder).filePath(name)));
    // Nothing else lands in the folder: no typed name, no temporary file.
    const QStringList files = QDir(target.path()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(files, (written || inTheWay == QLatin1String("file")) ? QStringList{name} : QStringList());
    QCOMPARE(QDir::currentPath(), cancelSave || entry.isEmpty() ? folder : QDir(target.path()).canonicalPath());
  }

  void damagedFileStandsOutAndItsCopySaysSo() {
    tb::Disk disk = DirectoryDisk({.normal = {.sectors = 18, .double_density = true}, .overrides = {}});
    tb::DmkMap map;
    Bytes b = tb::ToDmk(disk, {}, &map);
    b[size_t(map.data[5][6])] ^= 1;  // PROG/CMD's first sector (granule 1 of track 5) fails its data CRC
    auto w = MakeWindow();
    Open(*w, WriteImage("damaged.dmk", b));
    auto* list = Child<QListWidget>(*w, "List1");
    QListWidgetItem* prog = list->findItems(QStringLiteral("PROG     CMD"), Qt::MatchExactly).value(0);
    QVERIFY(prog);
    QCOMPARE(prog->foreground().color(), QColor(255, 0, 0));
    QVERIFY(prog->toolTip().startsWith(QStringLiteral("DAMAGED: 1 of its sectors")));
    QTemporaryDir target;
    dialogs->save_answers << target.filePath("x");
    list->setCurrentItem(prog);
    w->Cmndcopytofolder_Click();
    QVERIFY(QFile::exists(target.filePath("PROG.CMD")));
    QCOMPARE(dialogs->messages.size(), size_t{1});
    QVERIFY(dialogs->messages[0].text.startsWith(QStringLiteral("The copy was written, but 1 of its sectors")));
  }

  // Its DOS counts 40 sectors, its extents hold 10: written, and said to be short.
  void copyShorterThanItsDosSizeSaysSo() {
    tb::Disk disk = tb::MakeJv1Disk();
    tb::SetNewdosMark(disk, 0, 10);
    tb::PutEntries(disk, 170, {{0x10, "ND", "TXT", 40, {tb::Slot(10, 1, 2)}}});
    auto w = MakeWindow();
    Open(*w, WriteImage("short.dsk", tb::ToJv1(disk)));
    auto* list = Child<QListWidget>(*w, "List1");
    list->setCurrentRow(0);
    QTemporaryDir target;
    dialogs->save_answers << target.filePath("x");
    w->Cmndcopytofolder_Click();
    QCOMPARE(QFileInfo(target.filePath("ND.TXT")).size(), qint64{2560});
    QCOMPARE(dialogs->messages.size(), size_t{1});
    QVERIFY(dialogs->messages[0].text.startsWith(QStringLiteral("The copy was written, but it holds only 2560 of the 10240")));
  }

  void loadingKeepsTheWindowAliveWithABusyCursor() {
    auto w = MakeWindow();
    const QString path = WriteImage("large.dsk", Bytes(60 << 20, 0));
    int ticks = 0;
    bool busy = false;
    QTimer timer;
    timer.setInterval(0);
    connect(&timer, &QTimer::timeout, [&] {
      ++ticks;
      busy = busy || (QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor);
    });
    timer.start();
    Open(*w, path);
    timer.stop();
    QVERIFY(ticks > 0);
    QVERIFY(busy);
    QVERIFY(!QApplication::overrideCursor());
    QFile::remove(path);
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
    QTRY_COMPARE(Box(*w, "Txtfiletype"), QStringLiteral("DMK"));
    QCOMPARE(Box(*w, "TxtFilename"), path);
    QCOMPARE(Texts(Child<QListWidget>(*w, "List1")), kTestListing);
    QCOMPARE(dialogs->open_dialogs, 0);
  }

  void shortcutOpensAndExitCloses() {
    auto w = MakeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    dialogs->open_answers.push_back(WriteImage("exit.dsk", Jv1Image()));
    QTest::keyClick(w.get(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(dialogs->open_dialogs, 1);
    QCOMPARE(Texts(Child<QListWidget>(*w, "List1")), kTestListing);
    QTest::keyClick(w.get(), Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!w->isVisible());
    QCOMPARE(dialogs->messages.size(), size_t{0});
  }
};

class DialogsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  // Each kind of message box with its icon and buttons; Enter takes No.
  void messageBoxes() {
    const struct {
      MsgIcon icon;
      MsgButtons buttons;
      QMessageBox::Icon qt_icon;
      bool press_yes;
      MsgAnswer answer;
    } cases[] = {{MsgIcon::None, MsgButtons::Ok, QMessageBox::NoIcon, false, MsgAnswer::Ok},
                 {MsgIcon::Exclamation, MsgButtons::Ok, QMessageBox::Warning, false, MsgAnswer::Ok},
                 {MsgIcon::Question, MsgButtons::YesNoDefaultNo, QMessageBox::Question, true, MsgAnswer::Yes},
                 {MsgIcon::Question, MsgButtons::YesNoDefaultNo, QMessageBox::Question, false, MsgAnswer::No}};
    for (const auto& c : cases) {
      bool seen = false;
      WhenShown<QMessageBox>([&](QMessageBox* box) {
        seen = box->windowTitle() == QStringLiteral("Title") && box->text() == QStringLiteral("first\n  second") &&
               box->icon() == c.qt_icon &&
               box->standardButtons() == (c.buttons == MsgButtons::Ok ? QMessageBox::StandardButtons(QMessageBox::Ok)
                                                                      : QMessageBox::Yes | QMessageBox::No) &&
               (c.buttons == MsgButtons::Ok || box->defaultButton() == box->button(QMessageBox::No));
        c.press_yes ? box->button(QMessageBox::Yes)->click() : QTest::keyClick(box, Qt::Key_Return);
      });
      QCOMPARE(vornik::ui::QtDialogs().Message(nullptr, QStringLiteral("first\n  second"), c.icon, c.buttons, "Title"),
               c.answer);
      QVERIFY(seen);
    }
  }

  void openDialogListsEveryFileUnderAllFiles() {
    QTemporaryDir dir;
    Touch(dir.filePath("NODOT"));
    Touch(dir.filePath("disk.dsk"));
    Touch(dir.filePath("disk.jv3"));
    vornik::ui::QtDialogs dialogs;
    QStringList descriptions;
    int all_files_rows = -1;
    WhenShown<QFileDialog>([&](QFileDialog* d) {
      auto* types = d->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
      for (int i = 0; types && i < types->count(); ++i) descriptions << types->itemText(i);
      d->setDirectory(dir.path());
      // The dialog fills its list in the background; the check is made
      // after it (and the dialog always closed, even when it fails).
      auto* view = d->findChild<QListView*>(QStringLiteral("listView"));
      if (view) {
        (void)QTest::qWaitFor([view] { return view->model()->rowCount(view->rootIndex()) >= 3; }, 5000);
        all_files_rows = view->model()->rowCount(view->rootIndex());
      }
      // Typed as the user would, then confirmed.
      if (auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) name->setText("NODOT");
      static_cast<QDialog*>(d)->accept();
      if (d->isVisible()) static_cast<QDialog*>(d)->reject();
    });
    const std::optional<QString> chosen = dialogs.ChooseImage(nullptr);
    QStringList want{"All Files (*.*)", "Dsk Files (*.dsk)", "Dmk Files (*.dmk)", "JV3 Files (*.jv3)"};
    if (vornik::archive::ZipSupported()) want << "Zip Archives (*.zip)";
    QCOMPARE(descriptions, want);
    QCOMPARE(all_files_rows, 3);
    QVERIFY(chosen.has_value());
    QCOMPARE(*chosen, dir.filePath("NODOT"));
  }

  void memberChooserListsTheNamesAndGivesTheRow() {
    for (const bool open : {true, false}) {
      QStringList shown;
      WhenShown<QDialog>([&](QDialog* d) {
        auto* list = d->findChild<QListWidget*>(QStringLiteral("members"));
        for (int i = 0; list && i < list->count(); ++i) shown << list->item(i)->text();
        if (list) list->setCurrentRow(1);
        open ? d->accept() : d->reject();
      });
      const std::optional<int> row =
          vornik::ui::QtDialogs().ChooseMember(nullptr, QStringLiteral("/x/set.zip"), {"a/one.dsk", "one.dsk"});
      QCOMPARE(shown, QStringList({"a/one.dsk", "one.dsk"}));
      QCOMPARE(row, open ? std::optional<int>(1) : std::nullopt);
    }
  }

  void saveDialogStartsInTheFolderProposesTheNameAndAsksNothing() {
    QTemporaryDir dir;
    Touch(dir.filePath("PROG.CMD"));
    vornik::ui::QtDialogs dialogs;
    QString proposed, started;
    WhenShown<QFileDialog>([&](QFileDialog* d) {
      auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      proposed = name ? name->text() : QString();
      started = d->directory().absolutePath();
      // An existing file: the dialog must not ask a question of its own.
      static_cast<QDialog*>(d)->accept();
      if (d->isVisible()) static_cast<QDialog*>(d)->reject();
    });
    const std::optional<QString> chosen = dialogs.ChooseCopyTarget(nullptr, dir.path(), QStringLiteral("PROG.CMD"));
    QCOMPARE(proposed, QStringLiteral("PROG.CMD"));
    QCOMPARE(started, dir.path());
    QVERIFY(chosen.has_value());
    QCOMPARE(*chosen, dir.filePath("PROG.CMD"));
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  vornik::ui::PrepareApplication();
  WindowTest window;
  DialogsTest dialogs;
  return QTest::qExec(&window, argc, argv) | QTest::qExec(&dialogs, argc, argv);
}

#include "window_test.moc"

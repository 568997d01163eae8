// The Qt dialogs behind the window: message boxes with their icons, buttons
// and default, the Open dialog's filters (all files includes names without
// a dot) and the Save dialog, which must not ask about overwriting.
#include <functional>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "ui/dialogs.h"
#include "ui/vornik_main.h"

using vornik::MsgAnswer;
using vornik::MsgButtons;
using vornik::MsgIcon;

namespace {

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

class DialogsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() { vornik::ui::PrepareApplication(); }

  void messageBoxes_data() {
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("qtIcon");
    QTest::addColumn<bool>("pressYes");
    QTest::addColumn<int>("answer");
    QTest::newRow("plain OK") << int(MsgIcon::None) << int(MsgButtons::Ok) << int(QMessageBox::NoIcon) << false
                              << int(MsgAnswer::Ok);
    QTest::newRow("exclamation") << int(MsgIcon::Exclamation) << int(MsgButtons::Ok) << int(QMessageBox::Warning)
                                 << false << int(MsgAnswer::Ok);
    QTest::newRow("question, Yes") << int(MsgIcon::Question) << int(MsgButtons::YesNoDefaultNo)
                                   << int(QMessageBox::Question) << true << int(MsgAnswer::Yes);
    QTest::newRow("question, Enter takes No") << int(MsgIcon::Question) << int(MsgButtons::YesNoDefaultNo)
                                              << int(QMessageBox::Question) << false << int(MsgAnswer::No);
  }
  void messageBoxes() {
    QFETCH(int, icon);
    QFETCH(int, buttons);
    QFETCH(int, qtIcon);
    QFETCH(bool, pressYes);
    QFETCH(int, answer);
    vornik::ui::QtDialogs dialogs;
    bool seen = false;
    WhenShown<QMessageBox>([&](QMessageBox* box) {
      seen = true;
      QCOMPARE(box->windowTitle(), QStringLiteral("Title"));
      QCOMPARE(box->text(), QStringLiteral("first\n  second"));
      QCOMPARE(int(box->icon()), qtIcon);
      if (MsgButtons(buttons) == MsgButtons::Ok) {
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
      } else {
        QCOMPARE(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
      }
      if (pressYes)
        box->button(QMessageBox::Yes)->click();
      else
        QTest::keyClick(box, Qt::Key_Return);
    });
    const MsgAnswer got =
        dialogs.Message(nullptr, QStringLiteral("first\n  second"), MsgIcon(icon), MsgButtons(buttons), "Title");
    QVERIFY(seen);
    QCOMPARE(int(got), answer);
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
    QCOMPARE(descriptions, (QStringList{"All Files (*.*)", "Dsk Files (*.dsk)", "Dmk Files (*.dmk)",
                                        "JV3 Files (*.jv3)"}));
    QCOMPARE(all_files_rows, 3);
    QVERIFY(chosen.has_value());
    QCOMPARE(*chosen, dir.filePath("NODOT"));
  }

  void cancelledOpenDialogGivesNothing() {
    vornik::ui::QtDialogs dialogs;
    WhenShown<QFileDialog>([](QFileDialog* d) { static_cast<QDialog*>(d)->reject(); });
    QVERIFY(!dialogs.ChooseImage(nullptr).has_value());
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

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"

#include "ui/dialogs.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

#include "archive/zip_archive.h"

namespace vornik::ui {

QStringList ImageNameFilters() {
  // Qt takes the last parenthesised group as the patterns and, with
  // HideNameFilterDetails, shows the text before it: the description.
  QStringList filters = {
      QStringLiteral("All Files (*.*) (*)"),
      QStringLiteral("Dsk Files (*.dsk) (*.dsk)"),
      QStringLiteral("Dmk Files (*.dmk) (*.dmk)"),
      QStringLiteral("JV3 Files (*.jv3) (*.jv3)"),
  };
  if (archive::ZipSupported()) filters << QStringLiteral("Zip Archives (*.zip) (*.zip)");
  return filters;
}

std::optional<QString> QtDialogs::ChooseImage(QWidget* parent) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  // Qt's own dialog, so that the filter descriptions show as given.
  dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
  const QStringList filters = ImageNameFilters();
  dialog.setNameFilters(filters);
  dialog.selectNameFilter(filters.front());
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return files.front();
}

std::optional<int> QtDialogs::ChooseMember(QWidget* parent, const QString& archive, const QStringList& members) {
  QDialog dialog(parent);
  dialog.setWindowTitle(QStringLiteral("Open from Archive"));
  auto* layout = new QVBoxLayout(&dialog);
  auto* label = new QLabel(QStringLiteral("Disk images in %1:").arg(QFileInfo(archive).fileName()));
  label->setTextFormat(Qt::PlainText);
  layout->addWidget(label);
  // A list, not names to match: an archive may hold two members of one name.
  auto* list = new QListWidget;
  list->setObjectName(QStringLiteral("members"));
  list->addItems(members);
  list->setCurrentRow(0);
  layout->addWidget(list);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel);
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
  if (dialog.exec() != QDialog::Accepted || list->currentRow() < 0) return std::nullopt;
  return list->currentRow();
}

std::optional<QString> QtDialogs::ChooseCopyTarget(QWidget* parent, const QString& folder,
                                                   const QString& proposed_name) {
  QFileDialog dialog(parent);
  dialog.setDirectory(folder);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // The copy asks about overwriting itself, after the dialog.
  dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails |
                    QFileDialog::DontConfirmOverwrite);
  dialog.setNameFilter(QStringLiteral("All Files (*.) (*)"));
  dialog.selectFile(proposed_name);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return files.front();
}

MsgAnswer QtDialogs::Message(QWidget* parent, const QString& text, MsgIcon icon, MsgButtons buttons,
                             const QString& title) {
  QMessageBox box(parent);
  box.setWindowTitle(title);
  box.setTextFormat(Qt::PlainText);
  box.setText(text);
  switch (icon) {
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
  }
  if (buttons == MsgButtons::Ok) {
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    return MsgAnswer::Ok;
  }
  box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  box.exec();
  return box.clickedButton() == box.button(QMessageBox::Yes) ? MsgAnswer::Yes : MsgAnswer::No;
}

}  // namespace vornik::ui

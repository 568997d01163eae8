// The window's dialogs and message boxes behind one small interface, so the
// commands can be driven by a script in tests and by Qt's dialogs otherwise.
#pragma once

#include <optional>

#include <QString>
#include <QStringList>

#include "state/messages.h"

class QWidget;

namespace vornik::ui {

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // The Open dialog for a disk image: the chosen full path, or nothing when
  // the user cancelled.
  virtual std::optional<QString> ChooseImage(QWidget* parent) = 0;

  // Which disk image of the zip archive `archive` to open, from `members`
  // (their names in the archive): the index chosen, or nothing on cancel.
  virtual std::optional<int> ChooseMember(QWidget* parent, const QString& archive, const QStringList& members) = 0;

  // The Save dialog that picks the folder a copy goes into, starting in
  // `folder` and proposing `proposed_name`: the confirmed full path, or
  // nothing on cancel. It asks no overwrite question of its own.
  virtual std::optional<QString> ChooseCopyTarget(QWidget* parent, const QString& folder,
                                                  const QString& proposed_name) = 0;

  // A modal message box; `text` already has its line breaks as '\n'.
  virtual MsgAnswer Message(QWidget* parent, const QString& text, MsgIcon icon, MsgButtons buttons,
                            const QString& title) = 0;
};

// Qt's own file dialogs and QMessageBox.
class QtDialogs : public Dialogs {
 public:
  std::optional<QString> ChooseImage(QWidget* parent) override;
  std::optional<int> ChooseMember(QWidget* parent, const QString& archive, const QStringList& members) override;
  std::optional<QString> ChooseCopyTarget(QWidget* parent, const QString& folder,
                                          const QString& proposed_name) override;
  MsgAnswer Message(QWidget* parent, const QString& text, MsgIcon icon, MsgButtons buttons,
                    const QString& title) override;
};

// The name filters of the Open dialog, as Qt filter strings. Each shows its
// description only; "All Files (*.*)" matches with "*" so that names
// without a dot are listed too.
QStringList ImageNameFilters();

}  // namespace vornik::ui

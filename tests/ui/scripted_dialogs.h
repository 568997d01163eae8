// Dialogs for tests: the Open and Save dialogs answer from a script, and
// every message box is recorded and answered (OK, or the scripted Yes/No,
// No when the script has run out).
#pragma once

#include <deque>
#include <optional>
#include <vector>

#include <QString>
#include <QStringList>

#include "ui/dialogs.h"

namespace vornik::testing {

struct ShownMessage {
  QString text;
  MsgIcon icon;
  MsgButtons buttons;
  QString title;
};

class ScriptedDialogs : public ui::Dialogs {
 public:
  std::optional<QString> ChooseImage(QWidget*) override {
    ++open_dialogs;
    return Next(open_answers);
  }
  std::optional<QString> ChooseCopyTarget(QWidget*, const QString& folder, const QString& proposed_name) override {
    save_folders.push_back(folder);
    proposed.push_back(proposed_name);
    return Next(save_answers);
  }
  MsgAnswer Message(QWidget*, const QString& text, MsgIcon icon, MsgButtons buttons,
                    const QString& title) override {
    messages.push_back({text, icon, buttons, title});
    if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
    if (answers.empty()) return MsgAnswer::No;
    const MsgAnswer a = answers.front();
    answers.pop_front();
    return a;
  }

  // A null QString in a script is a cancelled dialog; an empty script
  // cancels too.
  std::deque<QString> open_answers;
  std::deque<QString> save_answers;
  std::deque<MsgAnswer> answers;

  int open_dialogs = 0;
  QStringList proposed;      // names the Save dialog was opened with
  QStringList save_folders;  // and the folders it started in
  std::vector<ShownMessage> messages;

 private:
  static std::optional<QString> Next(std::deque<QString>& script) {
    if (script.empty()) return std::nullopt;
    const QString a = script.front();
    script.pop_front();
    if (a.isNull()) return std::nullopt;
    return a;
  }
};

}  // namespace vornik::testing

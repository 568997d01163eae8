// A recording stand-in for the window: keeps what the core shows in the
// three text boxes, holds the two lists, records every message box and
// answers them from a script (OK / the scripted answer, default No).
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "state/window_port.h"

namespace vornik::testing {

struct Box {
  std::string text;
  int32_t back = -1;  // -1: never set
  int32_t fore = -1;
};

struct Message {
  std::string text;
  MsgIcon icon;
  MsgButtons buttons;
  std::string title;
};

class FakeWindow : public WindowPort {
 public:
  void SetBoxText(TextBox box, const std::string& text) override { Get(box).text = text; }
  void SetBoxBackColor(TextBox box, int32_t colour) override { Get(box).back = colour; }
  void SetBoxForeColor(TextBox box, int32_t colour) override { Get(box).fore = colour; }
  SortedList& List1() override { return list1; }
  SortedList& List2() override { return list2; }
  MsgAnswer MsgBox(const std::string& text, MsgIcon icon, MsgButtons buttons, const std::string& title) override {
    messages.push_back({text, icon, buttons, title});
    if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
    if (answers.empty()) return MsgAnswer::No;
    MsgAnswer a = answers.front();
    answers.pop_front();
    return a;
  }

  Box& Get(TextBox box) { return boxes[static_cast<int>(box)]; }

  Box boxes[3];
  SortedList list1, list2;
  std::vector<Message> messages;
  std::deque<MsgAnswer> answers;  // for Yes/No questions
};

}  // namespace vornik::testing

// What the core touches of the window: three text boxes, the two sorted
// list boxes and message boxes. The Qt window implements it; tests use a
// recording fake; the command-line program prints what it is told.
#pragma once

#include <cstdint>
#include <string>

#include "state/sorted_list.h"

namespace vornik {

enum class TextBox { Txtfiletype, Text2, Text3 };

enum class MsgIcon { None, Exclamation, Question };
enum class MsgButtons { Ok, YesNoDefaultNo };
enum class MsgAnswer { Ok, Yes, No };

// Colours are 24-bit values with red in the low byte (255 red, 65280 green,
// 16711680 blue).
constexpr int32_t kColourRed = 255;
constexpr int32_t kColourGreen = 65280;
constexpr int32_t kColourBlue = 16711680;
constexpr int32_t kColourNewdos = 16576;  // red 192, green 64, blue 0

class WindowPort {
 public:
  virtual ~WindowPort() = default;
  // Texts are single-byte text: each byte stands for the Latin-1 character
  // of that code. A carriage return (13) in a message is a line break.
  virtual void SetBoxText(TextBox box, const std::string& text) = 0;
  virtual void SetBoxBackColor(TextBox box, int32_t colour) = 0;
  virtual void SetBoxForeColor(TextBox box, int32_t colour) = 0;
  virtual SortedList& List1() = 0;
  virtual SortedList& List2() = 0;
  virtual MsgAnswer MsgBox(const std::string& text, MsgIcon icon, MsgButtons buttons,
                           const std::string& title) = 0;
};

}  // namespace vornik

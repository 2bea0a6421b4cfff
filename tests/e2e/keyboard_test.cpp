// The value field under the keyboard: the digit filter of the Size and
// Pieces methods, Enter and Esc, and the 25-character limit. The keys go
// through the system's input queue to the foreground dialog, as typed.
#include <gtest/gtest.h>

#include "scenario.h"

namespace {

// Num Lock on, so that keypad keys type digits where nothing filters them.
// Its state belongs to the session, not to one program, so it is checked
// by typing: the 'x' after the keypad key shows that both have arrived.
void NumLockOn(const Program& program) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    SelectMethod(program, ui::kKeyword);  // empties the field
    program.ClickInto(ui::kValue);
    PressKey(VK_NUMPAD5);
    TypeText("x");
    WaitFor([&] { return program.Text(ui::kValue).find('x') != std::string::npos; }, "the key after the keypad key");
    if (program.Text(ui::kValue) == "5x") return;
    PressKey(VK_NUMLOCK);
  }
  throw DriverError("the keypad types no digits");
}

struct KeyPress {
  WORD vk;
  bool shift;
  const char* name;
};

// Keys that type a character where nothing filters them.
const KeyPress kTypingKeys[] = {
    {'A', false, "letter"},    {VK_NUMPAD7, false, "keypad digit"}, {'3', true, "Shift+digit"},
    {VK_OEM_MINUS, false, "minus"}, {VK_SPACE, false, "space"},     {VK_SUBTRACT, false, "keypad minus"},
};

}  // namespace

TEST(Keyboard, the_same_keys_type_under_keyword) {
  WorkDir work;
  Program program(work.path());
  NumLockOn(program);
  SelectMethod(program, ui::kKeyword);
  program.ClickInto(ui::kValue);
  for (const KeyPress& key : kTypingKeys) {
    SCOPED_TRACE(key.name);
    size_t before = program.Text(ui::kValue).size();
    PressKey(key.vk, key.shift);
    WaitFor([&] { return program.Text(ui::kValue).size() == before + 1; }, std::string("the ") + key.name);
  }
  EXPECT_EQ("a7#- -", program.Text(ui::kValue));
  EXPECT_EQ(0u, program.Close());
}

TEST(Keyboard, size_and_pieces_take_only_digits_and_editing_keys) {
  WorkDir work;
  Program program(work.path());
  NumLockOn(program);
  for (int method : {ui::kSize, ui::kPieces}) {
    SCOPED_TRACE(method);
    SelectMethod(program, method);
    program.ClickInto(ui::kValue);
    TypeText("1234567890");
    WaitFor([&] { return program.Text(ui::kValue) == "1234567890"; }, "the main-row digits");
    for (const KeyPress& key : kTypingKeys) {
      SCOPED_TRACE(key.name);
      PressKey(key.vk, key.shift);
      // A digit after the key shows that the key has been handled.
      TypeText("1");
      WaitFor([&] { return program.Text(ui::kValue).size() == 11; }, "the digit after the key");
      EXPECT_EQ("12345678901", program.Text(ui::kValue));
      PressKey(VK_BACK);
      WaitFor([&] { return program.Text(ui::kValue) == "1234567890"; }, "Backspace");
    }
    // Up and Down would move the caret like Left and Right.
    PressKeys({VK_END, VK_UP});
    TypeText("9");
    WaitFor([&] { return program.Text(ui::kValue).size() == 11; }, "the digit after Up");
    EXPECT_EQ("12345678909", program.Text(ui::kValue));
    PressKeys({VK_HOME, VK_DOWN});
    TypeText("9");
    WaitFor([&] { return program.Text(ui::kValue).size() == 12; }, "the digit after Down");
    EXPECT_EQ("912345678909", program.Text(ui::kValue));
    PressKeys({VK_HOME, VK_DELETE, VK_END, VK_BACK});
    WaitFor([&] { return program.Text(ui::kValue) == "1234567890"; }, "Home, Delete, End, Backspace");
    // Alt+K would choose "&Keyword" (and empty the field), Ctrl+Back delete a word.
    PressChord(VK_MENU, 'K');
    PressChord(VK_CONTROL, VK_BACK);
    TypeText("1");
    WaitFor([&] { return program.Text(ui::kValue).size() != 10; }, "the digit after Alt+K and Ctrl+Backspace");
    EXPECT_EQ("12345678901", program.Text(ui::kValue));
    EXPECT_TRUE(program.Checked(method));
    PressKey(VK_BACK);
    WaitFor([&] { return program.Text(ui::kValue) == "1234567890"; }, "Backspace");
    // Editing keys: Home, Delete, End, Left, Backspace, Insert (overtype
    // in no edit control, so it changes nothing visible), Right.
    PressKeys({VK_HOME, VK_DELETE});
    WaitFor([&] { return program.Text(ui::kValue) == "234567890"; }, "Home, Delete");
    PressKeys({VK_END, VK_LEFT, VK_BACK});
    WaitFor([&] { return program.Text(ui::kValue) == "23456780"; }, "End, Left, Backspace");
    PressKeys({VK_INSERT, VK_RIGHT});
    TypeText("5");
    WaitFor([&] { return program.Text(ui::kValue) == "234567805"; }, "Insert, Right, 5");
    // Tab leaves the field for the next tab stop.
    PressKey(VK_TAB);
    WaitFor([&] { return program.FocusId() == ui::kSplit; }, "Tab to move the focus to the Split button");
  }
  // Num Lock was on all along: the keypad still types where nothing filters.
  SelectMethod(program, ui::kKeyword);
  program.ClickInto(ui::kValue);
  PressKey(VK_NUMPAD7);
  TypeText("x");
  WaitFor([&] { return program.Text(ui::kValue).find('x') != std::string::npos; }, "the key after the keypad key");
  EXPECT_EQ("7x", program.Text(ui::kValue));
  EXPECT_EQ(0u, program.Close());
}

TEST(Keyboard, enter_and_escape_do_nothing_in_the_field_under_size_and_pieces) {
  WorkDir work;
  std::string out = work.Subdir("out");
  WriteBytes(work.File("data.bin"), PatternBytes(100));
  Program program(work.path());
  Choose(program, work.File("data.bin"), out);
  for (int method : {ui::kSize, ui::kPieces}) {
    SCOPED_TRACE(method);
    SelectMethod(program, method);
    program.ClickInto(ui::kValue);
    TypeText("2");
    PressKey(VK_RETURN);
    PressKey(VK_ESCAPE);
    TypeText("3");
    WaitFor([&] { return program.Text(ui::kValue) == "23" || program.AnyBox() || !program.Running(); },
            "the digit after Enter and Esc");
    EXPECT_TRUE(program.Running());
    EXPECT_FALSE(program.AnyBox());
    EXPECT_EQ("23", program.Text(ui::kValue));
    EXPECT_TRUE(ListDir(out).empty());
  }
  // Out of the field the filter is gone and Esc ends the program.
  PressKey(VK_TAB);
  WaitFor([&] { return program.FocusId() == ui::kSplit; }, "Tab to the Split button");
  PressKey(VK_ESCAPE);
  EXPECT_EQ(0u, program.WaitExit());
}

TEST(Keyboard, enter_in_the_field_starts_a_keyword_split) {
  WorkDir work;
  std::string out = work.Subdir("out");
  WriteBytes(work.File("list.txt"), "one--two--three");
  Program program(work.path());
  Choose(program, work.File("list.txt"), out);
  SelectMethod(program, ui::kKeyword);
  EnterValue(program, "--");
  PressKey(VK_RETURN);
  ExpectInfo(program, msg::kSplitFinished);
  ExpectIdle(program);
  EXPECT_EQ((std::vector<std::string>{"list_txt.1", "list_txt.2", "list_txt.3"}), ListDir(out));
  EXPECT_EQ("three", ReadBytes(out + "\\list_txt.3"));
  EXPECT_EQ(0u, program.Close());
}

TEST(Keyboard, the_close_box_ends_the_program_while_the_filter_is_on) {
  WorkDir work;
  Program program(work.path());
  program.ClickInto(ui::kValue);  // Pieces: the filter is on
  TypeText("a7");
  WaitFor([&] { return program.Text(ui::kValue) == "7"; }, "the filter to keep only the digit");
  PressKey(VK_ESCAPE);
  TypeText("8");
  WaitFor([&] { return program.Text(ui::kValue) == "78" || !program.Running(); }, "the digit after Esc");
  ASSERT_TRUE(program.Running()) << "Esc in the filtered field ended the program";
  program.SysCommand(SC_CLOSE);
  EXPECT_EQ(0u, program.WaitExit());
}

TEST(Keyboard, the_filter_follows_the_method_when_the_field_regains_the_focus) {
  WorkDir work;
  Program program(work.path());
  SelectMethod(program, ui::kKeyword);
  EnterValue(program, "ab");
  // Clicking Size takes the focus from the field and empties it; back in
  // the field, the filter is on.
  SelectMethod(program, ui::kSize);
  program.ClickInto(ui::kValue);
  TypeText("c4");
  WaitFor([&] { return program.Text(ui::kValue) == "4"; }, "only the digit under Size");
  // And off again under Keyword.
  SelectMethod(program, ui::kKeyword);
  program.ClickInto(ui::kValue);
  TypeText("c4");
  WaitFor([&] { return program.Text(ui::kValue) == "c4"; }, "both keys under Keyword");
  EXPECT_EQ(0u, program.Close());
}

TEST(Keyboard, the_value_field_takes_at_most_25_characters) {
  WorkDir work;
  Program program(work.path());
  const std::string digits = "123456789012345678901234567890";
  const std::string letters = "abcdefghijklmnopqrstuvwxyz-abcd";
  for (int method : {ui::kKeyword, ui::kSize, ui::kPieces}) {
    SCOPED_TRACE(method);
    SelectMethod(program, method);
    program.ClickInto(ui::kValue);
    const std::string& typed = method == ui::kKeyword ? letters : digits;
    TypeText(typed);
    // Home and Delete come after every typed key, and take the first
    // character away: the field then starts with the second.
    PressKeys({VK_HOME, VK_DELETE});
    WaitFor([&] { return program.Text(ui::kValue).compare(0, 1, typed, 1, 1) == 0; }, "Home, Delete");
    EXPECT_EQ(typed.substr(1, 24), program.Text(ui::kValue));
  }
  EXPECT_EQ(0u, program.Close());
}

TEST(Keyboard, tab_visits_the_tab_stops_and_the_checked_button_of_each_group) {
  WorkDir work;
  Program program(work.path());
  auto walk = [&](size_t steps) {
    std::vector<int> visited;
    for (size_t i = 0; i < steps; ++i) {
      int before = program.FocusId();
      PressKey(VK_TAB);
      WaitFor([&] { return program.FocusId() != before; }, "Tab to move the focus");
      visited.push_back(program.FocusId());
    }
    return visited;
  };
  ASSERT_EQ(ui::kSourceBrowse, program.FocusId());
  // Checking a radio button makes it a tab stop, on Windows as under Wine.
  EXPECT_EQ((std::vector<int>{ui::kTargetBrowse, ui::kPieces, ui::kMakeBatch, ui::kValue, ui::kSplit, ui::kCancel,
                              ui::kHelp, ui::kAbout, ui::kModeSplit, ui::kSourceBrowse}),
            walk(10));
  // In Join mode the disabled controls are passed over.
  program.Click(ui::kModeJoin);
  // A click focuses its button, and cancelling the picker leaves the focus there.
  program.Click(ui::kSourceBrowse);
  program.WaitBox().Press(IDCANCEL);
  program.Settle();
  ASSERT_EQ(ui::kSourceBrowse, program.FocusId());
  EXPECT_EQ((std::vector<int>{ui::kTargetBrowse, ui::kSplit, ui::kCancel, ui::kHelp, ui::kAbout, ui::kModeJoin,
                              ui::kSourceBrowse}),
            walk(7));
  EXPECT_EQ(0u, program.Close());
}

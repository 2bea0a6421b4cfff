// The dialog as the user sees it: its opening state, the modes and methods,
// the window menu, the About and Help boxes, the tips, the pickers and the
// ways to end the program.
#include <gtest/gtest.h>

#include <sstream>

#include "scenario.h"

namespace {

const int kSplitModeControls[] = {ui::kKeyword, ui::kSize,   ui::kPieces,   ui::kMakeBatch,
                                  ui::kValue,   ui::kUnitKb, ui::kUnitBytes, ui::kUnitLabel};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) lines.push_back(line);
  if (!text.empty() && text.back() == '\n') lines.push_back("");
  return lines;
}

Box OpenBox(const Program& program, bool fromWindowMenu, int buttonId, WPARAM command) {
  if (fromWindowMenu) {
    program.SysCommand(command);
  } else {
    program.Click(buttonId);
  }
  return program.WaitBox();
}

}  // namespace

TEST(Dialog, opening_state) {
  WorkDir work;
  Program program(work.path());
  EXPECT_EQ("Dorvenal V 1.0.8", WindowText(program.dialog()));
  EXPECT_TRUE(program.Checked(ui::kModeSplit));
  EXPECT_FALSE(program.Checked(ui::kModeJoin));
  EXPECT_TRUE(program.Checked(ui::kPieces));
  EXPECT_FALSE(program.Checked(ui::kSize));
  EXPECT_FALSE(program.Checked(ui::kKeyword));
  EXPECT_TRUE(program.Checked(ui::kUnitKb));
  EXPECT_FALSE(program.Checked(ui::kUnitBytes));
  EXPECT_FALSE(program.Checked(ui::kMakeBatch));
  EXPECT_EQ("&No of Pieces", program.Text(ui::kValueLabel));
  EXPECT_EQ("&Split", program.Text(ui::kSplit));
  EXPECT_EQ("&Cancel", program.Text(ui::kCancel));
  for (int id : {ui::kUnitLabel, ui::kUnitKb, ui::kUnitBytes}) EXPECT_FALSE(program.Visible(id)) << id;
  for (int id : kSplitModeControls) EXPECT_TRUE(program.Enabled(id)) << id;
  for (int id : {ui::kSourcePath, ui::kTargetPath, ui::kValue}) EXPECT_EQ("", program.Text(id)) << id;
  EXPECT_EQ(0, program.ProgressPos());
  EXPECT_EQ(ui::kSourceBrowse, program.FocusId());
  // No maximize box and no sizing border.
  LONG style = GetWindowLongA(program.dialog(), GWL_STYLE);
  EXPECT_EQ(0, style & (WS_MAXIMIZEBOX | WS_THICKFRAME));
  EXPECT_NE(0, style & WS_MINIMIZEBOX);
  EXPECT_EQ(0u, program.Close());
}

TEST(Dialog, methods_set_the_label_and_units_and_empty_the_value) {
  WorkDir work;
  Program program(work.path());
  struct MethodCase {
    int id;
    const char* label;
    bool unitsShown;
  };
  for (const MethodCase& c : {MethodCase{ui::kSize, "&Size per piece", true}, MethodCase{ui::kKeyword, "&Keyword", false},
                              MethodCase{ui::kPieces, "&No of Pieces", false}, MethodCase{ui::kSize, "&Size per piece", true},
                              MethodCase{ui::kSize, "&Size per piece", true}}) {
    SCOPED_TRACE(c.label);
    EnterValue(program, "12");
    SelectMethod(program, c.id);  // also the method already chosen
    EXPECT_EQ(c.label, program.Text(ui::kValueLabel));
    EXPECT_EQ("", program.Text(ui::kValue));
    for (int id : {ui::kUnitLabel, ui::kUnitKb, ui::kUnitBytes}) EXPECT_EQ(c.unitsShown, program.Visible(id)) << id;
    for (int other : {ui::kSize, ui::kKeyword, ui::kPieces}) EXPECT_EQ(other == c.id, program.Checked(other)) << other;
    EXPECT_TRUE(program.Checked(ui::kModeSplit));
    EXPECT_TRUE(program.Checked(ui::kUnitKb));
  }
  // Choosing a unit neither empties the value nor touches the method.
  EnterValue(program, "34");
  SelectMethod(program, ui::kUnitBytes);
  EXPECT_FALSE(program.Checked(ui::kUnitKb));
  EXPECT_EQ("34", program.Text(ui::kValue));
  EXPECT_TRUE(program.Checked(ui::kSize));
  EXPECT_EQ(0u, program.Close());
}

TEST(Dialog, split_join_split_keeps_method_value_and_batch_and_empties_the_paths) {
  WorkDir work;
  std::string out = work.Subdir("out");
  WriteBytes(work.File("data.bin"), PatternBytes(3000));
  Program program(work.path());
  // Leave the progress bar away from 0 first, with a real split.
  Choose(program, work.File("data.bin"), out);
  EnterValue(program, "3");
  program.Click(ui::kSplit);
  program.WaitBox().Press(IDYES);
  ExpectInfo(program, msg::kSplitFinished);
  ASSERT_EQ(3, program.ProgressPos());

  SelectMethod(program, ui::kSize);
  SelectMethod(program, ui::kUnitBytes);
  EnterValue(program, "1400");
  TickBatch(program);
  Choose(program, work.File("data.bin"), out);

  program.Click(ui::kModeJoin);
  EXPECT_TRUE(program.Checked(ui::kModeJoin));
  EXPECT_FALSE(program.Checked(ui::kModeSplit));
  EXPECT_EQ("&Join", program.Text(ui::kSplit));
  for (int id : kSplitModeControls) EXPECT_FALSE(program.Enabled(id)) << id;
  for (int id : {ui::kSourceBrowse, ui::kTargetBrowse, ui::kSplit, ui::kCancel, ui::kHelp, ui::kAbout, ui::kModeSplit})
    EXPECT_TRUE(program.Enabled(id)) << id;
  // With Size the unit controls stay in view, disabled.
  for (int id : {ui::kUnitLabel, ui::kUnitKb, ui::kUnitBytes}) EXPECT_TRUE(program.Visible(id)) << id;
  EXPECT_EQ("", program.Text(ui::kSourcePath));
  EXPECT_EQ("", program.Text(ui::kTargetPath));
  // Position 0 is below the range the split left (from 1), so the bar
  // takes its lowest position: empty.
  EXPECT_EQ(program.ProgressLow(), program.ProgressPos());
  EXPECT_EQ("1400", program.Text(ui::kValue));
  EXPECT_EQ("&Size per piece", program.Text(ui::kValueLabel));

  Choose(program, work.File("data.bin"), out);
  program.Click(ui::kModeSplit);
  EXPECT_EQ("&Split", program.Text(ui::kSplit));
  for (int id : kSplitModeControls) EXPECT_TRUE(program.Enabled(id)) << id;
  EXPECT_EQ("", program.Text(ui::kSourcePath));
  EXPECT_EQ("", program.Text(ui::kTargetPath));
  EXPECT_TRUE(program.Checked(ui::kSize));
  EXPECT_FALSE(program.Checked(ui::kPieces));
  EXPECT_TRUE(program.Checked(ui::kUnitBytes));
  EXPECT_TRUE(program.Checked(ui::kMakeBatch));
  EXPECT_EQ("1400", program.Text(ui::kValue));
  EXPECT_EQ("&Size per piece", program.Text(ui::kValueLabel));

  // The method really is still Size: 1400 bytes of 3000 make 3 pieces.
  Choose(program, work.File("data.bin"), work.Subdir("again"));
  program.Click(ui::kSplit);
  ExpectConfirmation(program, "File will be split into 3 pieces\nShall I continue ?").Press(IDNO);
  ExpectIdle(program);
  EXPECT_EQ(0u, program.Close());
}

TEST(Dialog, clicking_the_checked_mode_empties_both_paths) {
  WorkDir work;
  WriteBytes(work.File("a.txt"), "a");
  Program program(work.path());
  for (int mode : {ui::kModeSplit, ui::kModeJoin, ui::kModeJoin}) {
    Choose(program, work.File("a.txt"), work.path());
    program.Click(mode);
    EXPECT_EQ("", program.Text(ui::kSourcePath)) << mode;
    EXPECT_EQ("", program.Text(ui::kTargetPath)) << mode;
  }
  EXPECT_EQ(0u, program.Close());
}

TEST(Dialog, cancel_escape_and_the_close_box_end_the_program_with_code_0) {
  WorkDir work;
  {
    Program program(work.path());
    EXPECT_EQ(0u, program.Close());
  }
  {
    Program program(work.path());
    ASSERT_EQ(ui::kSourceBrowse, program.FocusId());
    PressKey(VK_ESCAPE);
    EXPECT_EQ(0u, program.WaitExit());
  }
  {
    Program program(work.path());
    // Find the close box the way the window manager's code does, then click it.
    RECT frame{};
    GetWindowRect(program.dialog(), &frame);
    POINT closeBox{-1, -1};
    for (int y = frame.top + 2; y < frame.top + 40 && closeBox.x < 0; ++y) {
      for (int x = frame.right - 2; x > frame.right - 80; --x) {
        DWORD_PTR hit = 0;
        SendMessageTimeoutA(program.dialog(), WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_NORMAL, 5000, &hit);
        if (hit == HTCLOSE) {
          closeBox = POINT{x - 3, y + 3};
          break;
        }
      }
    }
    ASSERT_GE(closeBox.x, 0) << "no close box on the caption";
    ClickMouse(closeBox.x, closeBox.y);
    EXPECT_EQ(0u, program.WaitExit());
  }
}

TEST(Dialog, window_menu_has_no_maximize_or_size_and_ends_with_help_and_about) {
  WorkDir work;
  Program program(work.path());
  std::vector<std::string> items = program.SystemMenuItems();
  std::string all;
  for (const std::string& item : items) all += item + "\n";
  SCOPED_TRACE(all);
  std::vector<unsigned> ids;
  for (const std::string& item : items) ids.push_back(static_cast<unsigned>(std::stoul(item)));
  auto has = [&](unsigned id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); };
  EXPECT_FALSE(has(SC_MAXIMIZE));
  EXPECT_FALSE(has(SC_SIZE));
  EXPECT_TRUE(has(SC_MOVE));
  EXPECT_TRUE(has(SC_MINIMIZE));
  ASSERT_GE(items.size(), 3u);
  EXPECT_EQ("1026|0|&Help", items[items.size() - 2]);
  EXPECT_EQ("1027|0|&About", items[items.size() - 1]);
  // Between Close and the program's two items only what Wine adds to every
  // window menu may stand: its separator and "About Wine" (0xF141).
  auto close = std::find(ids.begin(), ids.end(), static_cast<unsigned>(SC_CLOSE));
  ASSERT_NE(ids.end(), close);
  for (auto it = close + 1; it != ids.end() - 2; ++it) EXPECT_TRUE(*it == 0 || *it == 0xF141) << *it;
  EXPECT_EQ(0u, program.Close());
}

TEST(Dialog, about_and_help_boxes_are_the_same_from_buttons_and_window_menu) {
  WorkDir work;
  Program program(work.path());
  HICON appIcon = ProgramIcon();
  std::string aboutText;
  for (bool fromMenu : {false, true}) {
    SCOPED_TRACE(fromMenu ? "window menu" : "button");
    Box about = OpenBox(program, fromMenu, ui::kAbout, ui::kSysAbout);
    EXPECT_EQ("About Dorvenal", about.caption);
    EXPECT_EQ(std::vector<int>{IDOK}, about.Buttons());
    ASSERT_TRUE(about.HasIcon());
    EXPECT_TRUE(ShowsIcon(GetDlgItem(about.window, kMessageBoxIconId), appIcon));
    std::vector<std::string> lines = Lines(about.text);
    ASSERT_EQ(12u, lines.size()) << about.text;
    EXPECT_EQ("Dorvenal V1.0.8 (001030) ", lines[0]);
    EXPECT_EQ("The File Splitter for Win 95/98/NT/2000", lines[1]);
    for (size_t i : {2, 4, 5, 7, 8, 10, 11}) EXPECT_NE("", lines[i]) << i;
    for (size_t i : {3, 6, 9}) EXPECT_EQ("", lines[i]) << i;
    EXPECT_LE(about.text.size(), 499u);
    if (fromMenu) {
      EXPECT_EQ(aboutText, about.text);
    }
    aboutText = about.text;
    about.Press(IDOK);
    ExpectIdle(program);
  }
  const std::string banner = aboutText.substr(0, aboutText.find("\n\n") + 2);
  for (bool fromMenu : {false, true}) {
    SCOPED_TRACE(fromMenu ? "window menu" : "button");
    Box help = OpenBox(program, fromMenu, ui::kHelp, ui::kSysHelp);
    EXPECT_EQ("Dorvenal Help", help.caption);
    EXPECT_EQ(banner +
                  "Place your mouse over the buttons to read a brief description\n\n"
                  "check the README.TXT for a detailed Help & FAQ",
              help.text);
    EXPECT_LE(help.text.size(), 299u);
    EXPECT_EQ(std::vector<int>{IDOK}, help.Buttons());
    ASSERT_TRUE(help.HasIcon());
    EXPECT_TRUE(ShowsIcon(GetDlgItem(help.window, kMessageBoxIconId), appIcon));
    help.Press(IDOK);
    ExpectIdle(program);
  }
  // The information box, by contrast, carries the system's information icon.
  program.Click(ui::kSplit);
  Box info = program.WaitBox();
  ASSERT_TRUE(info.HasIcon());
  // The system's icon may be blended with its background, so it is not
  // compared pixel for pixel; it is there, and it is not ours.
  ASSERT_TRUE(ShowsAnImage(GetDlgItem(info.window, kMessageBoxIconId)));
  EXPECT_FALSE(ShowsIcon(GetDlgItem(info.window, kMessageBoxIconId), appIcon, 0));
  info.Press(IDOK);
  DestroyIcon(appIcon);
  EXPECT_EQ(0u, program.Close());
}

TEST(Dialog, window_menu_items_work_from_the_keyboard) {
  WorkDir work;
  Program program(work.path());
  struct MenuWalk {
    std::vector<WORD> keys;  // after the menu has opened
    const char* caption;
  };
  for (const MenuWalk& walk : {MenuWalk{{VK_END, VK_RETURN}, "About Dorvenal"},
                               MenuWalk{{VK_END, VK_UP, VK_RETURN}, "Dorvenal Help"}}) {
    SCOPED_TRACE(walk.caption);
    SetForegroundWindow(program.dialog());
    WaitFor([&] { return GetForegroundWindow() == program.dialog(); }, "the dialog in the foreground");
    std::vector<INPUT> altSpace(4);
    for (INPUT& input : altSpace) input.type = INPUT_KEYBOARD;
    altSpace[0].ki.wVk = VK_MENU;
    altSpace[1].ki.wVk = VK_SPACE;
    altSpace[2].ki.wVk = VK_SPACE;
    altSpace[2].ki.dwFlags = KEYEVENTF_KEYUP;
    altSpace[3].ki.wVk = VK_MENU;
    altSpace[3].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(4, altSpace.data(), sizeof(INPUT));
    WaitFor(
        [&] {
          for (HWND window : program.Windows())
            if (ClassOf(window) == "#32768" && IsWindowVisible(window)) return true;
          return false;
        },
        "the window menu to open");
    PressKeys(walk.keys);
    Box box = program.WaitBox();
    EXPECT_EQ(walk.caption, box.caption);
    box.Press(IDOK);
    ExpectIdle(program);
  }
  EXPECT_EQ(0u, program.Close());
}

TEST(Dialog, tips_of_the_fixed_controls) {
  WorkDir work;
  Program program(work.path());
  SelectMethod(program, ui::kSize);  // shows the unit buttons
  struct Tip {
    int id;
    const char* text;
  };
  for (const Tip& tip : {
           Tip{ui::kKeyword, "Use an entered keyword to split the source file based on that keyword"},
           Tip{ui::kSize, "Use an entered fragment size to split the source into pieces of that size"},
           Tip{ui::kPieces, "Specify the no. of pieces that you would like to split the source file into"},
           Tip{ui::kMakeBatch,
               "Generates a batch file JOIN.BAT in the target folder which will re-join the split pieces"},
           Tip{ui::kModeSplit, "Use this option to Split a file into many pieces"},
           Tip{ui::kModeJoin, "Use this option to Join the pieces back to re-create the original file"},
           Tip{ui::kUnitKb,
               "Enter the size per piece in Kilobytes ,1 Kilobyte = 1024 bytes, 1024 Kilobytes = 1 Megabyte(mb)"},
           Tip{ui::kUnitBytes, "Enter the size per piece in bytes (1024 bytes = 1 Kilobyte)"},
       }) {
    EXPECT_EQ(tip.text, HoverTip(program, tip.id)) << tip.id;
  }
  // Controls without a tool show none.
  EXPECT_EQ("", HoverTip(program, ui::kSplit, 1500));
  EXPECT_EQ(0u, program.Close());
}

TEST(Dialog, tips_of_the_browse_buttons_follow_the_mode) {
  WorkDir work;
  Program program(work.path());
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ("Enter a source file that you want to split", HoverTip(program, ui::kSourceBrowse));
    EXPECT_EQ("Enter a target directory where you want the split pieces to be placed",
              HoverTip(program, ui::kTargetBrowse));
    program.Click(ui::kModeJoin);
    EXPECT_EQ("Enter a source (.1) file that you want to join", HoverTip(program, ui::kSourceBrowse));
    EXPECT_EQ("Enter a target directory where you want the joined file to be copied",
              HoverTip(program, ui::kTargetBrowse));
    program.Click(ui::kModeSplit);
  }
  EXPECT_EQ(0u, program.Close());
}

TEST(Dialog, tips_of_the_path_fields_show_the_whole_path) {
  WorkDir work;
  // Long enough that the tip text cannot fit the notification's 80 bytes.
  std::string dir = work.Subdir("a folder with a rather long name, so that its path passes eighty characters");
  std::string source = dir + "\\and a file name that is long as well.txt";
  WriteBytes(source, "x");
  ASSERT_GT(source.size(), 120u);
  Program program(work.path());
  EXPECT_EQ("", HoverTip(program, ui::kSourcePath, 1500));
  EXPECT_EQ("", HoverTip(program, ui::kTargetPath, 1500));
  Choose(program, source, dir);
  EXPECT_EQ(source, HoverTip(program, ui::kSourcePath));
  EXPECT_EQ(dir, HoverTip(program, ui::kTargetPath));
  EXPECT_EQ(0u, program.Close());
}

TEST(Dialog, open_dialog_filters_follow_the_mode_and_cancel_empties_the_fields) {
  WorkDir work;
  WriteBytes(work.File("a.txt"), "a");
  Program program(work.path());
  struct ModeFilters {
    int mode;
    std::vector<std::string> filters;
  };
  for (const ModeFilters& m : {ModeFilters{ui::kModeSplit, {"All", "Text", "MP3", "Zip", "Doc", "EXE"}},
                               ModeFilters{ui::kModeJoin, {".1 File", "All"}}}) {
    SCOPED_TRACE(m.filters[0]);
    program.Click(m.mode);
    Choose(program, work.File("a.txt"), work.path());
    program.Click(ui::kSourceBrowse);
    Box open = program.WaitBox();
    HWND types = GetDlgItem(open.window, 0x470);
    ASSERT_TRUE(types) << "the Open dialog has no file type list";
    EXPECT_EQ(m.filters, ComboItems(types));
    EXPECT_EQ(0, ComboSelection(types));
    open.Press(IDCANCEL);
    program.Settle();
    EXPECT_EQ("", program.Text(ui::kSourcePath));
    program.CancelTargetPicker();
    EXPECT_EQ("", program.Text(ui::kTargetPath));
  }
  EXPECT_EQ(0u, program.Close());
}

TEST(Dialog, open_dialog_starts_empty_in_the_current_directory_and_takes_only_existing_files) {
  WorkDir work;
  WriteBytes(work.File("a.txt"), "a");
  Program program(work.path());
  program.Click(ui::kSourceBrowse);
  Box open = program.WaitBox();
  HWND name = OpenDialogNameEdit(open.window);
  ASSERT_TRUE(name);
  EXPECT_EQ("", WindowText(name));
  // A name that does not exist is refused by the Open dialog itself.
  SendMessageTimeoutA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("missing.txt"), SMTO_NORMAL, 5000, nullptr);
  open.Click(IDOK);
  Box warning = program.WaitBoxOwnedBy(open.window);
  warning.Press(warning.Buttons().at(0));
  ASSERT_TRUE(IsWindow(open.window)) << "the Open dialog took a missing file";
  // A bare name is looked for in the program's current directory.
  SendMessageTimeoutA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("a.txt"), SMTO_NORMAL, 5000, nullptr);
  open.Press(IDOK);
  program.Settle();
  EXPECT_EQ(work.File("a.txt"), program.Text(ui::kSourcePath));
  EXPECT_EQ(0u, program.Close());
}

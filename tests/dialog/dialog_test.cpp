// The program's main dialog, built in this thread from its own template and
// procedure, and worked with messages and real key input. Message boxes
// are modal: a thread timer answers them from inside their loop.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "known_sets.h"
#include "main_window.h"
#include "resource_ids.h"
#include "session_state.h"

namespace {

using known::kNoSource;
using known::kNoTarget;
using known::kNoValue;
const int kSplitOnly[] = {1005, 1015, 1016, 1019, 1006, 1024, 1025, 1026};
const int kAlwaysOn[] = {1001, 1003, IDOK, IDCANCEL, 1008, 1009, 1021, 1022};

// A box as the user saw it, before it was answered.
struct SeenBox { std::string caption, text; HICON icon; std::vector<int> buttons; bool okEnabled; };

HWND gDialog;
std::vector<SeenBox> gBoxes;

std::string TextOf(HWND window) {
  char text[1024] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}
std::string Text(int id) { return TextOf(GetDlgItem(gDialog, id)); }
void SetText(int id, const char* text) { SetDlgItemTextA(gDialog, id, text); }
bool Enabled(int id) { return IsWindowEnabled(GetDlgItem(gDialog, id)) != FALSE; }
bool Visible(int id) { return IsWindowVisible(GetDlgItem(gDialog, id)) != FALSE; }
bool Checked(int id) { return IsDlgButtonChecked(gDialog, id) == BST_CHECKED; }
int FocusId() { return GetParent(GetFocus()) == gDialog ? GetDlgCtrlID(GetFocus()) : 0; }

// Records a visible box of this thread and presses No or OK, as a user
// bound to the buttons that are there would.
BOOL CALLBACK AnswerBox(HWND box, LPARAM) {
  char windowClass[16] = "";
  if (box == gDialog || !IsWindowVisible(box) || !GetClassNameA(box, windowClass, 16) || lstrcmpA(windowClass, "#32770"))
    return TRUE;
  SeenBox seen{TextOf(box), TextOf(GetDlgItem(box, 0xFFFF)),
               reinterpret_cast<HICON>(SendDlgItemMessageA(box, 1088, STM_GETICON, 0, 0)), {}, Enabled(IDOK)};
  for (int id = IDOK; id <= IDNO; ++id)
    if (IsWindowVisible(GetDlgItem(box, id)) && IsWindowEnabled(GetDlgItem(box, id))) seen.buttons.push_back(id);
  gBoxes.push_back(seen);
  int press = seen.buttons.empty() ? 0 : seen.buttons.back() == IDNO ? IDNO : seen.buttons.front();
  if (press) SendDlgItemMessageA(box, press, BM_CLICK, 0, 0);
  return TRUE;
}
void CALLBACK AnswerBoxes(HWND, UINT, UINT_PTR, DWORD) { EnumThreadWindows(GetCurrentThreadId(), AnswerBox, 0); }

void Pump() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (!IsDialogMessageA(gDialog, &message)) TranslateMessage(&message), DispatchMessageA(&message);
  }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 3000) {
  for (DWORD start = GetTickCount(); !done(); Sleep(5), Pump())
    if (GetTickCount() - start > timeoutMs) return false;
  return true;
}

// A click as a user can make it: on a visible, enabled button only.
void Click(int id) {
  ASSERT_TRUE(Visible(id) && Enabled(id)) << "control " << id << " cannot be clicked";
  SendDlgItemMessageA(gDialog, id, BM_CLICK, 0, 0);
  Pump();
}

// Types through the system's input queue; \b, \r and \x1b are Backspace,
// Enter and Esc, other characters the keys (with Shift) that type them.
void TypeKeys(const std::string& keys) {
  auto press = [](BYTE vk, DWORD up) { keybd_event(vk, static_cast<BYTE>(MapVirtualKeyA(vk, 0)), up, 0); };
  for (char c : keys) {
    SHORT key = c == '\b' ? VK_BACK : c == '\r' ? VK_RETURN : c == '\x1b' ? VK_ESCAPE : VkKeyScanA(c);
    if (key & 0x100) press(VK_SHIFT, 0);
    press(key & 0xFF, 0);
    press(key & 0xFF, KEYEVENTF_KEYUP);
    if (key & 0x100) press(VK_SHIFT, KEYEVENTF_KEYUP);
  }
}

class MainDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    gSession.instance = GetModuleHandleA(nullptr);
    InitCommonControls();
    gBoxes.clear();
    gDialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
    ASSERT_TRUE(gDialog);
    ShowWindow(gDialog, SW_SHOW), SetForegroundWindow(gDialog);
    timer_ = SetTimer(nullptr, 0, 20, AnswerBoxes);
    Pump();
  }
  void TearDown() override {
    KillTimer(nullptr, timer_);
    DestroyWindow(gDialog);
    Pump();
  }
  UINT_PTR timer_ = 0;
};

TEST_F(MainDialog, opens_in_split_mode_with_pieces_and_the_focus_on_the_source_button) {
  EXPECT_EQ("Dorvenal V 1.0.8", TextOf(gDialog));
  for (int id : {1021, 1016, 1024}) EXPECT_TRUE(Checked(id)) << id;
  for (int id : {1022, 1005, 1015, 1025, 1019}) EXPECT_FALSE(Checked(id)) << id;
  EXPECT_EQ("&No of Pieces", Text(1007));
  EXPECT_EQ("&Split", Text(IDOK));
  for (int id : {1024, 1025, 1026}) EXPECT_FALSE(Visible(id)) << id;
  for (int id : kSplitOnly) EXPECT_TRUE(Enabled(id)) << id;
  EXPECT_EQ(1001, FocusId());
  EXPECT_EQ(25, SendDlgItemMessageA(gDialog, 1006, EM_GETLIMITTEXT, 0, 0));
}

TEST_F(MainDialog, each_mode_click_sets_the_controls_and_the_button_and_empties_the_paths) {
  struct Row { int mode; const char* ok; bool splitControls; };
  for (const Row& row : {Row{1022, "&Join", false}, Row{1022, "&Join", false}, Row{1021, "&Split", true},
                         Row{1021, "&Split", true}, Row{1022, "&Join", false}}) {
    SCOPED_TRACE(row.mode);
    SetText(1000, "C:\\a.txt");
    SetText(1002, "C:\\");
    SetText(1006, "12");
    Click(row.mode);
    EXPECT_TRUE(Checked(row.mode));
    EXPECT_EQ(row.ok, Text(IDOK));
    EXPECT_EQ("", Text(1000));
    EXPECT_EQ("", Text(1002));
    EXPECT_EQ("12", Text(1006));
    for (int id : kSplitOnly) EXPECT_EQ(row.splitControls, Enabled(id)) << id;
    for (int id : kAlwaysOn) EXPECT_TRUE(Enabled(id)) << id;
  }
}

TEST_F(MainDialog, each_method_sets_the_label_and_units_and_empties_the_value) {
  struct Row { int method; const char* label; bool units; };
  for (const Row& row : {Row{1015, "&Size per piece", true}, Row{1005, "&Keyword", false},
                         Row{1016, "&No of Pieces", false}, Row{1015, "&Size per piece", true},
                         Row{1015, "&Size per piece", true}}) {
    SCOPED_TRACE(row.label);
    SetText(1006, "12");
    Click(row.method);
    EXPECT_EQ(row.label, Text(1007));
    EXPECT_EQ("", Text(1006));
    for (int id : {1024, 1025, 1026}) EXPECT_EQ(row.units, Visible(id)) << id;
    for (int id : {1005, 1015, 1016}) EXPECT_EQ(id == row.method, Checked(id)) << id;
  }
  // A unit neither empties the value nor changes the method.
  SetText(1006, "34");
  Click(1025);
  EXPECT_EQ("34", Text(1006));
  EXPECT_TRUE(Checked(1015));
}

TEST_F(MainDialog, a_missing_input_is_named_and_gets_the_focus) {
  struct Row { int mode; const char* source; const char* target; const char* value; const char* message; int focus; };
  const Row rows[] = {
      {1021, "", "", "2", kNoSource, 1001},        {1021, "", "C:\\", "2", kNoSource, 1001},
      {1021, "C:\\a.txt", "", "2", kNoTarget, 1003}, {1021, "C:\\a.txt", "C:\\", "", kNoValue, 1006},
      {1022, "", "C:\\", "", kNoSource, 1001},      {1022, "C:\\a_txt.1", "", "", kNoTarget, 1003},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.message);
    if (!Checked(row.mode)) Click(row.mode);
    SetText(1000, row.source);
    SetText(1002, row.target);
    SetText(1006, row.value);
    gBoxes.clear();
    Click(IDOK);
    ASSERT_EQ(1u, gBoxes.size());
    EXPECT_EQ("Dorvenal", gBoxes[0].caption);
    EXPECT_EQ(row.message, gBoxes[0].text);
    EXPECT_EQ(std::vector<int>{IDOK}, gBoxes[0].buttons);
    EXPECT_EQ(LoadIconA(nullptr, IDI_INFORMATION), gBoxes[0].icon);
    // A split holds its buttons off from its start, also while it refuses.
    EXPECT_EQ(row.mode == 1022, gBoxes[0].okEnabled);
    EXPECT_EQ(row.focus, FocusId());
    EXPECT_TRUE(Enabled(IDOK) && Enabled(IDCANCEL));
  }
}

TEST_F(MainDialog, the_value_field_takes_only_digits_and_editing_keys_under_size_and_pieces) {
  struct Row { int method; const char* keys; const char* shown; };
  const Row rows[] = {
      {1015, "1a2", "12"},     {1015, "3#4", "34"},     {1015, "5- 6", "56"},  {1015, "78\b9", "79"},
      {1015, "1\x1b\r2", "12"}, {1016, "a1B#2", "12"},   {1016, "9\r\x1b" "0", "90"},
      {1005, "1a2#- ", "1a2#- "},  // nothing filtered under Keyword
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.keys);
    Click(row.method);
    SetFocus(GetDlgItem(gDialog, 1006));
    gBoxes.clear();
    TypeKeys(row.keys);
    EXPECT_TRUE(PumpUntil([&] { return Text(1006) == row.shown; })) << Text(1006);
    EXPECT_TRUE(gBoxes.empty()) << gBoxes[0].text;
    EXPECT_TRUE(IsWindowVisible(gDialog));
  }
}

TEST_F(MainDialog, tips_follow_the_mode_and_show_the_whole_path) {
  const std::string source(120, 's'), target = "C:\\" + std::string(100, 't');
  HWND tooltip = static_cast<HWND>(gSession.tooltipWindow);
  // The wide form reads the whole text; the narrow one stops at 80 characters.
  auto tip = [&](int id) {
    wchar_t text[1024] = L"";
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = gDialog;
    tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(gDialog, id));
    tool.lpszText = text;
    SendMessageW(tooltip, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&tool));
    return std::string(text, text + lstrlenW(text));
  };
  struct Row { int id; const char* split; const char* join; };
  const Row rows[] = {
      {1001, "Enter a source file that you want to split", "Enter a source (.1) file that you want to join"},
      {1003, "Enter a target directory where you want the split pieces to be placed",
       "Enter a target directory where you want the joined file to be copied"},
      {1005, "Use an entered keyword to split the source file based on that keyword", nullptr},
      {1015, "Use an entered fragment size to split the source into pieces of that size", nullptr},
      {1016, "Specify the no. of pieces that you would like to split the source file into", nullptr},
      {1019, "Generates a batch file JOIN.BAT in the target folder which will re-join the split pieces", nullptr},
      {1021, "Use this option to Split a file into many pieces", nullptr},
      {1022, "Use this option to Join the pieces back to re-create the original file", nullptr},
      {1024, "Enter the size per piece in Kilobytes ,1 Kilobyte = 1024 bytes, 1024 Kilobytes = 1 Megabyte(mb)",
       nullptr},
      {1025, "Enter the size per piece in bytes (1024 bytes = 1 Kilobyte)", nullptr},
      {IDOK, "", ""}, {1006, "", ""}, {1008, "", ""},
  };
  for (int mode : {1022, 1021, 1022}) {
    SCOPED_TRACE(mode);
    Click(mode);
    for (const Row& row : rows) EXPECT_EQ(mode == 1021 || !row.join ? row.split : row.join, tip(row.id)) << row.id;
    EXPECT_EQ("", tip(1000) + tip(1002)) << "no tip for an empty path";
    SetText(1000, source.c_str());
    SetText(1002, target.c_str());
    EXPECT_EQ(source, tip(1000));
    EXPECT_EQ(target, tip(1002));
  }
}

TEST_F(MainDialog, window_menu_has_no_maximize_or_size_and_ends_with_help_and_about) {
  HMENU menu = GetSystemMenu(gDialog, FALSE);
  std::vector<std::string> items;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    char text[64] = "";
    GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
    items.push_back(std::to_string(GetMenuItemID(menu, i)) + " " + text);
  }
  auto has = [&](UINT id) { return GetMenuState(menu, id, MF_BYCOMMAND) != static_cast<UINT>(-1); };
  EXPECT_FALSE(has(SC_MAXIMIZE));
  EXPECT_FALSE(has(SC_SIZE));
  for (UINT id : {SC_MOVE, SC_MINIMIZE, SC_CLOSE}) EXPECT_TRUE(has(id)) << id;
  ASSERT_GE(items.size(), 2u);
  EXPECT_EQ("1026 &Help", items[items.size() - 2]);
  EXPECT_EQ("1027 &About", items.back());
}

TEST_F(MainDialog, about_and_help_boxes_from_the_buttons_and_the_window_menu) {
  // The banner itself is checked with the string table.
  char banner[512] = "";
  ASSERT_GT(LoadStringA(GetModuleHandleA(nullptr), 7, banner, sizeof banner), 0);
  const std::string help = "Place your mouse over the buttons to read a brief description\n\n"
                           "check the README.TXT for a detailed Help & FAQ";
  struct Row { int button; WPARAM command; const char* caption; };
  for (const Row& row : {Row{1008, 0, "About Dorvenal"}, Row{0, 1027, "About Dorvenal"},
                         Row{1009, 0, "Dorvenal Help"}, Row{0, 1026, "Dorvenal Help"}}) {
    SCOPED_TRACE(row.caption);
    gBoxes.clear();
    if (row.button) Click(row.button);
    else SendMessageA(gDialog, WM_SYSCOMMAND, row.command, 0);
    ASSERT_EQ(1u, gBoxes.size());
    EXPECT_EQ(row.caption, gBoxes[0].caption);
    EXPECT_EQ(std::vector<int>{IDOK}, gBoxes[0].buttons);
    EXPECT_EQ(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(104)), gBoxes[0].icon);
    const std::string& text = gBoxes[0].text;
    ASSERT_EQ(0u, text.find(banner)) << text;
    std::string rest = text.substr(lstrlenA(banner)), shape;
    bool isHelp = row.command == 1026 || row.button == 1009;
    EXPECT_LE(text.size(), isHelp ? 299u : 499u);
    // About: three paragraphs of two lines each.
    for (char c : rest) if (c == '\n' || shape.empty() || shape.back() != 'x') shape += c == '\n' ? '\n' : 'x';
    if (isHelp) EXPECT_EQ(help, rest);
    else EXPECT_EQ("x\nx\n\nx\nx\n\nx\nx", shape) << rest;
  }
}

}  // namespace

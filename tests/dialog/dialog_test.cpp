// The main dialog, built in this thread from the program's own template and procedure, worked with messages and real
// keys; a thread timer answers the modal boxes, and scripted jobs behind the default button say what it shows.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "known_sets.h"
#include "main_window.h"
#include "resource_ids.h"
#include "batch_texts.h"

namespace {

const int kSplitOnly[] = {1005, 1015, 1016, 1019, 1006, 1024, 1025, 1026};
const int kAlwaysOn[] = {1001, 1003, IDOK, IDCANCEL, 1008, 1009, 1021, 1022};

// A box as the user saw it, before it was answered.
struct SeenBox {
  std::string caption, text;
  HICON icon;
  std::vector<int> buttons;
  bool okEnabled, cancelEnabled;
};

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

// Records a visible box of this thread and presses No or OK, as a user bound to the buttons that are there would.
BOOL CALLBACK AnswerBox(HWND box, LPARAM) {
  char windowClass[16] = "";
  if (box == gDialog || !IsWindowVisible(box) || !GetClassNameA(box, windowClass, 16) || lstrcmpA(windowClass, "#32770"))
    return TRUE;
  SeenBox seen{TextOf(box), TextOf(GetDlgItem(box, 0xFFFF)),
               reinterpret_cast<HICON>(SendDlgItemMessageA(box, 1088, STM_GETICON, 0, 0)), {}, Enabled(IDOK),
               Enabled(IDCANCEL)};
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

// One thing a scripted job tells its report.
struct Event {
  enum Act { kAsk, kWarn, kStart, kProgress, kFinish, kStop } act;
  std::string text;  // the path of a warning
  uint64_t number;   // pieces of kStart, piece of kProgress
  StopReason reason;
  Question question;
  WarningKind warning = WarningKind::kStalePiece;
};
Event Ask(QuestionKind kind, uint64_t pieces, uint64_t pieceBytes, uint64_t lastBytes, uint64_t total) {
  return {Event::kAsk, "", 0, {}, {kind, pieces, pieceBytes, lastBytes, total, "x.bin"}};
}
Event Warn(const std::string& path, WarningKind kind = WarningKind::kStalePiece) {
  return {Event::kWarn, path, 0, {}, {}, kind};
}
Event Start(uint64_t pieces) { return {Event::kStart, "", pieces, {}, {}}; }
Event Step(uint64_t piece) { return {Event::kProgress, "", piece, {}, {}}; }
Event Finish() { return {Event::kFinish, "", 0, {}, {}}; }
Event Stop(StopKind kind, const std::string& path = "", SystemError code = 0, const std::string& other = "") {
  return {Event::kStop, "", 0, StopReason(kind, path, code, other), {}};
}
Event Fail(Role role, Operation operation, const std::string& path, SystemError code) {
  return {Event::kStop, "", 0, Failure(role, operation, path, code), {}};
}

// What the next job reports, and what the jobs were asked.
std::vector<Event> gScript;
std::vector<SplitRequest> gSplits;
std::vector<JoinRequest> gJoins;

JobResult Play(JobReport& report) {
  for (const Event& event : gScript) {
    switch (event.act) {
      case Event::kAsk:
        if (report.Ask(event.question) == Answer::kNo) return {JobEnd::kDeclined, {}};
        break;
      case Event::kWarn: report.Warn({event.warning, event.text}); break;
      case Event::kStart: report.StartProgress(event.number, event.number * 10); break;
      case Event::kProgress: report.Progress(event.number, event.number * 10); break;
      case Event::kFinish: report.Finished({}); return {JobEnd::kFinished, {}};
      case Event::kStop: report.Stopped(event.reason); return {JobEnd::kStopped, event.reason};
    }
  }
  return {};
}
JobResult ScriptedSplit(const SplitRequest& request, JobReport& report) { return gSplits.push_back(request), Play(report); }
JobResult ScriptedJoin(const JoinRequest& request, JobReport& report) { return gJoins.push_back(request), Play(report); }

class MainDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    state_.instance = GetModuleHandleA(nullptr);
    state_.splitJob = ScriptedSplit;
    state_.joinJob = ScriptedJoin;
    InitCommonControls();
    gBoxes.clear(), gScript.clear(), gSplits.clear(), gJoins.clear();
    gDialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc,
                                 reinterpret_cast<LPARAM>(&state_));
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
  // Fills the fields (null: left as they are) and presses the default button.
  void Press(const char* source, const char* target, const char* value) {
    if (source) SetText(1000, source);
    if (target) SetText(1002, target);
    if (value) SetText(1006, value);
    gBoxes.clear();
    Click(IDOK);
  }
  DialogState state_;
  UINT_PTR timer_ = 0;
};

TEST_F(MainDialog, opens_in_split_mode_and_each_mode_click_sets_the_controls_and_empties_the_paths) {
  EXPECT_EQ("Dorvenal V 1.0.8", TextOf(gDialog));
  for (int id : {1021, 1016, 1024}) EXPECT_TRUE(Checked(id)) << id;
  for (int id : {1022, 1005, 1015, 1025, 1019}) EXPECT_FALSE(Checked(id)) << id;
  EXPECT_EQ("&No of Pieces", Text(1007));
  EXPECT_EQ("&Split", Text(IDOK));
  for (int id : {1024, 1025, 1026}) EXPECT_FALSE(Visible(id)) << id;
  for (int id : kSplitOnly) EXPECT_TRUE(Enabled(id)) << id;
  EXPECT_EQ(1001, FocusId());
  EXPECT_EQ(25, SendDlgItemMessageA(gDialog, 1006, EM_GETLIMITTEXT, 0, 0));
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
    EXPECT_EQ("", Text(1000) + Text(1002));
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

// A known text with "%p" and "%q" filled in.
std::string Named(std::string text, const std::string& p, const std::string& q) {
  for (size_t at; (at = text.find("%p")) != std::string::npos;) text.replace(at, 2, p);
  for (size_t at; (at = text.find("%q")) != std::string::npos;) text.replace(at, 2, q);
  return text;
}

TEST_F(MainDialog, each_refusal_and_each_stop_shows_its_boxes_and_the_split_holds_the_buttons_off) {
  using K = StopKind;
  using R = Role;
  using O = Operation;
  using Q = QuestionKind;
  const std::string p = "C:\\out\\report_doc.2", q = "C:\\out\\report_doc.4";
  const SystemError kFull = ERROR_DISK_FULL, kDenied = ERROR_ACCESS_DENIED;
  const std::string kAsk = "File will be split into 3 pieces\nShall I continue ?";
  const std::string kAskJoin = "Dorvenal has detected 3 files which can joined to recreate x.bin.\n x.bin which will be "
                               "recreated will be of size 9000.\n If there is an existing x.bin , it will be "
                               "Over-Written.\n Do you wish to continue ?";
  // The general box of a refused operation: the operation, the path, the system's words.
  auto failed = [&](const char* what, const char* job) {
    return std::string("Could not ") + what + "\n%p !!\n" + DescribeSystemError(kDenied) + "\nThe " + job +
           " has been stopped.";
  };
  // A known text whose %q is a count, not the second path.
  auto counted = [](std::string text, const char* count) { return text.replace(text.find("%q"), 2, count); };
  struct Row {
    int mode;                        // 1021 Split, 1022 Join
    std::vector<Event> script;       // what the job reports, when it runs
    std::vector<std::string> boxes;  // their texts, in order; "? " before a yes/no question
    int focus = 0;                   // a refused field's control; 0: the job runs
    const char *source = "C:\\a.txt", *target = "C:\\", *value = "2";
  };
  const Row rows[] = {
      // An empty field: the job does not run.
      {1021, {}, {known::kNoSource}, 1001, "", "", "2"},
      {1021, {}, {known::kNoSource}, 1001, "", "C:\\", "2"},
      {1021, {}, {known::kNoTarget}, 1003, "C:\\a.txt", "", "2"},
      {1021, {}, {known::kNoValue}, 1006, "C:\\a.txt", "C:\\", ""},
      {1022, {}, {known::kNoSource}, 1001, "", "C:\\", ""},
      {1022, {}, {known::kNoTarget}, 1003, "C:\\a_txt.1", "", ""},
      // The split's silent stops, then each with its box.
      {1021, {Fail(R::kSource, O::kOpen, p, kDenied)}, {}}, {1021, {Stop(K::kSourceNotRegular)}, {}},
      {1021, {Stop(K::kSizeZero)}, {}}, {1021, {Stop(K::kSizeNotBelowSource)}, {}}, {1021, {Stop(K::kKeywordEmpty)}, {}},
      {1021, {Stop(K::kKeywordTooLong)}, {}}, {1021, {Stop(K::kCountOfStream)}, {}},
      {1021, {Stop(K::kKeywordNotFound)}, {}}, {1021, {Fail(R::kPiece, O::kCreate, p, kDenied)}, {}},
      {1021, {Fail(R::kFolder, O::kList, p, kDenied)}, {}}, {1021, {Stop(K::kNone)}, {}},
      // Answered No: the job ends without a word.
      {1021, {Ask(Q::kSplitBySize, 3, 4096, 1808, 10000), Finish()}, {"? " + kAsk}},
      {1021, {Ask(Q::kSplitByCount, 4, 2500, 2500, 10000), Finish()},
       {"? File will be split into 4 pieces of size 2500 bytes\nShall I continue ?"}},
      {1021, {Ask(Q::kSplitByCount, 8, 0, 5, 5), Finish()},
       {"? File will be split into 7 pieces of size 0 bytes and 1 piece of size 5 bytes\nShall I continue ?"}},
      {1021, {Stop(K::kSourceEmpty)}, {known::kEmptySource}}, {1021, {Stop(K::kNoFreeSpace)}, {known::kNoSpaceSplit}},
      {1021, {Fail(R::kFolder, O::kStat, p, kDenied)}, {known::kNoSpaceSplit}},
      {1021, {Fail(R::kSource, O::kRead, p, kDenied)}, {known::kSourceReadFailed}},
      {1021, {Fail(R::kSource, O::kStat, p, kDenied)}, {known::kSourceReadFailed}},
      {1021, {Stop(K::kSourceChanged)}, {known::kSourceChanged}},
      {1021, {Stop(K::kTooManyPieces)}, {known::kTooManyPieces}},
      {1021, {Stop(K::kNamesTooLong, p)}, {known::kNameTooLong}},
      {1021, {Stop(K::kBatchNameInvalid, p)}, {known::kBatchNameInvalid}},
      {1021, {Stop(K::kBatchNameCodePage, p, 437)}, {known::kBatchNameCodePage}},
      {1021, {Stop(K::kPieceIsSource, p)}, {known::kPieceIsSource}},
      {1021, {Fail(R::kPiece, O::kWrite, p, kDenied)}, {known::kPieceWriteFailed}},
      {1021, {Fail(R::kPiece, O::kWrite, p, kFull)}, {std::string(known::kDriveFull) + known::kPieceWriteFailed}},
      {1021, {Fail(R::kPiece, O::kRename, p, kFull)}, {known::kPieceRenameFailed}},
      {1021, {Fail(R::kManifest, O::kWrite, p, kFull)}, {std::string(known::kDriveFull) + known::kChecksumWriteFailed}},
      {1021, {Fail(R::kManifest, O::kRemove, p, kDenied)}, {known::kChecksumWriteFailed}},
      {1021, {Fail(R::kLock, O::kLock, p, kDenied)}, {failed("lock the folder lock", "split")}},
      {1021, {Stop(K::kInterrupted)}, {known::kSplitInterrupted}}, {1021, {Stop(K::kLowMemory)}, {known::kLowMemory}},
      {1021, {Warn(p), Finish()}, {known::kStalePiece, known::kSplitFinished}},
      // The pieces are whole: the failure, then the split's own end.
      {1021, {Stop(K::kBatchIsSource, p)}, {known::kBatchIsSource, known::kSplitFinished}},
      {1021, {Warn(p), Fail(R::kBatch, O::kWrite, p, kFull)}, {known::kStalePiece, known::kBatchFailed}},
      {1021, {Fail(R::kScript, O::kWrite, p, kDenied)}, {known::kScriptFailed}},
      {1021, {Stop(K::kScriptIsSource, p)}, {known::kScriptIsSource, known::kSplitFinished}},
      // The join's.
      {1022, {Stop(K::kNotFirstPiece, p)}, {known::kNotFirstPiece}},
      {1022, {Stop(K::kFirstPieceMissing, p)}, {known::kFirstPieceMissing}},
      {1022, {Stop(K::kNoFreeSpace)}, {known::kNoSpaceJoin}},
      {1022, {Fail(R::kFolder, O::kStat, p, kDenied)}, {known::kNoSpaceJoin}},
      {1022, {Ask(Q::kJoin, 3, 0, 0, 9000), Finish()}, {"? " + kAskJoin}},
      {1022, {Stop(K::kOutputIsPiece, p)}, {known::kOutputIsPiece}},
      {1022, {Fail(R::kOutput, O::kCreate, p, kDenied)}, {known::kOutputCreateFailed}},
      {1022, {Fail(R::kOutput, O::kWrite, p, kDenied)}, {known::kOutputWriteFailed}},
      {1022, {Fail(R::kOutput, O::kWrite, p, kFull)}, {std::string(known::kDriveFull) + known::kOutputWriteFailed}},
      {1022, {Fail(R::kOutput, O::kRename, p, kDenied)}, {known::kOutputRenameFailed}},
      {1022, {Fail(R::kPiece, O::kOpen, p, kDenied)}, {known::kPieceOpenFailed}},
      {1022, {Fail(R::kFolder, O::kList, p, kDenied)}, {known::kPieceOpenFailed}},
      {1022, {Fail(R::kPiece, O::kRead, p, kDenied)}, {known::kPieceReadFailed}},
      {1022, {Fail(R::kPiece, O::kStat, p, kDenied)}, {known::kPieceReadFailed}},
      {1022, {Fail(R::kLock, O::kLock, p, kDenied)}, {failed("lock the folder lock", "join")}},
      {1022, {Stop(K::kPieceMissing, p, 0, q)}, {known::kPieceMissing}},
      {1022, {Stop(K::kPieceUnreadable, p, kDenied, q)}, {known::kPieceUnreadable}},
      {1022, {Stop(K::kPieceChanged, p)}, {known::kPieceChanged}},
      {1022, {Stop(K::kPieceNotRegular, p)}, {known::kPieceNotRegular}},
      {1022, {Stop(K::kPieceEmpty, p)}, {known::kPieceEmpty}},
      {1022, {Stop(K::kManifestMissing, p)}, {known::kManifestMissing}},
      {1022, {Stop(K::kManifestInvalid, p, kDenied)}, {known::kManifestInvalid}},
      {1022, {Stop(K::kManifestNotRegular, p)}, {known::kManifestNotRegular}},
      {1022, {Stop(K::kPieceChecksum, p, 0, q)}, {known::kPieceChecksum}},
      {1022, {Stop(K::kInterrupted)}, {known::kJoinInterrupted}}, {1022, {Stop(K::kLowMemory)}, {known::kLowMemory}},
      {1022, {Finish()}, {known::kJoinFinished}},
      // A set with recovery pieces: what was rebuilt before the end, or why nothing could be.
      {1022, {Warn(p, WarningKind::kPiecesRebuilt), Finish()}, {known::kPiecesRebuilt, known::kJoinFinished}},
      {1022, {Stop(K::kTooManyLost, p, 1)}, {counted(known::kTooManyLost, "1")}},
  };
  for (const Row& row : rows) {
    const bool join = row.mode == 1022;
    SCOPED_TRACE("row " + std::to_string(&row - rows));
    if (!Checked(row.mode)) Click(row.mode);
    gScript = row.script;
    const size_t runsBefore = gSplits.size() + gJoins.size();
    const bool refused = row.focus != 0;
    Press(row.source, row.target, join ? nullptr : row.value);
    EXPECT_EQ(runsBefore + (refused ? 0 : 1), gSplits.size() + gJoins.size()) << "the job runs once, or not at all";
    std::vector<std::string> seen;
    for (const SeenBox& box : gBoxes) {
      bool question = box.buttons == std::vector<int>{IDYES, IDNO};
      EXPECT_TRUE(question || box.buttons == std::vector<int>{IDOK}) << box.text;
      seen.push_back((question ? "? " : "") + box.text);
      EXPECT_EQ("Dorvenal", box.caption);
      EXPECT_EQ(LoadIconA(nullptr, IDI_INFORMATION), box.icon);
      // A split holds its buttons off from its start to its last box, also while it refuses; a join leaves them alone.
      EXPECT_EQ(join, box.okEnabled) << box.text;
      EXPECT_EQ(join, box.cancelEnabled) << box.text;
    }
    std::vector<std::string> expected;
    for (const std::string& box : row.boxes) expected.push_back(Named(box, p, q));
    EXPECT_EQ(expected, seen);
    if (refused) {
      EXPECT_EQ(row.focus, FocusId());
    }
    EXPECT_TRUE(Enabled(IDOK) && Enabled(IDCANCEL));
  }
}

TEST_F(MainDialog, the_fields_become_the_request_and_the_value_is_read_by_the_dialog_rule) {
  struct Row { int method; bool kilobytes, batch; const char* value; uint64_t pieceBytes, pieceCount; const char* keyword; };
  const Row rows[] = {
      {1016, true, false, "3", 0, 3, ""},
      {1016, true, true, " +7", 0, 7, ""},
      {1016, true, false, "2147483647", 0, 2147483647, ""},
      {1016, true, false, "2147483648", 0, 0, ""},  // past 32 bits: 0, which the job refuses
      {1016, true, false, " -3", 0, 0, ""},
      {1016, true, false, "0", 0, 0, ""},
      {1016, true, false, "12abc", 0, 0, ""},
      {1016, true, false, "3 ", 0, 0, ""},
      {1016, true, false, "+", 0, 0, ""},
      {1015, false, false, "1500", 1500, 0, ""},
      {1015, true, false, "4", 4096, 0, ""},
      {1015, true, false, "4194305", 4294968320u, 0, ""},  // scaled in 64 bits, not wrapped to 1024
      {1015, false, false, "4294967299", 0, 0, ""},        // not read as 3
      {1015, true, false, "-5", 0, 0, ""},
      {1015, false, false, "0x10", 0, 0, ""},
      {1005, true, true, " a b;", 0, 0, " a b;"},  // the keyword's bytes as typed
      {1005, true, false, "12", 0, 0, "12"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.method) + " \"" + row.value + "\"");
    Click(row.method);
    if (row.method == 1015) Click(row.kilobytes ? 1024 : 1025);
    if (row.batch != Checked(1019)) Click(1019);
    gSplits.clear();
    gScript = {Finish()};
    Press("C:\\in\\a.txt", "D:\\out", row.value);
    ASSERT_EQ(1u, gSplits.size());
    const SplitRequest& request = gSplits[0];
    EXPECT_EQ("C:\\in\\a.txt", request.sourcePath);
    EXPECT_EQ("D:\\out", request.targetDir);
    EXPECT_EQ(row.method == 1005 ? Keyword : row.method == 1015 ? Size : Pieces, request.method);
    EXPECT_EQ(row.pieceBytes, request.pieceBytes);
    EXPECT_EQ(row.pieceCount, request.pieceCount);
    EXPECT_EQ(row.keyword, request.keyword);
    EXPECT_EQ(row.batch, request.writeBatch);
    EXPECT_FALSE(request.writeScript || request.dryRun || request.fromStandardInput);
  }
  Click(1022);
  gScript = {Finish()};
  Press("C:\\in\\a_txt.1", "D:\\out", nullptr);
  ASSERT_EQ(1u, gJoins.size());
  EXPECT_EQ("C:\\in\\a_txt.1", gJoins[0].firstPiecePath);
  EXPECT_EQ("D:\\out", gJoins[0].targetDir);
  EXPECT_FALSE(gJoins[0].dryRun);
}

TEST_F(MainDialog, the_bar_counts_the_pieces_from_one_and_ends_on_the_last) {
  for (int mode : {1021, 1022}) {
    SCOPED_TRACE(mode);
    Click(mode);
    gScript = {Start(4), Step(1), Step(1), Step(2), Step(3)};
    Press("C:\\a_txt.1", "C:\\", "2");
    HWND bar = GetDlgItem(gDialog, 1018);
    PBRANGE range{};
    SendMessageA(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(1, range.iLow);
    EXPECT_EQ(4, range.iHigh);
    EXPECT_EQ(3, SendMessageA(bar, PBM_GETPOS, 0, 0));
    EXPECT_EQ(1, SendMessageA(bar, PBM_SETSTEP, 5, 0)) << "step";
  }
  // A count past 16 bits.
  gScript = {Start(999999999), Step(999999999)};
  Press("C:\\a.txt", "C:\\", "2");
  EXPECT_EQ(999999999, SendDlgItemMessageA(gDialog, 1018, PBM_GETPOS, 0, 0));
  EXPECT_EQ(999999999, SendDlgItemMessageA(gDialog, 1018, PBM_GETRANGE, FALSE, 0));
  // A step too small to draw is still where the bar ends.
  gScript = {Start(100000), Step(1), Step(2)};
  Press("C:\\a.txt", "C:\\", "2");
  EXPECT_EQ(2, SendDlgItemMessageA(gDialog, 1018, PBM_GETPOS, 0, 0));
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
  HWND tooltip = state_.tooltipWindow;
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
  // The fixed tips are the string table's, which the test below holds.
  auto loaded = [](int id) {
    char text[512] = "";
    return std::string(text, LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text));
  };
  const int fixed[][2] = {{1005, 1}, {1015, 2}, {1016, 3}, {1019, 4}, {1021, 5}, {1022, 6}, {1024, 8}, {1025, 9}};
  for (int mode : {1022, 1021, 1022}) {
    SCOPED_TRACE(mode);
    Click(mode);
    const bool split = mode == 1021;
    EXPECT_EQ(split ? "Enter a source file that you want to split" : "Enter a source (.1) file that you want to join",
              tip(1001));
    EXPECT_EQ(split ? "Enter a target directory where you want the split pieces to be placed"
                    : "Enter a target directory where you want the joined file to be copied",
              tip(1003));
    for (const auto& row : fixed) EXPECT_EQ(loaded(row[1]), tip(row[0])) << row[0];
    EXPECT_EQ("", tip(IDOK) + tip(1006) + tip(1008)) << "no tip";
    EXPECT_EQ("", tip(1000) + tip(1002)) << "no tip for an empty path";
    SetText(1000, source.c_str());
    SetText(1002, target.c_str());
    EXPECT_EQ(source, tip(1000));
    EXPECT_EQ(target, tip(1002));
  }
}

TEST_F(MainDialog, window_menu_has_no_maximize_or_size_and_ends_with_help_and_about) {
  HMENU menu = GetSystemMenu(gDialog, FALSE);
  auto item = [&](int at) {
    char text[64] = "";
    GetMenuStringA(menu, at, text, sizeof text, MF_BYPOSITION);
    return std::to_string(GetMenuItemID(menu, at)) + " " + text;
  };
  auto has = [&](UINT id) { return GetMenuState(menu, id, MF_BYCOMMAND) != static_cast<UINT>(-1); };
  const LONG frame = GetWindowLongA(gDialog, GWL_STYLE) & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME);
  EXPECT_EQ(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, frame) << "no maximize box, no sizing border";
  EXPECT_FALSE(has(SC_MAXIMIZE));
  EXPECT_FALSE(has(SC_SIZE));
  for (UINT id : {SC_MOVE, SC_MINIMIZE, SC_CLOSE}) EXPECT_TRUE(has(id)) << id;
  const int count = GetMenuItemCount(menu);
  EXPECT_EQ("1026 &Help", item(count - 2));
  EXPECT_EQ("1027 &About", item(count - 1));
}

TEST_F(MainDialog, about_and_help_boxes_from_the_buttons_and_the_window_menu) {
  // The banner, string 7: two fixed lines, the program's own third, an empty line.
  char banner[512] = "";
  LoadStringA(GetModuleHandleA(nullptr), 7, banner, sizeof banner);
  const std::string head = "Dorvenal V1.0.8 (001030) \nThe File Splitter for Win 95/98/NT/2000\n";
  ASSERT_EQ(0u, std::string(banner).find(head)) << banner;
  const std::string third = banner + head.size();
  EXPECT_EQ(third.size() - 2, third.find('\n')) << banner;
  EXPECT_EQ("\n\n", third.substr(third.size() - 2));
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

// The compiled string table as the system loads it: the tips, and the batch writer's lines.
TEST(StringTable, holds_the_tips_and_the_batch_writers_lines) {
  const char* const texts[] = {
      "",
      "Use an entered keyword to split the source file based on that keyword",
      "Use an entered fragment size to split the source into pieces of that size",
      "Specify the no. of pieces that you would like to split the source file into",
      "Generates a batch file JOIN.BAT in the target folder which will re-join the split pieces",
      "Use this option to Split a file into many pieces",
      "Use this option to Join the pieces back to re-create the original file",
      nullptr,  // the banner, checked with the About box
      "Enter the size per piece in Kilobytes ,1 Kilobyte = 1024 bytes, 1024 Kilobytes = 1 Megabyte(mb)",
      "Enter the size per piece in bytes (1024 bytes = 1 Kilobyte)",
      // The batch writer's own lines, which the unit tests hold to a typed-out JOIN.BAT.
      kBatchHeader, kBatchFirstCopy, kBatchNextCopy, kBatchFooter, "", "",
  };
  for (int id = 0; id < 16; ++id) {
    char text[1024] = "";
    std::string loaded(text, LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text));
    if (texts[id]) {
      EXPECT_EQ(texts[id], loaded) << "string " << id;
    }
  }
}

}  // namespace

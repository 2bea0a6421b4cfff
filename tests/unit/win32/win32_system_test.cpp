// What only the Windows build can check: the command interpreter running
// JOIN.BAT, and how the system reads numbers out of an edit control.
#include <windows.h>

#include <string>
#include <vector>

#include "job_fixture.h"
#include "join_batch.h"
#include "text_format.h"

namespace {

// Runs JOIN.BAT with cmd in its own folder, its PAUSE answered by an empty
// standard input. Returns false when cmd could not be run or timed out.
bool RunBatch(const std::string& folder) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul;
  startup.hStdOutput = nul;
  startup.hStdError = nul;
  PROCESS_INFORMATION process = {};
  std::string command = "cmd /c JOIN.BAT";
  bool ran = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &startup,
                            &process) != 0;
  if (ran) {
    ran = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
    if (!ran) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(nul);
  return ran;
}

TEST_F(JobTest, TheCommandInterpreterRebuildsTheFileFromJoinBat) {
  struct Case {
    std::string name;
    SplitMethod method;
    const char* value;
  };
  // Zero bytes and 0x1A in every piece: COPY without /B would stop at 0x1A.
  std::string bytes = PatternBytes(30000, 11);
  for (size_t i = 0; i < bytes.size(); i += 997) bytes[i] = '\x1A';
  for (size_t i = 500; i < bytes.size(); i += 1009) bytes[i] = '\0';
  const Case cases[] = {
      {"my report.v1_2.doc", Pieces, "4"},
      {"plain", Size, "7"},
      {"tail.bin", Keyword, "\x1A"},
  };
  for (const Case& c : cases) {
    TempDir out;
    gSession = SessionState();
    PrepareSplit(c.name, bytes, c.method, c.value);
    dialog.SetText(IDC_TARGET_PATH, out.path());
    dialog.SetCheck(IDC_MAKE_BATCH, true);
    dialog.AnswerYesNo(kAnswerYes);
    ASSERT_EQ(Split(), JobOutcome::kFinished) << c.name;
    ASSERT_TRUE(RunBatch(out.path()));
    EXPECT_EQ(ReadBytes(out.File(c.name)), bytes) << c.name;
    EXPECT_FALSE(FileExists(out.File("dorvnl.tmp")));
  }
}

// Reads text through a real edit control with the system's GetDlgItemInt.
class EditControl {
 public:
  EditControl() {
    dialog_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    CreateWindowExA(0, "EDIT", "", WS_CHILD, 0, 0, 10, 10, dialog_, reinterpret_cast<HMENU>(100), nullptr, nullptr);
  }
  ~EditControl() { DestroyWindow(dialog_); }
  int32_t Read(const std::string& text, bool* translated) {
    SetDlgItemTextA(dialog_, 100, text.c_str());
    BOOL ok = FALSE;
    int32_t value = static_cast<int32_t>(GetDlgItemInt(dialog_, 100, &ok, TRUE));
    *translated = ok != FALSE;
    return value;
  }

 private:
  HWND dialog_;
};

TEST(DialogNumbers, AgreeWithGetDlgItemIntWhereTheSystemTranslates) {
  EditControl edit;
  const char* texts[] = {"0", "1400", "  42", "-5", "+7", "2147483647", "-2147483648", "0012", "", "abc", "-",
                         "2147483648", "99999999999"};
  for (const char* text : texts) {
    bool translated = false;
    int32_t system = edit.Read(text, &translated);
    EXPECT_EQ(ParseDialogNumber(text), translated ? system : 0) << '"' << text << '"';
  }
}

TEST(DialogNumbers, TrailingLettersReadAsZeroWhateverTheSystemSays) {
  // Some systems' GetDlgItemInt read "12abc" as 12; the dialog reads it as
  // not a number, so a stray letter never turns into a size.
  EditControl edit;
  bool translated = false;
  int32_t system = edit.Read("12abc", &translated);
  EXPECT_EQ(ParseDialogNumber("12abc"), 0);
  RecordProperty("system_reads_12abc_as", std::to_string(system) + (translated ? " (translated)" : " (refused)"));
}

}  // namespace

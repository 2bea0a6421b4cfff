// The shipped program from outside, as a user works it, through its real
// pickers. Usage: dorvenal_smoke_tests [gtest flags] PATH/Dorvenal.exe
#include <windows.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::string gProgram;

void WaitFor(const std::function<bool()>& done, const std::string& what) {
  for (DWORD start = GetTickCount(); !done(); Sleep(10))
    if (GetTickCount() - start > 15000) throw std::runtime_error("timed out waiting for " + what);
}

std::string Text(HWND window) {
  char text[1024] = "";
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 10000, nullptr);
  return text;
}

std::string Read(const std::string& path) {
  return std::string(std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {});
}

// The visible dialog-class windows of the program owned by `owner`, or its
// main dialog when `owner` is null.
std::vector<HWND> Boxes(DWORD processId, HWND owner) {
  std::vector<HWND> found;
  for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
    DWORD pid = 0;
    char windowClass[16] = "";
    GetWindowThreadProcessId(w, &pid);
    GetClassNameA(w, windowClass, sizeof windowClass);
    if (pid == processId && IsWindowVisible(w) && !lstrcmpA(windowClass, "#32770") && GetWindow(w, GW_OWNER) == owner &&
        (owner || Text(w) == "Dorvenal V 1.0.8"))
      found.push_back(w);
  }
  return found;
}

class Program {
 public:
  explicit Program(const std::string& dir) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string line = "\"" + gProgram + "\"";
    if (!CreateProcessA(gProgram.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &startup, &info_))
      throw std::runtime_error("cannot start " + gProgram);
    WaitFor([&] { return Boxes(info_.dwProcessId, nullptr).size() == 1; }, "the dialog");
    dialog_ = Boxes(info_.dwProcessId, nullptr)[0];
  }
  ~Program() {
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 1);
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
  HWND Control(int id) const { return GetDlgItem(dialog_, id); }
  // A click a user could make: on a visible, enabled button of a window
  // that no box blocks. Returns once handled or once a box is up.
  void Click(HWND window, int id) const {
    HWND button = GetDlgItem(window, id);
    if (!IsWindowVisible(button) || !IsWindowEnabled(button) || !IsWindowEnabled(window))
      throw std::runtime_error("button " + std::to_string(id) + " cannot be clicked");
    SendNotifyMessageA(button, BM_CLICK, 0, 0);
    SendMessageTimeoutA(dialog_, WM_NULL, 0, 0, SMTO_NORMAL, 20000, nullptr);
  }
  void Click(int id) const { Click(dialog_, id); }
  HWND WaitBox() const {
    std::vector<HWND> boxes;
    WaitFor([&] { return (boxes = Boxes(info_.dwProcessId, dialog_)).size() == 1; }, "a box");
    return boxes[0];
  }
  void Answer(HWND box, int id) const {
    Click(box, id);
    WaitFor([&] { return !IsWindow(box); }, "the box to close");
  }
  // Checks the box's caption and text, then presses `id`.
  void Expect(const std::string& text, int id) const {
    HWND box = WaitBox();
    EXPECT_EQ("Dorvenal", Text(box));
    EXPECT_EQ(text, Text(GetDlgItem(box, 0xFFFF)));
    Answer(box, id);
  }
  void PickSource(const std::string& path) const {
    Click(1001);
    HWND open = WaitBox();
    // The Explorer-style name box is an edit in a combo box, maybe in a ComboBoxEx.
    HWND edit = GetDlgItem(open, 0x480), combo = GetDlgItem(open, 0x47C);
    if (HWND inner = combo ? FindWindowExA(combo, nullptr, "ComboBox", nullptr) : nullptr) combo = inner;
    if (combo) edit = FindWindowExA(combo, nullptr, "Edit", nullptr);
    ASSERT_TRUE(edit) << "no Open dialog";
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    Answer(open, IDOK);
    EXPECT_EQ(0, lstrcmpiA(path.c_str(), Text(Control(1000)).c_str()));
  }
  void PickTarget(const std::string& dir) const {
    Click(1003);
    HWND browser = WaitBox();
    // BFFM_SETSELECTIONA takes the path by address: put it in the program.
    void* remote = VirtualAllocEx(info_.hProcess, nullptr, dir.size() + 1, MEM_COMMIT, PAGE_READWRITE);
    ASSERT_TRUE(remote && WriteProcessMemory(info_.hProcess, remote, dir.c_str(), dir.size() + 1, nullptr));
    SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(remote));
    Answer(browser, IDOK);
    VirtualFreeEx(info_.hProcess, remote, 0, MEM_RELEASE);
    EXPECT_EQ(0, lstrcmpiA(dir.c_str(), Text(Control(1002)).c_str()));
  }
  DWORD EscapeAndWait() const {
    SetForegroundWindow(dialog_);
    WaitFor([&] { return GetForegroundWindow() == dialog_; }, "the dialog in the foreground");
    keybd_event(VK_ESCAPE, static_cast<BYTE>(MapVirtualKeyA(VK_ESCAPE, 0)), 0, 0);
    keybd_event(VK_ESCAPE, static_cast<BYTE>(MapVirtualKeyA(VK_ESCAPE, 0)), KEYEVENTF_KEYUP, 0);
    DWORD code = 1;
    if (WaitForSingleObject(info_.hProcess, 15000) == WAIT_OBJECT_0) GetExitCodeProcess(info_.hProcess, &code);
    return code;
  }

 private:
  PROCESS_INFORMATION info_{};
  HWND dialog_ = nullptr;
};

TEST(Program, splits_with_a_batch_file_that_cmd_runs_joins_and_ends_on_escape) {
  char temp[MAX_PATH] = "", longTemp[MAX_PATH] = "";
  GetLongPathNameA(temp, longTemp, GetTempPathA(MAX_PATH, temp) ? MAX_PATH : 0);
  const std::string work = longTemp + std::string("dorvenal-smoke-") + std::to_string(GetCurrentProcessId());
  const std::string in = work + "\\in", pieces = work + "\\pieces", out = work + "\\out";
  for (const std::string& dir : {work, in, pieces, out}) CreateDirectoryA(dir.c_str(), nullptr);
  std::string source(10000, '\0');
  for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<char>(i * 7919 >> 3);
  source[5000] = '\x1a';  // a COPY without /B would stop here
  std::ofstream(in + "\\report.doc", std::ios::binary) << source;

  {
    Program program(work);
    program.PickSource(in + "\\report.doc");
    program.PickTarget(pieces);
    program.Click(1015);  // Size, in KBs as the dialog opens
    SendMessageA(program.Control(1006), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("4"));
    program.Click(1019);
    program.Click(IDOK);
    program.Expect("File will be split into 3 pieces\nShall I continue ?", IDYES);
    program.Expect("Finished Splitting Successfully !!!", IDOK);

    program.Click(1022);
    EXPECT_EQ("", Text(program.Control(1000)));
    program.PickSource(pieces + "\\report_doc.1");
    program.PickTarget(out);
    program.Click(IDOK);
    program.Expect("Dorvenal has detected 3 files which can joined to recreate report.doc.\n report.doc which will be "
                   "recreated will be of size 10000.\n If there is an existing report.doc , it will be Over-Written.\n "
                   "Do you wish to continue ?", IDYES);
    program.Expect("Finished Joining Successfully !!!", IDOK);
    EXPECT_EQ(0u, program.EscapeAndWait());
  }
  EXPECT_TRUE(source == Read(out + "\\report.doc")) << "the joined file differs";
  EXPECT_EQ("ECHO OFF\r\nREM Dorvenal genarated batch file\r\nECHO Now report.doc will be recreated\r\nPAUSE\r\n"
            "COPY /B \"report_doc.1\" dorvnl.tmp\r\nCOPY /B dorvnl.tmp+\"report_doc.2\" dorvnl.tmp\r\n"
            "COPY /B dorvnl.tmp+\"report_doc.3\" dorvnl.tmp\r\nREN dorvnl.tmp \"report.doc\"\r\n"
            "ECHO Finished creating report.doc\r\n",
            Read(pieces + "\\JOIN.BAT"));
  // No console input, so that PAUSE returns.
  ASSERT_EQ(0, std::system(("cd /d \"" + pieces + "\" && cmd /c JOIN.BAT <NUL >NUL").c_str()));
  EXPECT_TRUE(source == Read(pieces + "\\report.doc")) << "the file JOIN.BAT made differs";
  std::filesystem::remove_all(work);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 2) return 2;
  gProgram = argv[1];
  if (gProgram[0] == '/') gProgram = "Z:" + gProgram;
  std::replace(gProgram.begin(), gProgram.end(), '/', '\\');
  return RUN_ALL_TESTS();
}

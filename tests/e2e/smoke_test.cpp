// The shipped program from outside, as a user works it, through its real
// pickers. Usage: dorvenal_smoke_tests [gtest flags] PATH/Dorvenal.exe
// This driver has the program's manifest, so its ...A calls speak UTF-8.
#include <windows.h>
#include <commctrl.h>
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

#include "checksum_manifest.h"
#include "split_job.h"
#include "batch_file.h"
#include "known_sets.h"

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

// The top-level windows of the process of the class named.
std::vector<HWND> Windows(DWORD processId, const char* className) {
  std::vector<HWND> found;
  for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
    DWORD pid = 0;
    char windowClass[32] = "";
    GetWindowThreadProcessId(w, &pid);
    GetClassNameA(w, windowClass, sizeof windowClass);
    if (pid == processId && !lstrcmpiA(windowClass, className)) found.push_back(w);
  }
  return found;
}

// The visible boxes of the program owned by `owner`, or its main dialog when `owner` is null.
std::vector<HWND> Boxes(DWORD processId, HWND owner) {
  std::vector<HWND> found;
  for (HWND w : Windows(processId, "#32770"))
    if (IsWindowVisible(w) && GetWindow(w, GW_OWNER) == owner && (owner || Text(w) == "Dorvenal V 1.0.8"))
      found.push_back(w);
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
  // The program's tooltip window, and the whole text of a tool's tip as it
  // would show it: the tooltip reads and writes the program's memory only.
  std::wstring TipText(int controlId, LRESULT* toolCount) const {
    HWND tooltip = nullptr;
    for (HWND w : Windows(info_.dwProcessId, TOOLTIPS_CLASSA))
      if (SendMessageA(w, TTM_GETTOOLCOUNT, 0, 0) > 0) tooltip = w;
    *toolCount = tooltip ? SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0) : 0;
    struct Remote {
      TOOLINFOW tool;
      wchar_t text[1024];
    } local{};
    auto* remote = static_cast<Remote*>(VirtualAllocEx(info_.hProcess, nullptr, sizeof local, MEM_COMMIT, PAGE_READWRITE));
    if (!tooltip || !remote) return L"(no tooltip)";
    local.tool.cbSize = sizeof local.tool;
    local.tool.hwnd = dialog_;
    local.tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(dialog_, controlId));
    local.tool.lpszText = remote->text;
    WriteProcessMemory(info_.hProcess, remote, &local, sizeof local, nullptr);
    SendMessageW(tooltip, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&remote->tool));
    ReadProcessMemory(info_.hProcess, remote, &local, sizeof local, nullptr);
    VirtualFreeEx(info_.hProcess, remote, 0, MEM_RELEASE);
    local.text[1023] = L'\0';
    return local.text;
  }

 private:
  PROCESS_INFORMATION info_{};
  HWND dialog_ = nullptr;
};

std::wstring Wide(const std::string& utf8) { return std::filesystem::u8path(utf8).wstring(); }

// Folder names, UTF-8, in the order a byte sort gives.
std::vector<std::string> List(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::u8path(dir)))
    names.push_back(entry.path().filename().u8string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string Read(const std::string& path) {
  std::ifstream file(std::filesystem::u8path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// A fresh scratch folder with in\NAME (10,000 bytes with a 0x1A, where a
// COPY without /B would stop), and pieces\ and out\ beside it.
struct Scratch {
  explicit Scratch(const std::string& name) {
    wchar_t temp[MAX_PATH] = L"", longTemp[MAX_PATH] = L"";
    GetLongPathNameW(temp, longTemp, GetTempPathW(MAX_PATH, temp) ? MAX_PATH : 0);
    static int count = 0;
    work = std::filesystem::path(longTemp).u8string() + "dorvenal-smoke-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++count);
    in = work + "\\in", pieces = work + "\\pieces", out = work + "\\out";
    for (const std::string& dir : {work, in, pieces, out}) std::filesystem::create_directory(std::filesystem::u8path(dir));
    source.resize(10000);
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<char>(i * 7919 >> 3);
    source[5000] = '\x1a';
    std::ofstream(std::filesystem::u8path(in + "\\" + name), std::ios::binary) << source;
  }
  ~Scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::u8path(work), ignored);
  }
  std::string work, in, pieces, out, source;
};

// The split of in\NAME into three pieces of 4 KBs, JOIN.BAT asked for or
// not; then, unless refused, the pieces' names and the join. True when the
// split went ahead.
bool SplitAndJoin(const Program& program, const Scratch& at, const std::string& name, bool batch,
                  const std::string& refusal) {
  std::string stem = name;
  stem[stem.rfind('.')] = '_';
  program.PickSource(at.in + "\\" + name);
  program.PickTarget(at.pieces);
  program.Click(1015);  // Size, in KBs as the dialog opens
  SendMessageA(program.Control(1006), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("4"));
  if (batch != (SendMessageA(program.Control(1019), BM_GETCHECK, 0, 0) == BST_CHECKED)) program.Click(1019);
  program.Click(IDOK);
  if (!refusal.empty()) {
    program.Expect(refusal, IDOK);
    EXPECT_TRUE(List(at.pieces).empty()) << "written before the refusal";
    return false;
  }
  program.Expect("File will be split into 3 pieces\nShall I continue ?", IDYES);
  program.Expect("Finished Splitting Successfully !!!", IDOK);
  std::vector<std::string> pieces = {stem + ".1", stem + ".2", stem + ".3"};
  if (batch) pieces.insert(pieces.begin(), "JOIN.BAT");
  EXPECT_EQ(pieces, List(at.pieces));

  program.Click(1022);
  EXPECT_EQ("", Text(program.Control(1000)));
  program.PickSource(at.pieces + "\\" + stem + ".1");
  program.PickTarget(at.out);
  program.Click(IDOK);
  program.Expect("Dorvenal has detected 3 files which can joined to recreate " + name + ".\n " + name +
                     " which will be recreated will be of size 10000.\n If there is an existing " + name +
                     " , it will be Over-Written.\n Do you wish to continue ?",
                 IDYES);
  program.Expect("Finished Joining Successfully !!!", IDOK);
  program.Click(1021);
  EXPECT_TRUE(at.source == Read(at.out + "\\" + name)) << "the joined file differs";
  return true;
}

// JOIN.BAT run by cmd where a user runs it: in the pieces' folder, with no
// console input, so that PAUSE returns.
void RunJoinBatch(const Scratch& at, const std::string& name) {
  ASSERT_EQ(0, _wsystem((L"cd /d \"" + Wide(at.pieces) + L"\" && cmd /c JOIN.BAT <NUL >NUL").c_str()));
  EXPECT_TRUE(at.source == Read(at.pieces + "\\" + name)) << "the file JOIN.BAT made differs";
}

// Names in any script, in the locale the test runs in (LC_ALL, which Wine
// takes its code pages from): JOIN.BAT where the command prompt of that
// locale can read the name, a refusal naming it where not; Esc ends the program.
TEST(Program, splits_and_joins_names_in_any_script) {
  char locale[64] = "";
  GetEnvironmentVariableA("LC_ALL", locale, sizeof locale);
  const bool utf8Console = std::string(locale).rfind("hi_IN", 0) == 0;  // no OEM code page: UTF-8
  struct Row {
    const char* name;
    bool inCodePage437;
  };
  const Row rows[] = {{"report.doc", true}, {"文件.zip", false}, {"Отчёт.docx", false}, {"🎉.bin", false}, {"my (1) café.txt", true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const bool spelled = utf8Console || row.inCodePage437;
    Scratch at(row.name);
    Program program(at.work);
    std::string refusal = known::kBatchNameCodePage;
    refusal.replace(refusal.find("%p"), 2, row.name);
    if (SplitAndJoin(program, at, row.name, true, spelled ? "" : refusal)) {
      if (row.name == std::string("report.doc")) {
        EXPECT_EQ(ReportJoinBatch({"4096", "4096", "1808"}), Read(at.pieces + "\\JOIN.BAT"));
      }
      RunJoinBatch(at, row.name);
    }
    if (!spelled) {
      ASSERT_TRUE(SplitAndJoin(program, at, row.name, false, ""));
    }
    // Common controls 6 took every tool; the path's tip is the whole path.
    program.PickSource(at.in + "\\" + row.name);
    LRESULT tools = 0;
    EXPECT_EQ(Wide(at.in + "\\" + row.name), program.TipText(1000, &tools));
    EXPECT_EQ(12, tools);
    // The value field takes 25 characters of any script, under Keyword.
    program.Click(1005);
    for (int i = 0; i < 26; ++i)
      SendMessageTimeoutW(program.Control(1006), WM_CHAR, 0x6587, 0, SMTO_NORMAL, 10000, nullptr);  // 文
    EXPECT_EQ(25, SendMessageW(program.Control(1006), WM_GETTEXTLENGTH, 0, 0));
    EXPECT_EQ(0u, program.EscapeAndWait());
  }
}

// A set made with a recovery piece (by the engine, as the command line makes it), its piece 2 lost: the program
// joins it, says which piece it rebuilt before it says it finished, and gives back the source.
TEST(Program, joins_a_set_whose_lost_piece_it_rebuilds) {
  struct Quiet : JobReport {
    Answer Ask(const Question&) override { return Answer::kYes; }
    void Warn(const Warning&) override {}
    void StartProgress(uint64_t, uint64_t) override {}
    void Progress(uint64_t, uint64_t) override {}
    void Finished(const JobSummary&) override {}
    void Stopped(const StopReason&) override {}
  } quiet;
  Scratch at("report.doc");
  SplitRequest request;
  request.sourcePath = at.in + "\\report.doc";
  request.targetDir = at.pieces;
  request.method = Size;
  request.pieceBytes = 4096;
  request.recoveryCount = 1;
  ASSERT_EQ(JobEnd::kFinished, PerformSplitJob(request, quiet).end);
  ASSERT_TRUE(DeleteFileW(Wide(at.pieces + "\\report_doc.2").c_str()));
  Program program(at.work);
  program.Click(1022);
  program.PickSource(at.pieces + "\\report_doc.1");
  program.PickTarget(at.out);
  program.Click(IDOK);
  program.Expect("Dorvenal has detected 3 files which can joined to recreate report.doc.\n report.doc which will be "
                 "recreated will be of size 10000.\n If there is an existing report.doc , it will be Over-Written.\n "
                 "Do you wish to continue ?",
                 IDYES);
  program.Expect("These pieces were missing or damaged and were rebuilt from the recovery pieces:\nreport_doc.2", IDOK);
  program.Expect("Finished Joining Successfully !!!", IDOK);
  EXPECT_TRUE(at.source == Read(at.out + "\\report.doc")) << "the joined file differs";
  EXPECT_EQ((std::vector<std::string>{"report_doc.1", "report_doc.3", "report_doc.r1", "report_doc.sha256"}),
            List(at.pieces));
  EXPECT_EQ(0u, program.EscapeAndWait());
}

// JOIN.BAT as the split writes it, run by cmd in its folder: a refusal, or a COPY that fails, names the piece
// or the name in the way, says no "Finished" and leaves every file as it was. With the set's manifest (made here with our
// SHA-256) it reads the manifest as every joiner does, then checks each piece with certutil: ours, in Windows 10's
// format or Windows 7's; with Wine's own, which hashes nothing, or none, it says that it did not check, and joins.
// (A name of other than ASCII is held to the manifest's line count and size, not compared.)
TEST(JoinBatch, checks_the_set_before_the_first_copy) {
  const std::string name = "my (1) café.txt", stem = "my (1) café_txt", source = Scratch(name).source;
  const std::string unchecked = "The pieces were not checked against @.sha256: certutil printed no hash here";
  const std::string damaged = "@.sha256 is damaged or lists other pieces than this set's: # was not recreated";
  std::string certutil = "Z:" DORVENAL_TEST_CERTUTIL_DIR, manifest;
  std::replace(certutil.begin(), certutil.end(), '/', '\\');
  struct Row {
    bool sums;
    const char* certutil;      // its format, "" for Wine's, "-" for none
    // change: "-" removes, "+" creates, "~" spoils, "<" cuts a file, "!" holds it open, unshared, while cmd
    // runs (Wine's COPY then fails: "Sharing violation."), "/" puts a folder in its place; "=a>b" puts b for a
    // in the manifest ("=>b" appends b, "=^" turns its hex to capitals); @ the stem, # the name
    std::string change, said;
  } rows[] = {
      {false, "", "-@.2", "@.2 is missing: # was not recreated"},
      {false, "", "<@.2", "@.2 is not 4096 bytes long: # was not recreated"},
      {false, "", "!@.2", "@.2 could not be copied: # was not recreated"},
      {false, "", "+@.dvjournal", "@.dvjournal records an unfinished change of this set: run Dorvenal in this folder to finish it"},
      {false, "", "+#", "# is in the way: move it elsewhere and run JOIN.BAT again"},
      {false, "", "+dorvnl.tmp", "dorvnl.tmp is in the way: move it elsewhere and run JOIN.BAT again"},
      {true, "10", "", ""},
      {true, "7", "", ""},
      {true, "10", "~@.2", "@.2 does not match its line in @.sha256: # was not recreated"},
      {true, "10", "~@.sha256", damaged},
      {true, "", "", unchecked},
      {true, "-", "", "The pieces were not checked against @.sha256: certutil is not available here"},
      {true, "10", "=^", ""},
      {true, "10", "=  @.3\n>  @.3\n" + std::string(64, 'b') + "  @.r1\n", ""},  // a recovery piece's line
      {true, "10", "=>" + std::string(2, '\0'), damaged},
      {true, "10", "=  @.2>  ../@.2", damaged},
      {true, "10", "=  @.2>  Z:\\@.2", damaged},
      {true, "10", "=  #>  my (1) cafe.txt", damaged},
      {true, "10", "=>" + std::string(300000, '0'), damaged},
      {true, "10", "/@.sha256", "@.sha256 cannot be read: it is not a regular file: # was not recreated"},
  };
  auto fill = [&](const std::string& text) {
    std::string filled;
    for (char c : text) filled += c == '@' ? stem : c == '#' ? name : std::string(1, c);
    return filled;
  };
  for (int k = 0; k < 4; ++k) {
    const std::string bytes = k < 3 ? source.substr(4096 * k, 4096) : source;
    ChecksumEntry entry{{}, fill(k < 3 ? "@." + std::to_string(k + 1) : "#")};
    Sha256 hash;
    hash.Update(bytes.data(), bytes.size());
    ASSERT_TRUE(hash.Final(&entry.digest));
    manifest += FormatChecksumLine(entry);
  }
  for (const Row& row : rows) {
    SCOPED_TRACE(fill(row.change + " " + row.said));
    Scratch at(name);
    auto path = [&](const std::string& file) { return std::filesystem::u8path(at.pieces + "\\" + fill(file)); };
    auto files = [&] {
      std::vector<std::string> found;
      for (const std::string& file : List(at.pieces)) found.push_back(file + "=" + Read(at.pieces + "\\" + file));
      return found;
    };
    std::string batch, line, changed = row.change.empty() ? "" : row.change.substr(1);
    for (int k = 0; k < 3; ++k) std::ofstream(path("@." + std::to_string(k + 1)), std::ios::binary) << source.substr(4096 * k, 4096);
    ASSERT_TRUE(ConvertBatchText(BuildJoinBatchText(name, {4096, 4096, 1808}, row.sums), BatchCodePage(0), &batch));
    std::ofstream(path("JOIN.BAT"), std::ios::binary) << batch;
    std::string sums = manifest.substr(0, changed == "@.sha256" ? 100 : std::string::npos);
    for (size_t line = 0; row.change == "=^" && line < sums.size(); line = sums.find('\n', line) + 1) {
      for (size_t k = line; k < line + 64; ++k) sums[k] = sums[k] >= 'a' ? static_cast<char>(sums[k] - 'a' + 'A') : sums[k];
    }
    const size_t to = row.change[0] == '=' ? row.change.find('>') : std::string::npos;
    if (to != std::string::npos) {
      const std::string from = fill(row.change.substr(1, to - 1));
      sums.replace(from.empty() ? sums.size() : sums.find(from), from.size(), fill(row.change.substr(to + 1)));
    }
    if (row.sums && row.change[0] != '/') std::ofstream(path("@.sha256"), std::ios::binary) << sums;
    if (row.change[0] == '/') std::filesystem::create_directory(path(changed));
    if (row.change[0] == '-') std::filesystem::remove(path(changed));
    if (row.change[0] == '+') std::ofstream(path(changed)) << "keep";
    if (row.change[0] == '<') std::filesystem::resize_file(path(changed), 1000);
    if (row.change == "~@.2") std::fstream(path(changed), std::ios::binary | std::ios::in | std::ios::out).put('\xff');
    const std::vector<std::string> before = files();
    const HANDLE held = row.change[0] == '!' ? CreateFileW(path(changed).c_str(), GENERIC_READ, 0, nullptr,
                                                           OPEN_EXISTING, 0, nullptr) : INVALID_HANDLE_VALUE;
    const std::wstring env = *row.certutil == '-'  ? L"set PATH=Z:\\nowhere&& "
                             : *row.certutil ? L"set PATH=" + Wide(certutil) + L";%PATH%&& set DORVENAL_CERTUTIL=" +
                                                 Wide(row.certutil) + L"&& " : L"";
    _wsystem((L"cd /d \"" + Wide(at.pieces) + L"\" && " + env + L"%ComSpec% /c JOIN.BAT <NUL >..\\said 2>&1").c_str());  // exits 0 either way
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    const std::string said = Read(at.work + "\\said");
    // cmd writes into a file in the ANSI code page: 1252 in the locale this test runs in.
    ASSERT_TRUE(ConvertBatchText(fill(row.said) + "\r\n", 1252, &line));
    EXPECT_NE(std::string::npos, said.find(line)) << said;
    const bool joins = row.said.empty() || row.said.rfind("The pieces", 0) == 0;
    EXPECT_EQ(joins, said.find("Finished creating") != std::string::npos) << said;
    EXPECT_TRUE(!joins || source == Read(at.pieces + "\\" + name)) << "the file JOIN.BAT made differs";
    if (joins) std::filesystem::remove(path("#"));
    EXPECT_TRUE(before == files()) << "JOIN.BAT changed the folder";
  }
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

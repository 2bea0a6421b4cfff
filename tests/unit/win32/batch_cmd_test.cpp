// The system's command interpreter re-creating a file from JOIN.BAT.
#include <windows.h>

#include "job_fixture.h"

namespace {

// Runs JOIN.BAT in its folder, PAUSE answered by an empty standard input.
bool RunBatch(const std::string& folder) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
  PROCESS_INFORMATION process = {};
  char command[] = "cmd /c JOIN.BAT";
  bool ran = CreateProcessA(nullptr, command, nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &startup, &process);
  CloseHandle(nul);
  if (!ran) return false;
  ran = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
  if (!ran) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ran;
}

TEST_F(JobTest, TheCommandInterpreterRebuildsTheFileFromJoinBat) {
  // Zero bytes and 0x1A in every piece: COPY without /B would stop at 0x1A.
  std::string bytes = PatternBytes(30000, 11);
  for (size_t i = 0; i < bytes.size(); i += 997) bytes[i] = '\x1A';
  for (size_t i = 500; i < bytes.size(); i += 1009) bytes[i] = '\0';
  const std::pair<std::string, SplitRequest> cases[] = {
      {"my report.v1_2.doc", ByCount(4)},     {"plain", BySize(7168)},
      {"tail.bin", ByKeyword("\x1A")},        {"Tom & Jerry (1).avi", ByCount(3)},
      {"50% off^2.pdf", ByCount(2)},          {"x & mkdir injected.doc", ByCount(2)},
  };
  for (const auto& c : cases) {
    TempDir target;
    WriteBytes(In(c.first), bytes);
    ASSERT_EQ(RunSplit(WithBatch(c.second), In(c.first), target.path()).back().substr(0, 9), "finished ") << c.first;
    ASSERT_TRUE(RunBatch(target.path()));
    EXPECT_TRUE(ReadBytes(target.File(c.first)) == bytes) << c.first;
    // The pieces, JOIN.BAT and the file: the batch ran nothing else.
    std::string stem = c.first;
    ReplaceLastDot(stem);
    EXPECT_EQ(ListDir(target.path()).size(), PiecesIn(target.path(), stem).size() + 2) << c.first;
    EXPECT_FALSE(FileExists(target.File("dorvnl.tmp")));
  }
}

}  // namespace

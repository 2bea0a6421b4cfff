// Which names JOIN.BAT can re-create, and in which code page's bytes, or the split refuses before it writes.
#include <gtest/gtest.h>

#include <string>

#include "batch_codepage.h"
#include "batch_file.h"
#include "recording_report.h"
#include "split_job.h"
#include "test_files.h"
#include "windows_names.h"

namespace {

TEST(WindowsNames, holds_names_in_any_script_and_refuses_what_windows_cannot) {
  struct Row {
    const char* name;
    bool holds;
  };
  const Row rows[] = {
      {"report.doc", true}, {"my (1) café.txt", true}, {"文件.zip", true}, {"🎉.bin", true}, {" lead", true},
      {"a.b.c", true}, {"COM10", true}, {"LPT", true}, {"CONSOLE.txt", true}, {"CON_txt.1", true},
      {"xNUL", true}, {"nul_txt", true}, {"COM1_txt.2", true}, {"COM\xC2\xB9x", true},
      {"a:b", false}, {"a\"b", false}, {"a*b", false}, {"a?b", false}, {"a<b", false}, {"a>b", false},
      {"a|b", false}, {"tab\tin", false}, {"back\\slash.txt", false}, {"slash/in", false},
      {"trail.txt ", false}, {"dots...", false}, {"CON", false}, {"con.txt", false}, {"Nul", false},
      {"nul.tar.gz", false}, {"NUL .txt", false}, {"aux", false}, {"PRN.x", false}, {"COM1", false},
      {"com9.log", false}, {"LPT1", false}, {"lpt0.txt", false}, {"COM\xC2\xB9.txt", false},
      {"LPT\xC2\xB3", false},
  };
  for (const Row& row : rows) EXPECT_EQ(row.holds, IsWindowsFileName(row.name)) << "'" << row.name << "'";
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

TEST(JoinBatch, spells_the_name_in_its_code_page_or_the_split_writes_nothing) {
  struct Row {
    const char* base;  // of base.doc, split into three pieces with JOIN.BAT
    uint32_t codePage;
    const char* spelled;  // the base in JOIN.BAT; nullptr: refused
    StopKind refusal;
  };
  const Row rows[] = {
      {"report", 0, "report", StopKind::kBatchNameInvalid},
      {"café", 0, "caf\x82", StopKind::kBatchNameInvalid},
      {"Отчёт", 866, "\x8E\xE2\xE7\xF1\xE2", StopKind::kBatchNameInvalid},
      {"🎉", 65001, "🎉", StopKind::kBatchNameInvalid},
      {"café", 850, "caf\x82", StopKind::kBatchNameInvalid},
      {"café", 1252, "caf\xE9", StopKind::kBatchNameInvalid},
      {"文件", 936, "\xCE\xC4\xBC\xFE", StopKind::kBatchNameInvalid},
      {"文件", 0, nullptr, StopKind::kBatchNameCodePage},
      {"Отчёт", 850, nullptr, StopKind::kBatchNameCodePage},
      {"🎉", 936, nullptr, StopKind::kBatchNameCodePage},
      {"ā", 0, nullptr, StopKind::kBatchNameCodePage},  // no best fit: "a.doc" would be another file
      {"caf\xE9", 0, nullptr, StopKind::kBatchNameCodePage},  // not UTF-8
      {"caf\xE9", 65001, nullptr, StopKind::kBatchNameCodePage},
      {"back\\slash", 0, nullptr, StopKind::kBatchNameInvalid},
      {"CON", 65001, nullptr, StopKind::kBatchNameInvalid},
  };
  // The first row's bytes are the ASCII JOIN.BAT the other suites pin;
  // every other name must stand in them exactly where "report" stands.
  std::string asciiBatch;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.base);
    TempDir dir;
    const std::string name = std::string(row.base) + ".doc";
    WriteBytes(dir.File(name), PatternBytes(10000));
    SplitRequest request;
    request.sourcePath = dir.File(name);
    request.targetDir = dir.Subdir("out");
    request.pieceCount = 3;
    request.writeBatch = true;
    request.batchCodePage = row.codePage;
    RecordingReport report;
    JobResult result = PerformSplitJob(request, report);
    if (row.spelled) {
      EXPECT_EQ(JobEnd::kFinished, result.end);
      if (asciiBatch.empty()) asciiBatch = ReadBytes(dir.File("out/JOIN.BAT"));
      EXPECT_EQ(Replaced(asciiBatch, "report", row.spelled), ReadBytes(dir.File("out/JOIN.BAT")));
    } else {
      EXPECT_EQ(JobEnd::kStopped, result.end);
      EXPECT_EQ(row.refusal, result.reason.kind);
      EXPECT_EQ(name, result.reason.path);
      if (row.refusal == StopKind::kBatchNameCodePage) {
        EXPECT_EQ(row.codePage ? row.codePage : 437, static_cast<uint32_t>(result.reason.code));
      }
      EXPECT_TRUE(ListDir(dir.File("out")).empty()) << "written before the refusal";
    }
  }
  EXPECT_EQ(kNativeBatchCodePage, SystemBatchCodePage());
  EXPECT_TRUE(IsKnownBatchCodePage(866) && IsKnownBatchCodePage(65001));
  EXPECT_FALSE(IsKnownBatchCodePage(12345));
}

}  // namespace

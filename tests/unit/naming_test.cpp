#include <gtest/gtest.h>

#include "naming.h"

namespace {

struct StemRow {
  const char *source, *target;
  char separator;
  const char* stem;
};

TEST(PieceStem, FollowsTheNamingRule) {
  const StemRow rows[] = {
      {"C:\\data\\report.doc", "D:\\out", '\\', "D:\\out\\report_doc"},
      {"C:\\data\\report.doc", "C:\\", '\\', "C:\\report_doc"},  // a drive root gets no second backslash
      {"C:\\data\\README", "D:\\out.old", '\\', "D:\\out.old\\README"},  // the directory's dot stays
      {"report.doc", "D:\\out", '\\', "D:\\out\\report_doc"},  // no backslash: the whole path is the name
      {"C:\\da.ta\\Report.DOC", "D:\\out", '\\', "D:\\out\\Report_DOC"},
      {"/home/a/report.doc", "/tmp/out", '/', "/tmp/out/report_doc"},
      {"/home/a/report.doc", "/", '/', "/report_doc"},
      {"/home/a/archive.tar.gz", "/t", '/', "/t/archive.tar_gz"}, {"/h/.profile", "/t", '/', "/t/_profile"},
      {"/home/a\\b.c", "/t", '/', "/t/a\\b_c"},  // a backslash means nothing to a POSIX path
  };
  for (const StemRow& row : rows) {
    EXPECT_EQ(BuildPieceStem(row.source, row.target, row.separator), row.stem) << row.source << " into " << row.target;
  }
}

struct FirstPieceRow {
  const char* path;
  char separator;
  bool first;
  const char *pieceDir, *stemName;
};

TEST(FirstPiecePath, AcceptsOnlyDotOneAndGivesDirectoryAndStem) {
  const FirstPieceRow rows[] = {
      {"C:\\in\\report_doc.1", '\\', true, "C:\\in\\", "report_doc"},
      {"C:\\x\\.1", '\\', true, "C:\\x\\", ""},
      {"x.1", '\\', true, "", "x"},
      {"/in/a.b/report_doc.1", '/', true, "/in/a.b/", "report_doc"},
      {"/in/a\\b.1", '/', true, "/in/", "a\\b"},
      {"C:\\x\\report_doc.11", '\\', false, "", ""}, {"C:\\x\\report_doc.01", '\\', false, "", ""},
      {"C:\\x\\report_doc.2", '\\', false, "", ""},  {"1", '\\', false, "", ""}, {"", '\\', false, "", ""},
  };
  for (const FirstPieceRow& row : rows) {
    ASSERT_EQ(IsFirstPiecePath(row.path), row.first) << row.path;
    if (!row.first) continue;
    PieceSetName name = SplitFirstPiecePath(row.path, row.separator);
    EXPECT_EQ(name.pieceDir, row.pieceDir) << row.path;
    EXPECT_EQ(name.stemName, row.stemName) << row.path;
  }
}

}  // namespace

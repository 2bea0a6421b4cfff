#include <gtest/gtest.h>

#include "naming.h"

namespace {

struct StemRow {
  const char* source;
  const char* target;
  const char* stem;
};

TEST(PieceStem, FollowsTheNamingTable) {
  const StemRow rows[] = {
      {"C:\\data\\report.doc", "D:\\out", "D:\\out\\report_doc"},
      {"C:\\data\\report.doc", "C:\\", "C:\\report_doc"},  // a drive root gets no second backslash
      {"C:\\data\\archive.tar.gz", "D:\\out", "D:\\out\\archive.tar_gz"},
      {"C:\\data\\README", "D:\\out.old", "D:\\out.old\\README"},  // the directory's dot stays
      {"C:\\data\\.profile", "D:\\out", "D:\\out\\_profile"},
      {"C:\\data\\my_notes.txt", "D:\\out", "D:\\out\\my_notes_txt"},
      {"C:\\data\\notes.v1_2", "D:\\out", "D:\\out\\notes_v1_2"},
      {"C:\\data\\my_file", "D:\\out", "D:\\out\\my_file"},
      {"report.doc", "D:\\out", "D:\\out\\report_doc"},  // no backslash: the whole path is the name
      {"C:\\da.ta\\Report.DOC", "D:\\out", "D:\\out\\Report_DOC"},
  };
  for (const StemRow& row : rows) {
    EXPECT_EQ(BuildPieceStem(row.source, row.target, '\\'), row.stem) << row.source << " into " << row.target;
  }
}

TEST(PieceStem, UsesTheGivenSeparator) {
  EXPECT_EQ(BuildPieceStem("/home/a/report.doc", "/tmp/out", '/'), "/tmp/out/report_doc");
  EXPECT_EQ(BuildPieceStem("/home/a/report.doc", "/", '/'), "/report_doc");
  // A backslash means nothing to a POSIX path.
  EXPECT_EQ(BuildPieceStem("/home/a\\b.c", "/t", '/'), "/t/a\\b_c");
}

TEST(PieceName, AppendsTheNumberWithoutPadding) {
  EXPECT_EQ(MakePieceName("D:\\out\\report_doc", "1"), "D:\\out\\report_doc.1");
  EXPECT_EQ(MakePieceName("D:\\out\\report_doc", "10"), "D:\\out\\report_doc.10");
  EXPECT_EQ(MakePieceName("D:\\out\\report_doc", "100"), "D:\\out\\report_doc.100");
  EXPECT_EQ(MakePieceName("x", "999999999"), "x.999999999");
}

TEST(PieceName, LongNamesAreHeldWhole) {
  std::string longDir(300, 'd');
  std::string stem = BuildPieceStem("C:\\" + std::string(250, 'n') + ".bin", longDir, '\\');
  EXPECT_EQ(stem.size(), 300u + 1 + 250 + 4);
  EXPECT_EQ(MakePieceName(stem, "123456789").substr(stem.size()), ".123456789");
}

struct RestoreRow {
  const char* source;
  const char* stem;
  const char* restored;
};

TEST(RestoreFileName, RoundTripsExceptTheTwoKnownCases) {
  const RestoreRow rows[] = {
      {"report.doc", "report_doc", "report.doc"},     {"my_notes.txt", "my_notes_txt", "my_notes.txt"},
      {"archive.tar.gz", "archive.tar_gz", "archive.tar.gz"}, {".profile", "_profile", ".profile"},
      {"README", "README", "README"},                 {"notes.v1_2", "notes_v1_2", "notes_v1.2"},
      {"my_file", "my_file", "my.file"},              {"", "", ""},
  };
  for (const RestoreRow& row : rows) {
    std::string stem = row.source;
    ReplaceLastDot(stem);
    EXPECT_EQ(stem, row.stem);
    EXPECT_EQ(RestoreFileName(stem), row.restored);
  }
}

TEST(FirstPiecePath, AcceptsOnlyDotOne) {
  EXPECT_TRUE(IsFirstPiecePath("C:\\x\\report_doc.1"));
  EXPECT_TRUE(IsFirstPiecePath(".1"));
  EXPECT_FALSE(IsFirstPiecePath("C:\\x\\report_doc.11"));
  EXPECT_FALSE(IsFirstPiecePath("C:\\x\\report_doc.01"));
  EXPECT_FALSE(IsFirstPiecePath("C:\\x\\report_doc.2"));
  EXPECT_FALSE(IsFirstPiecePath("1"));
  EXPECT_FALSE(IsFirstPiecePath(""));
}

TEST(FirstPiecePath, GivesDirectoryAndStem) {
  PieceSetName name = SplitFirstPiecePath("C:\\in\\report_doc.1", '\\');
  EXPECT_EQ(name.pieceDir, "C:\\in\\");
  EXPECT_EQ(name.stemName, "report_doc");
  name = SplitFirstPiecePath("C:\\x\\.1", '\\');
  EXPECT_EQ(name.pieceDir, "C:\\x\\");
  EXPECT_EQ(name.stemName, "");
  name = SplitFirstPiecePath("x.1", '\\');
  EXPECT_EQ(name.pieceDir, "");
  EXPECT_EQ(name.stemName, "x");
}

TEST(JoinPath, AddsOneSeparatorAtMost) {
  EXPECT_EQ(JoinPath("E:\\", "report.doc", '\\'), "E:\\report.doc");
  EXPECT_EQ(JoinPath("D:\\out", "JOIN.BAT", '\\'), "D:\\out\\JOIN.BAT");
  EXPECT_EQ(JoinPath("/tmp/", "a", '/'), "/tmp/a");
}

}  // namespace

#include <gtest/gtest.h>

#include "text_format.h"
#include "texts.h"

namespace {

TEST(FillTemplate, ReplacesPlaceholdersInOrder) {
  EXPECT_EQ(FillTemplate("%s.%s", {"a", "1"}), "a.1");
  EXPECT_EQ(FillTemplate("%d of %d%%", {"3", "4"}), "3 of 4%");
  EXPECT_EQ(FillTemplate("no %s", {}), "no ");
  EXPECT_EQ(FillTemplate("trailing %", {}), "trailing %");
}

TEST(FillTemplate, HoldsLongTextsWhole) {
  std::string name(300, 'n');
  std::string text = FillTemplate(kConfirmJoin, {"3", name, name, "4294967296", name});
  EXPECT_NE(text.find("will be of size 4294967296."), std::string::npos);
  EXPECT_EQ(text.size(), std::string(kConfirmJoin).size() - 10 + 1 + 3 * 300 + 10);
}

struct NumberRow {
  const char* text;
  int32_t value;
};

TEST(ParseDialogNumber, ReadsOnlyWholeSigned32BitNumbers) {
  const NumberRow rows[] = {
      {"0", 0},           {"1400", 1400},          {"  42", 42},        {"-5", -5},
      {"+7", 7},          {"2147483647", 2147483647}, {"-2147483648", INT32_MIN},
      {"2147483648", 0},  {"99999999999999999999", 0}, {"12abc", 0},     {"abc", 0},
      {"", 0},            {"-", 0},                {" ", 0},            {"4 2", 0},
      {"42 ", 0},         {"0x10", 0},             {"0012", 12},
  };
  for (const NumberRow& row : rows) EXPECT_EQ(ParseDialogNumber(row.text), row.value) << '"' << row.text << '"';
}

TEST(ParsePieceNumber, ReadsDigits) {
  EXPECT_EQ(ParsePieceNumber("1"), 1u);
  EXPECT_EQ(ParsePieceNumber("3334"), 3334u);
  EXPECT_EQ(ParsePieceNumber("999999999"), 999999999u);
  EXPECT_EQ(ParsePieceNumber("x"), 0u);
}

}  // namespace

#include "scenario.h"

#include <gtest/gtest.h>

#include <cctype>

namespace {
bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}
}  // namespace

void ChooseSource(const Program& program, const std::string& path) {
  program.PickSource(path);
  // Windows file names ignore case; the Open dialog may return its own spelling.
  std::string shown = program.Text(ui::kSourcePath);
  if (!SameText(shown, path)) throw DriverError("the source field shows \"" + shown + "\", not \"" + path + "\"");
}

void ChooseTarget(const Program& program, const std::string& dir) {
  program.PickTarget(dir);
  std::string shown = program.Text(ui::kTargetPath);
  if (!SameText(shown, dir)) throw DriverError("the target field shows \"" + shown + "\", not \"" + dir + "\"");
}

void Choose(const Program& program, const std::string& source, const std::string& targetDir) {
  ChooseSource(program, source);
  ChooseTarget(program, targetDir);
}

void SelectMethod(const Program& program, int methodId) {
  program.Click(methodId);
  if (!program.Checked(methodId)) throw DriverError("button " + std::to_string(methodId) + " did not check");
}

void EnterValue(const Program& program, const std::string& text) {
  program.ClickInto(ui::kValue);
  PressKey(VK_END);
  TypeText(text);
  WaitFor([&] { return program.Text(ui::kValue) == text; }, "the value field to read \"" + text + "\"");
}

void TickBatch(const Program& program) {
  if (!program.Checked(ui::kMakeBatch)) program.Click(ui::kMakeBatch);
  if (!program.Checked(ui::kMakeBatch)) throw DriverError("the batch box did not tick");
}

void ExpectInfo(const Program& program, const std::string& text) {
  Box box = program.WaitBox();
  EXPECT_EQ("Dorvenal", box.caption);
  EXPECT_EQ(text, box.text);
  EXPECT_TRUE(box.HasIcon());
  EXPECT_EQ(std::vector<int>{IDOK}, box.Buttons());
  box.Press(IDOK);
  program.Settle();
}

Box ExpectConfirmation(const Program& program, const std::string& text) {
  Box box = program.WaitBox();
  EXPECT_EQ("Dorvenal", box.caption);
  EXPECT_EQ(text, box.text);
  EXPECT_TRUE(box.HasIcon());
  EXPECT_EQ((std::vector<int>{IDYES, IDNO}), box.Buttons());
  return box;
}

void ExpectIdle(const Program& program) {
  program.Settle();
  EXPECT_FALSE(program.AnyBox()) << "a box is still open";
  EXPECT_TRUE(program.Enabled(ui::kSplit));
  EXPECT_TRUE(program.Enabled(ui::kCancel));
}

std::vector<std::pair<std::string, std::string>> DirContents(const std::string& dir) {
  std::vector<std::pair<std::string, std::string>> contents;
  for (const std::string& name : ListDir(dir)) contents.emplace_back(name, ReadBytes(dir + "\\" + name));
  return contents;
}

// The program's compiled string table as the system loads it: the tips the
// dialog test takes by number, and the batch writer's lines.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "texts.h"

namespace {

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

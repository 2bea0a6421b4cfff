// The program's compiled resources as the system loads them: the dialog
// template control by control, and the string table.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "texts.h"

namespace {

std::vector<uint8_t> ResourceBytes(int id, LPCSTR type) {
  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(id), type);
  if (!found) return {};
  auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, found)));
  return std::vector<uint8_t>(data, data + SizeofResource(nullptr, found));
}

// Reads a template in order: words, double words and the strings or
// numbers (0xFFFF, n) that name classes, menus and titles.
struct Reader {
  const std::vector<uint8_t>& bytes;
  size_t at = 0;
  unsigned Word() { at += 2; return bytes.at(at - 2) | bytes.at(at - 1) << 8; }
  unsigned Dword() { unsigned low = Word(); return low | Word() << 16; }
  int Short() { return static_cast<int16_t>(Word()); }
  std::string String() {
    std::string text;
    for (unsigned c; (c = Word()) != 0;) text += c < 0x80 ? static_cast<char>(c) : '?';
    return text;
  }
  std::string NameOrNumber() {
    if (bytes.at(at) != 0xFF || bytes.at(at + 1) != 0xFF) return String();
    Word();
    return "#" + std::to_string(Word());
  }
};

// printf into a string; the arguments are read into variables first, as
// a call's arguments are evaluated in no fixed order.
template <typename... Args>
std::string Format(const char* format, Args... args) {
  char text[512];
  wsprintfA(text, format, args...);
  return text;
}

TEST(DialogTemplate, header_and_every_control_in_order) {
  std::vector<uint8_t> bytes = ResourceBytes(101, RT_DIALOG);
  ASSERT_FALSE(bytes.empty());
  Reader in{bytes};
  unsigned style = in.Dword(), exStyle = in.Dword(), count = in.Word();
  int x = in.Short(), y = in.Short(), cx = in.Short(), cy = in.Short();
  std::string menu = in.NameOrNumber(), windowClass = in.NameOrNumber(), caption = in.String();
  unsigned points = in.Word();
  std::string font = in.String();
  EXPECT_EQ("80CA08C4 00000000 0,0,230,156 menu  class  |Dorvenal V 1.0.8| 8 MS Sans Serif",
            Format("%08X %08X %d,%d,%d,%d menu %s class %s |%s| %u %s", style, exStyle, x, y, cx, cy, menu.c_str(),
                   windowClass.c_str(), caption.c_str(), points, font.c_str()));

  const char* const rows[] = {
      "65535 #128 50020007 7,2,216,20 |Do you wish to Split or Join Files ?|",
      "1021 #128 50020009 23,11,29,8 |Sp&lit|",
      "1022 #128 50000009 135,11,29,8 |Joi&n|",
      "1000 #129 50800880 7,27,143,12 ||",
      "1001 #128 50018000 155,27,68,11 |Sou&rce File...|",
      "1002 #129 50800880 7,44,143,12 ||",
      "1003 #128 50018000 155,45,68,11 |&Target Dir...|",
      "65535 #128 50000007 7,59,216,65 |Other Parameters|",
      "1005 #128 50020009 122,68,44,8 |&Keyword|",
      "1015 #128 50000009 72,68,39,8 |Si&ze|",
      "1016 #128 50000009 15,68,45,8 |&Pieces|",
      "1019 #128 50010003 13,81,77,12 |&Generate Batch File|",
      "1006 #129 50810080 13,108,203,13 ||",
      "1 #128 50010001 57,134,50,14 |&Split|",
      "2 #128 50010000 123,134,50,14 |&Cancel|",
      "1009 #128 50018000 173,83,44,12 |&Help...|",
      "1008 #128 50018000 173,69,44,12 |Abo&ut |",
      "1007 #130 50020000 14,97,62,8 |&No of Pieces|",
      "1018 msctls_progress32 50800000 7,125,216,7 |Progress1|",
      "1024 #128 50020009 97,95,29,9 |K&Bs|",
      "1025 #128 50000009 131,95,32,9 |B&ytes|",
      "1026 #130 50020000 97,83,42,8 |Unit of Size|",
  };
  ASSERT_EQ(sizeof rows / sizeof rows[0], count);
  for (const char* row : rows) {
    in.at = (in.at + 3) & ~size_t{3};  // each control starts on a double word
    unsigned controlStyle = in.Dword(), controlExStyle = in.Dword();
    int x = in.Short(), y = in.Short(), cx = in.Short(), cy = in.Short();
    unsigned id = in.Word();
    std::string controlClass = in.NameOrNumber(), title = in.NameOrNumber();
    std::string control = Format("%u %s %08X %d,%d,%d,%d |%s|", id, controlClass.c_str(), controlStyle, x, y, cx,
                                 cy, title.c_str());
    EXPECT_EQ(row, control);
    EXPECT_EQ(0u, controlExStyle) << row;
    EXPECT_EQ(0u, in.Word()) << row << ": no creation data";
  }
  EXPECT_LT(bytes.size() - in.at, 4u) << "bytes after the last control";
}

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

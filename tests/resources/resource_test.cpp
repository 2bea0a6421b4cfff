// Reads the compiled resources of the program (the .res that the build
// makes from app/dorvenal.rc) and checks them against the published
// layout: the dialog template row by row, the string table, the icon group
// and the version record.
#include "worked_examples.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "res_file.h"
#include "resource_ids.h"
#include "string_table_texts.h"
#include "text_format.h"

namespace {

constexpr uint16_t kEnglishUk = 0x0809;
constexpr uint16_t kButton = 0x80, kEdit = 0x81, kStatic = 0x82;
constexpr uint16_t kNoId = 0xFFFF;  // IDC_STATIC as a template stores it
constexpr uint32_t kTabStop = 0x00010000, kGroup = 0x00020000;

const std::vector<Resource>& Resources() {
  static const std::vector<Resource> resources = ReadResFile(DORVENAL_RES_FILE);
  return resources;
}

// A control class as text: "#128" for an atom, the name otherwise.
std::string ClassText(const ResId& id) { return id.named ? id.text : "#" + std::to_string(id.number); }

// A control caption: the text, "" for none, "#n" for a resource number.
std::string TitleText(const ResId& id) {
  if (id.named) return id.text;
  return id.number == 0 ? std::string() : "#" + std::to_string(id.number);
}

TEST(ResourceFile, holds_exactly_the_program_resources_all_in_english_uk) {
  std::set<std::pair<uint16_t, uint16_t>> found;
  for (const Resource& resource : Resources()) {
    ASSERT_FALSE(resource.type.named) << resource.type.text;
    ASSERT_FALSE(resource.name.named) << resource.name.text;
    EXPECT_EQ(resource.language, kEnglishUk) << "type " << resource.type.number << " name " << resource.name.number;
    found.insert({resource.type.number, resource.name.number});
  }
  std::set<std::pair<uint16_t, uint16_t>> expected = {
      {kTypeIcon, 1},      {kTypeIcon, 2},    {kTypeIcon, 3},   {kTypeGroupIcon, IDI_APP},
      {kTypeDialog, IDD_MAIN}, {kTypeString, 1}, {kTypeVersion, 1}};
  EXPECT_EQ(found, expected);
  EXPECT_EQ(Resources().size(), expected.size()) << "a resource appears twice";
}

// ---- The dialog ---------------------------------------------------------

TEST(MainDialog, template_header_is_the_classic_form_with_its_style_size_caption_and_font) {
  DialogTemplate dialog = ParseDialog(FindResource(Resources(), kTypeDialog, IDD_MAIN).data);
  EXPECT_EQ(dialog.style, 0x80CA08C4u);
  EXPECT_EQ(dialog.exStyle, 0u);
  EXPECT_EQ(dialog.x, 0);
  EXPECT_EQ(dialog.y, 0);
  EXPECT_EQ(dialog.cx, 230);
  EXPECT_EQ(dialog.cy, 156);
  EXPECT_FALSE(dialog.menu.named);
  EXPECT_EQ(dialog.menu.number, 0);
  EXPECT_FALSE(dialog.windowClass.named);
  EXPECT_EQ(dialog.windowClass.number, 0);
  EXPECT_EQ(dialog.caption, "Dorvenal V 1.0.8");
  EXPECT_EQ(dialog.pointSize, 8);
  EXPECT_EQ(dialog.typeface, "MS Sans Serif");
  EXPECT_EQ(dialog.items.size(), 22u);
}

struct ControlRow {
  uint16_t id;
  std::string windowClass;
  std::string caption;
  uint32_t style;
  int16_t x, y, cx, cy;
};

const std::vector<ControlRow>& ControlTable() {
  static const std::vector<ControlRow> rows = {
      {kNoId, "#128", "Do you wish to Split or Join Files ?", 0x50020007, 7, 2, 216, 20},
      {1021, "#128", "Sp&lit", 0x50020009, 23, 11, 29, 8},
      {1022, "#128", "Joi&n", 0x50000009, 135, 11, 29, 8},
      {1000, "#129", "", 0x50800880, 7, 27, 143, 12},
      {1001, "#128", "Sou&rce File...", 0x50018000, 155, 27, 68, 11},
      {1002, "#129", "", 0x50800880, 7, 44, 143, 12},
      {1003, "#128", "&Target Dir...", 0x50018000, 155, 45, 68, 11},
      {kNoId, "#128", "Other Parameters", 0x50000007, 7, 59, 216, 65},
      {1005, "#128", "&Keyword", 0x50020009, 122, 68, 44, 8},
      {1015, "#128", "Si&ze", 0x50000009, 72, 68, 39, 8},
      {1016, "#128", "&Pieces", 0x50000009, 15, 68, 45, 8},
      {1019, "#128", "&Generate Batch File", 0x50010003, 13, 81, 77, 12},
      {1006, "#129", "", 0x50810080, 13, 108, 203, 13},
      {1, "#128", "&Split", 0x50010001, 57, 134, 50, 14},
      {2, "#128", "&Cancel", 0x50010000, 123, 134, 50, 14},
      {1009, "#128", "&Help...", 0x50018000, 173, 83, 44, 12},
      {1008, "#128", "Abo&ut ", 0x50018000, 173, 69, 44, 12},
      {1007, "#130", "&No of Pieces", 0x50020000, 14, 97, 62, 8},
      {1018, "msctls_progress32", "Progress1", 0x50800000, 7, 125, 216, 7},
      {1024, "#128", "K&Bs", 0x50020009, 97, 95, 29, 9},
      {1025, "#128", "B&ytes", 0x50000009, 131, 95, 32, 9},
      {1026, "#130", "Unit of Size", 0x50020000, 97, 83, 42, 8},
  };
  return rows;
}

TEST(MainDialog, every_control_matches_its_row_in_template_order) {
  DialogTemplate dialog = ParseDialog(FindResource(Resources(), kTypeDialog, IDD_MAIN).data);
  const auto& rows = ControlTable();
  ASSERT_EQ(dialog.items.size(), rows.size());
  for (size_t k = 0; k < rows.size(); ++k) {
    const DialogItem& item = dialog.items[k];
    const ControlRow& row = rows[k];
    SCOPED_TRACE("control #" + std::to_string(k + 1) + " \"" + row.caption + "\"");
    EXPECT_EQ(item.id, row.id);
    EXPECT_EQ(ClassText(item.windowClass), row.windowClass);
    EXPECT_EQ(TitleText(item.title), row.caption);
    EXPECT_EQ(item.style, row.style) << std::hex << item.style;
    EXPECT_EQ(item.exStyle, 0u);
    EXPECT_EQ(item.x, row.x);
    EXPECT_EQ(item.y, row.y);
    EXPECT_EQ(item.cx, row.cx);
    EXPECT_EQ(item.cy, row.cy);
    EXPECT_EQ(item.extraBytes, 0);
    EXPECT_EQ(item.style & 0x50000000u, 0x50000000u) << "WS_CHILD | WS_VISIBLE";
  }
}

TEST(MainDialog, system_classes_are_atoms_and_only_the_progress_bar_is_named) {
  DialogTemplate dialog = ParseDialog(FindResource(Resources(), kTypeDialog, IDD_MAIN).data);
  int named = 0;
  for (const DialogItem& item : dialog.items) {
    if (item.windowClass.named) {
      ++named;
      EXPECT_EQ(item.windowClass.text, "msctls_progress32");
      EXPECT_EQ(item.id, IDC_PROGRESS);
    } else {
      EXPECT_TRUE(item.windowClass.number == kButton || item.windowClass.number == kEdit ||
                  item.windowClass.number == kStatic)
          << item.windowClass.number;
    }
  }
  EXPECT_EQ(named, 1);
}

TEST(MainDialog, tab_stops_and_group_heads_follow_from_the_styles) {
  DialogTemplate dialog = ParseDialog(FindResource(Resources(), kTypeDialog, IDD_MAIN).data);
  std::vector<uint16_t> tabStops, groupHeads;
  for (const DialogItem& item : dialog.items) {
    if (item.style & kTabStop) tabStops.push_back(item.id);
    if (item.style & kGroup) groupHeads.push_back(item.id);
  }
  std::vector<uint16_t> expectedTabs = {IDC_SOURCE_BROWSE, IDC_TARGET_BROWSE, IDC_MAKE_BATCH, IDC_VALUE,
                                        IDOK,              IDCANCEL,          IDC_HELP,       IDC_ABOUT};
  EXPECT_EQ(tabStops, expectedTabs);
  // The mode set runs to "Other Parameters", the method set to the value
  // label, the unit set to the unit label.
  std::vector<uint16_t> expectedGroups = {kNoId, IDC_MODE_SPLIT, IDC_METHOD_KEYWORD, IDC_VALUE_LABEL,
                                          IDC_UNIT_KB, IDC_UNIT_LABEL};
  EXPECT_EQ(groupHeads, expectedGroups);
}

// ---- The string table ---------------------------------------------------

std::vector<std::string> FirstStringBlock() {
  const Resource& block = FindResource(Resources(), kTypeString, 1);
  return ParseStringBlock(block.data);
}

TEST(StringTable, tips_and_batch_templates_read_exactly) {
  const std::vector<std::pair<int, std::string>> expected = {
      {IDS_TIP_KEYWORD, "Use an entered keyword to split the source file based on that keyword"},
      {IDS_TIP_SIZE, "Use an entered fragment size to split the source into pieces of that size"},
      {IDS_TIP_PIECES, "Specify the no. of pieces that you would like to split the source file into"},
      {IDS_TIP_BATCH, "Generates a batch file JOIN.BAT in the target folder which will re-join the split pieces"},
      {IDS_TIP_SPLIT_MODE, "Use this option to Split a file into many pieces"},
      {IDS_TIP_JOIN_MODE, "Use this option to Join the pieces back to re-create the original file"},
      {IDS_TIP_UNIT_KB,
       "Enter the size per piece in Kilobytes ,1 Kilobyte = 1024 bytes, 1024 Kilobytes = 1 Megabyte(mb)"},
      {IDS_TIP_UNIT_BYTES, "Enter the size per piece in bytes (1024 bytes = 1 Kilobyte)"},
      {IDS_BAT_HEADER, "ECHO OFF\r\nREM Dorvenal genarated batch file\r\nECHO Now %s will be recreated\r\nPAUSE\r\n"},
      {IDS_BAT_FIRST_COPY, "COPY /B \"%s.%s\" dorvnl.tmp\r\n"},
      {IDS_BAT_NEXT_COPY, "COPY /B dorvnl.tmp+\"%s.%s\" dorvnl.tmp\r\n"},
      {IDS_BAT_FOOTER, "REN dorvnl.tmp \"%s\"\r\nECHO Finished creating %s\r\n"},
  };
  std::vector<std::string> strings = FirstStringBlock();
  for (const auto& [id, text] : expected) EXPECT_EQ(strings[id], text) << "string " << id;
}

TEST(StringTable, holds_ids_1_to_13_from_the_shared_header_and_nothing_else) {
  std::vector<std::string> strings = FirstStringBlock();
  for (int id = 1; id <= 13; ++id) {
    ASSERT_NE(StringTableText(id), nullptr) << id;
    EXPECT_EQ(strings[id], StringTableText(id)) << "string " << id;
    EXPECT_FALSE(strings[id].empty()) << id;
  }
  EXPECT_EQ(strings[0], "");
  EXPECT_EQ(strings[14], "");
  EXPECT_EQ(strings[15], "");
}

TEST(StringTable, lengths_fit_the_buffers_that_load_them) {
  std::vector<std::string> strings = FirstStringBlock();
  // Tips are loaded into 100 bytes; the longest, string 8, has 95.
  for (int id : {1, 2, 3, 4, 5, 6, 8, 9}) EXPECT_LE(strings[id].size(), 95u) << id;
  EXPECT_EQ(strings[IDS_TIP_UNIT_KB].size(), 95u);
  // The batch templates, CR LF included; each is loaded into 101 bytes.
  EXPECT_EQ(strings[IDS_BAT_HEADER].size(), 83u);
  EXPECT_EQ(strings[IDS_BAT_FIRST_COPY].size(), 28u);
  EXPECT_EQ(strings[IDS_BAT_NEXT_COPY].size(), 39u);
  EXPECT_EQ(strings[IDS_BAT_FOOTER].size(), 48u);
}

TEST(StringTable, banner_is_three_lines_and_an_empty_line) {
  std::string banner = FirstStringBlock()[IDS_BANNER];
  const std::string head = "Dorvenal V1.0.8 (001030) \nThe File Splitter for Win 95/98/NT/2000\n";
  ASSERT_EQ(banner.compare(0, head.size(), head), 0) << banner;
  ASSERT_GE(banner.size(), head.size() + 3);
  EXPECT_EQ(banner.substr(banner.size() - 2), "\n\n");
  std::string third = banner.substr(head.size(), banner.size() - head.size() - 2);
  EXPECT_FALSE(third.empty());
  EXPECT_EQ(third.find('\n'), std::string::npos) << third;
  EXPECT_EQ(std::count(banner.begin(), banner.end(), '\n'), 4);
}

TEST(StringTable, batch_templates_rebuild_the_worked_example_byte_for_byte) {
  std::vector<std::string> strings = FirstStringBlock();
  std::string batch = FillTemplate(strings[IDS_BAT_HEADER], {"report.doc"});
  batch += FillTemplate(strings[IDS_BAT_FIRST_COPY], {"report_doc", "1"});
  batch += FillTemplate(strings[IDS_BAT_NEXT_COPY], {"report_doc", "2"});
  batch += FillTemplate(strings[IDS_BAT_NEXT_COPY], {"report_doc", "3"});
  batch += FillTemplate(strings[IDS_BAT_FOOTER], {"report.doc", "report.doc"});
  const std::string expected = kWorkedJoinBatch;
  EXPECT_EQ(expected.size(), 282u);
  EXPECT_EQ(batch, expected);
}

// ---- The icon -----------------------------------------------------------

struct IconRow {
  uint8_t size;
  uint32_t bytes;
  uint16_t id;
};
const IconRow kIconRows[] = {{48, 1640, 1}, {32, 744, 2}, {16, 296, 3}};

TEST(AppIcon, group_lists_three_16_colour_images_of_48_32_and_16_pixels) {
  IconGroup group = ParseIconGroup(FindResource(Resources(), kTypeGroupIcon, IDI_APP).data);
  EXPECT_EQ(group.reserved, 0);
  EXPECT_EQ(group.type, 1) << "1 = icon";
  ASSERT_EQ(group.entries.size(), 3u);
  // The system picks an image by size and colours, not by its place in the
  // directory (which wrc writes smallest first): compare by resource number.
  std::vector<IconEntry> entries = group.entries;
  std::sort(entries.begin(), entries.end(), [](const IconEntry& a, const IconEntry& b) { return a.id < b.id; });
  for (size_t k = 0; k < 3; ++k) {
    const IconEntry& entry = entries[k];
    SCOPED_TRACE("icon resource " + std::to_string(k + 1));
    EXPECT_EQ(entry.width, kIconRows[k].size);
    EXPECT_EQ(entry.height, kIconRows[k].size);
    EXPECT_EQ(entry.colorCount, 16);
    EXPECT_EQ(entry.reserved, 0);
    EXPECT_EQ(entry.planes, 1);
    EXPECT_EQ(entry.bitCount, 4);
    EXPECT_EQ(entry.bytesInRes, kIconRows[k].bytes);
    EXPECT_EQ(entry.id, kIconRows[k].id);
  }
}

TEST(AppIcon, each_image_is_a_4_bit_bitmap_with_colour_and_mask_of_its_size) {
  for (const IconRow& row : kIconRows) {
    SCOPED_TRACE("icon " + std::to_string(row.id));
    const std::vector<uint8_t>& image = FindResource(Resources(), kTypeIcon, row.id).data;
    ASSERT_EQ(image.size(), row.bytes);
    Reader header(image);
    EXPECT_EQ(header.U32(), 40u) << "BITMAPINFOHEADER";
    EXPECT_EQ(header.U32(), row.size);
    EXPECT_EQ(header.U32(), 2u * row.size) << "colour and mask rows";
    EXPECT_EQ(header.U16(), 1);
    EXPECT_EQ(header.U16(), 4);
    EXPECT_EQ(header.U32(), 0u) << "uncompressed";
    // Header, 16 palette entries, 4-bit rows and 1-bit mask rows, each row
    // padded to four bytes: nothing more, nothing less.
    size_t colourRow = (row.size * 4u + 31) / 32 * 4, maskRow = (row.size + 31u) / 32 * 4;
    EXPECT_EQ(40 + 16 * 4 + row.size * (colourRow + maskRow), row.bytes);
  }
}

TEST(AppIcon, each_image_draws_something_on_a_transparent_ground) {
  for (const IconRow& row : kIconRows) {
    SCOPED_TRACE("icon " + std::to_string(row.id));
    const std::vector<uint8_t>& image = FindResource(Resources(), kTypeIcon, row.id).data;
    size_t colourRow = (row.size * 4u + 31) / 32 * 4, maskRow = (row.size + 31u) / 32 * 4;
    size_t colourStart = 40 + 64, maskStart = colourStart + row.size * colourRow;
    int transparent = 0, opaque = 0;
    std::set<int> colours;
    for (size_t y = 0; y < row.size; ++y) {
      for (size_t x = 0; x < row.size; ++x) {
        bool clear = image[maskStart + y * maskRow + x / 8] & (0x80 >> (x % 8));
        uint8_t pair = image[colourStart + y * colourRow + x / 2];
        int colour = x % 2 == 0 ? pair >> 4 : pair & 0x0F;
        if (clear) {
          ++transparent;
          EXPECT_EQ(colour, 0) << "a transparent pixel must be black in the colour image";
        } else {
          ++opaque;
          colours.insert(colour);
        }
      }
    }
    EXPECT_GT(transparent, 0);
    EXPECT_GT(opaque, row.size * row.size / 2);
    EXPECT_GE(colours.size(), 4u);
  }
}

// ---- The version record -------------------------------------------------

TEST(VersionRecord, fixed_part_names_version_1_0_8_0_of_a_windows_application) {
  VersionInfo info = ParseVersion(FindResource(Resources(), kTypeVersion, 1).data);
  EXPECT_EQ(info.signature, 0xFEEF04BDu);
  EXPECT_EQ(info.fileVersionMs, 0x00010000u);
  EXPECT_EQ(info.fileVersionLs, 0x00080000u);
  EXPECT_EQ(info.productVersionMs, 0x00010000u);
  EXPECT_EQ(info.productVersionLs, 0x00080000u);
  EXPECT_EQ(info.fileFlagsMask, 0x3Fu);
  EXPECT_EQ(info.fileFlags, 0u);
  EXPECT_EQ(info.fileOs, 0x40004u) << "VOS_NT_WINDOWS32";
  EXPECT_EQ(info.fileType, 1u) << "VFT_APP";
  EXPECT_EQ(info.fileSubtype, 0u);
  EXPECT_EQ(info.fileDateMs, 0u);
  EXPECT_EQ(info.fileDateLs, 0u);
}

TEST(VersionRecord, string_block_080904b0_holds_every_field) {
  VersionInfo info = ParseVersion(FindResource(Resources(), kTypeVersion, 1).data);
  ASSERT_EQ(info.strings.size(), 1u);
  ASSERT_EQ(info.strings.count("080904b0"), 1u);
  const auto& values = info.strings.at("080904b0");
  const std::vector<std::pair<std::string, std::string>> exact = {
      {"FileVersion", "1, 0, 8, 0 (001030)"},
      {"ProductVersion", "1, 0, 8, 0"},
      {"FileDescription", "Dorvenal"},
      {"InternalName", "Dorvenal"},
      {"ProductName", "Dorvenal"},
      {"Comments", ""},
      {"LegalTrademarks", ""},
      {"PrivateBuild", ""},
      {"SpecialBuild", ""},
  };
  for (const auto& [key, value] : exact) {
    ASSERT_EQ(values.count(key), 1u) << key;
    EXPECT_EQ(values.at(key), value) << key;
  }
  for (const char* key : {"CompanyName", "LegalCopyright", "OriginalFilename"}) {
    ASSERT_EQ(values.count(key), 1u) << key;
    EXPECT_FALSE(values.at(key).empty()) << key;
  }
  EXPECT_EQ(values.size(), 12u);
}

TEST(VersionRecord, translation_is_english_uk_in_unicode) {
  VersionInfo info = ParseVersion(FindResource(Resources(), kTypeVersion, 1).data);
  EXPECT_EQ(info.translation, (std::vector<uint16_t>{0x0809, 0x04B0}));
}

}  // namespace

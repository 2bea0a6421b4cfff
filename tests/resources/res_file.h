// Reading a compiled resource file (.res) and the resource formats the
// program uses: the classic dialog template, string-table blocks, icon
// groups and the version record. Little-endian, as Windows writes them.
#ifndef DORVENAL_RES_FILE_H
#define DORVENAL_RES_FILE_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

// Resource types by number.
constexpr uint16_t kTypeIcon = 3;
constexpr uint16_t kTypeDialog = 5;
constexpr uint16_t kTypeString = 6;
constexpr uint16_t kTypeGroupIcon = 14;
constexpr uint16_t kTypeVersion = 16;

struct ResourceFormatError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A type or name: a number, or a text (ASCII here) when `named`.
struct ResId {
  bool named = false;
  uint16_t number = 0;
  std::string text;
};

struct Resource {
  ResId type;
  ResId name;
  uint16_t language = 0;
  std::vector<uint8_t> data;
};

// Every resource of a .res file, in file order, without the empty entry
// that starts the file.
std::vector<Resource> ReadResFile(const std::string& path);

// The one resource of this type and number; throws when there is none.
const Resource& FindResource(const std::vector<Resource>& all, uint16_t type, uint16_t name);

// A cursor over resource data that throws on reading past the end.
class Reader {
 public:
  explicit Reader(const std::vector<uint8_t>& bytes, size_t begin = 0, size_t end = SIZE_MAX);
  uint8_t U8();
  uint16_t U16();
  int16_t I16() { return static_cast<int16_t>(U16()); }
  uint32_t U32();
  // A zero-terminated UTF-16 text of ASCII characters.
  std::string Text16();
  // A number (0xFFFF then the number) or a text; 0x0000 alone is "none".
  ResId NumberOrText();
  void AlignTo4();
  size_t offset() const { return offset_; }
  size_t end() const { return end_; }
  void Seek(size_t offset);

 private:
  const std::vector<uint8_t>& bytes_;
  size_t offset_;
  size_t end_;
};

// ---- Dialog template (DLGTEMPLATE, not the extended form) --------------

struct DialogItem {
  uint32_t style = 0;
  uint32_t exStyle = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  uint16_t id = 0;
  ResId windowClass;  // an atom (0x80 Button, 0x81 Edit, 0x82 Static) or a name
  ResId title;
  uint16_t extraBytes = 0;
};

struct DialogTemplate {
  uint32_t style = 0;
  uint32_t exStyle = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  ResId menu;         // number 0 and not named: no menu
  ResId windowClass;  // number 0 and not named: the system dialog class
  std::string caption;
  uint16_t pointSize = 0;
  std::string typeface;
  std::vector<DialogItem> items;
};

DialogTemplate ParseDialog(const std::vector<uint8_t>& data);

// ---- String table ------------------------------------------------------

// The 16 strings of one block (block n holds IDs 16(n-1) .. 16(n-1)+15).
std::vector<std::string> ParseStringBlock(const std::vector<uint8_t>& data);

// ---- Icon group (GRPICONDIR) -------------------------------------------

struct IconEntry {
  uint8_t width = 0, height = 0, colorCount = 0, reserved = 0;
  uint16_t planes = 0, bitCount = 0;
  uint32_t bytesInRes = 0;
  uint16_t id = 0;
};

struct IconGroup {
  uint16_t reserved = 0, type = 0;
  std::vector<IconEntry> entries;
};

IconGroup ParseIconGroup(const std::vector<uint8_t>& data);

// ---- Version record (VS_VERSIONINFO) -----------------------------------

struct VersionInfo {
  uint32_t signature = 0, structVersion = 0;
  uint32_t fileVersionMs = 0, fileVersionLs = 0;
  uint32_t productVersionMs = 0, productVersionLs = 0;
  uint32_t fileFlagsMask = 0, fileFlags = 0, fileOs = 0, fileType = 0, fileSubtype = 0;
  uint32_t fileDateMs = 0, fileDateLs = 0;
  // StringFileInfo: block name -> (key -> value).
  std::map<std::string, std::map<std::string, std::string>> strings;
  // VarFileInfo "Translation": language and code page pairs.
  std::vector<uint16_t> translation;
};

VersionInfo ParseVersion(const std::vector<uint8_t>& data);

#endif

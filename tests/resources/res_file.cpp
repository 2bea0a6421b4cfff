#include "res_file.h"

#include <fstream>
#include <iterator>

namespace {

size_t AlignUp4(size_t offset) { return (offset + 3) & ~static_cast<size_t>(3); }

}  // namespace

Reader::Reader(const std::vector<uint8_t>& bytes, size_t begin, size_t end)
    : bytes_(bytes), offset_(begin), end_(end > bytes.size() ? bytes.size() : end) {
  if (begin > end_) throw ResourceFormatError("range starts past its end");
}

uint8_t Reader::U8() {
  if (offset_ + 1 > end_) throw ResourceFormatError("read past the end at " + std::to_string(offset_));
  return bytes_[offset_++];
}

uint16_t Reader::U16() {
  uint16_t low = U8();
  return static_cast<uint16_t>(low | (U8() << 8));
}

uint32_t Reader::U32() {
  uint32_t low = U16();
  return low | (static_cast<uint32_t>(U16()) << 16);
}

std::string Reader::Text16() {
  std::string text;
  for (uint16_t unit = U16(); unit != 0; unit = U16()) {
    if (unit > 0x7F) throw ResourceFormatError("unexpected non-ASCII character");
    text.push_back(static_cast<char>(unit));
  }
  return text;
}

ResId Reader::NumberOrText() {
  ResId id;
  uint16_t first = U16();
  if (first == 0xFFFF) {
    id.number = U16();
    return id;
  }
  if (first == 0) return id;
  offset_ -= 2;
  id.named = true;
  id.text = Text16();
  return id;
}

void Reader::AlignTo4() { Seek(AlignUp4(offset_)); }

void Reader::Seek(size_t offset) {
  if (offset > end_) throw ResourceFormatError("seek past the end");
  offset_ = offset;
}

std::vector<Resource> ReadResFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw ResourceFormatError("cannot open " + path);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::vector<Resource> resources;
  size_t offset = 0;
  bool first = true;
  while (offset < bytes.size()) {
    Reader header(bytes, offset);
    uint32_t dataSize = header.U32();
    uint32_t headerSize = header.U32();
    Resource resource;
    resource.type = header.NumberOrText();
    resource.name = header.NumberOrText();
    header.AlignTo4();
    header.U32();  // data version
    header.U16();  // memory flags
    resource.language = header.U16();
    size_t dataStart = offset + headerSize;
    if (dataStart + dataSize > bytes.size()) throw ResourceFormatError("resource data past the end of the file");
    resource.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(dataStart),
                         bytes.begin() + static_cast<std::ptrdiff_t>(dataStart + dataSize));
    // A .res file starts with an empty entry that only marks its format.
    bool marker = first && dataSize == 0 && !resource.type.named && resource.type.number == 0;
    if (!marker) resources.push_back(resource);
    first = false;
    offset = AlignUp4(dataStart + dataSize);
  }
  return resources;
}

const Resource& FindResource(const std::vector<Resource>& all, uint16_t type, uint16_t name) {
  for (const Resource& resource : all) {
    if (!resource.type.named && resource.type.number == type && !resource.name.named && resource.name.number == name) {
      return resource;
    }
  }
  throw ResourceFormatError("no resource of type " + std::to_string(type) + " named " + std::to_string(name));
}

DialogTemplate ParseDialog(const std::vector<uint8_t>& data) {
  constexpr uint32_t kSetFont = 0x40;  // DS_SETFONT: the template names a font
  Reader in(data);
  DialogTemplate dialog;
  dialog.style = in.U32();
  if ((dialog.style & 0xFFFF0000u) == 0xFFFF0000u) throw ResourceFormatError("extended dialog template");
  dialog.exStyle = in.U32();
  uint16_t count = in.U16();
  dialog.x = in.I16();
  dialog.y = in.I16();
  dialog.cx = in.I16();
  dialog.cy = in.I16();
  dialog.menu = in.NumberOrText();
  dialog.windowClass = in.NumberOrText();
  dialog.caption = in.Text16();
  if (dialog.style & kSetFont) {
    dialog.pointSize = in.U16();
    dialog.typeface = in.Text16();
  }
  for (uint16_t k = 0; k < count; ++k) {
    in.AlignTo4();
    DialogItem item;
    item.style = in.U32();
    item.exStyle = in.U32();
    item.x = in.I16();
    item.y = in.I16();
    item.cx = in.I16();
    item.cy = in.I16();
    item.id = in.U16();
    item.windowClass = in.NumberOrText();
    item.title = in.NumberOrText();
    item.extraBytes = in.U16();
    in.Seek(in.offset() + item.extraBytes);
    dialog.items.push_back(item);
  }
  return dialog;
}

std::vector<std::string> ParseStringBlock(const std::vector<uint8_t>& data) {
  Reader in(data);
  std::vector<std::string> strings;
  for (int k = 0; k < 16; ++k) {
    uint16_t length = in.U16();
    std::string text;
    for (uint16_t c = 0; c < length; ++c) {
      uint16_t unit = in.U16();
      if (unit > 0x7F) throw ResourceFormatError("unexpected non-ASCII character");
      text.push_back(static_cast<char>(unit));
    }
    strings.push_back(text);
  }
  if (in.offset() != data.size()) throw ResourceFormatError("bytes after the 16 strings of a block");
  return strings;
}

IconGroup ParseIconGroup(const std::vector<uint8_t>& data) {
  Reader in(data);
  IconGroup group;
  group.reserved = in.U16();
  group.type = in.U16();
  uint16_t count = in.U16();
  for (uint16_t k = 0; k < count; ++k) {
    IconEntry entry;
    entry.width = in.U8();
    entry.height = in.U8();
    entry.colorCount = in.U8();
    entry.reserved = in.U8();
    entry.planes = in.U16();
    entry.bitCount = in.U16();
    entry.bytesInRes = in.U32();
    entry.id = in.U16();
    group.entries.push_back(entry);
  }
  if (in.offset() != data.size()) throw ResourceFormatError("bytes after the icon group's entries");
  return group;
}

namespace {

// One node of the version record: length, value length, type (1 text,
// 0 binary), key, then the value and the children, each 4-aligned.
struct VersionNode {
  std::string key;
  uint16_t type = 0;
  uint16_t valueLength = 0;
  size_t valueOffset = 0;
  size_t childrenOffset = 0;
  size_t end = 0;
};

VersionNode ReadVersionNode(const std::vector<uint8_t>& data, size_t offset) {
  Reader in(data, offset);
  VersionNode node;
  uint16_t length = in.U16();
  if (length < 6) throw ResourceFormatError("version node too short");
  node.end = offset + length;
  if (node.end > data.size()) throw ResourceFormatError("version node past the end");
  node.valueLength = in.U16();
  node.type = in.U16();
  node.key = in.Text16();
  in.AlignTo4();
  node.valueOffset = in.offset();
  size_t valueBytes = node.type == 1 ? node.valueLength * 2u : node.valueLength;
  node.childrenOffset = AlignUp4(node.valueOffset + valueBytes);
  if (node.childrenOffset > node.end) node.childrenOffset = node.end;
  return node;
}

std::vector<VersionNode> Children(const std::vector<uint8_t>& data, const VersionNode& parent) {
  std::vector<VersionNode> children;
  size_t offset = parent.childrenOffset;
  while (offset < parent.end) {
    VersionNode child = ReadVersionNode(data, offset);
    if (child.end > parent.end) throw ResourceFormatError("version node past its parent");
    children.push_back(child);
    offset = AlignUp4(child.end);
  }
  return children;
}

std::string TextValue(const std::vector<uint8_t>& data, const VersionNode& node) {
  if (node.valueLength == 0) return std::string();
  Reader in(data, node.valueOffset, node.end);
  return in.Text16();
}

}  // namespace

VersionInfo ParseVersion(const std::vector<uint8_t>& data) {
  VersionNode root = ReadVersionNode(data, 0);
  if (root.key != "VS_VERSION_INFO" || root.valueLength != 52) throw ResourceFormatError("not a version record");
  VersionInfo info;
  Reader fixed(data, root.valueOffset);
  info.signature = fixed.U32();
  info.structVersion = fixed.U32();
  info.fileVersionMs = fixed.U32();
  info.fileVersionLs = fixed.U32();
  info.productVersionMs = fixed.U32();
  info.productVersionLs = fixed.U32();
  info.fileFlagsMask = fixed.U32();
  info.fileFlags = fixed.U32();
  info.fileOs = fixed.U32();
  info.fileType = fixed.U32();
  info.fileSubtype = fixed.U32();
  info.fileDateMs = fixed.U32();
  info.fileDateLs = fixed.U32();
  for (const VersionNode& block : Children(data, root)) {
    if (block.key == "StringFileInfo") {
      for (const VersionNode& table : Children(data, block)) {
        auto& values = info.strings[table.key];
        for (const VersionNode& value : Children(data, table)) values[value.key] = TextValue(data, value);
      }
    } else if (block.key == "VarFileInfo") {
      for (const VersionNode& var : Children(data, block)) {
        if (var.key != "Translation") continue;
        Reader in(data, var.valueOffset, var.valueOffset + var.valueLength);
        while (in.offset() < in.end()) info.translation.push_back(in.U16());
      }
    }
  }
  return info;
}

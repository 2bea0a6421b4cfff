#include "checksum_manifest.h"

namespace {

const char kHexDigits[] = "0123456789abcdef";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseDigest(const char* hex, Sha256Digest* digest) {
  for (size_t i = 0; i < digest->size(); ++i) {
    int high = HexValue(hex[2 * i]);
    int low = HexValue(hex[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    (*digest)[i] = static_cast<uint8_t>(high * 16 + low);
  }
  return true;
}

bool NeedsEscape(const std::string& name) { return name.find_first_of("\\\n\r") != std::string::npos; }

// The name of an escaped line back as it was: \\, \n and \r only.
bool Unescape(const std::string& text, std::string* name) {
  name->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      *name += text[i];
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
      case '\\': *name += '\\'; break;
      case 'n': *name += '\n'; break;
      case 'r': *name += '\r'; break;
      default: return false;
    }
  }
  return true;
}

// One line without its line end.
bool ParseLine(const std::string& line, ChecksumEntry* entry) {
  bool escaped = !line.empty() && line[0] == '\\';
  size_t hashAt = escaped ? 1 : 0;
  size_t nameAt = hashAt + 64 + 2;
  if (line.size() <= nameAt || !ParseDigest(line.data() + hashAt, &entry->digest)) return false;
  if (line[nameAt - 2] != ' ' || (line[nameAt - 1] != ' ' && line[nameAt - 1] != '*')) return false;
  std::string name = line.substr(nameAt);
  if (name.find_first_of(std::string("\r\0", 2)) != std::string::npos) return false;
  if (!escaped) {
    entry->name = name;
    return true;
  }
  return Unescape(name, &entry->name);
}

}  // namespace

std::string DigestToHex(const Sha256Digest& digest) {
  std::string hex;
  for (uint8_t byte : digest) {
    hex += kHexDigits[byte >> 4];
    hex += kHexDigits[byte & 15];
  }
  return hex;
}

std::string FormatChecksumLine(const ChecksumEntry& entry) {
  if (!NeedsEscape(entry.name)) return DigestToHex(entry.digest) + "  " + entry.name + "\n";
  std::string line = "\\" + DigestToHex(entry.digest) + "  ";
  for (char c : entry.name) {
    if (c == '\\') {
      line += "\\\\";
    } else if (c == '\n') {
      line += "\\n";
    } else if (c == '\r') {
      line += "\\r";
    } else {
      line += c;
    }
  }
  return line + "\n";
}

std::string FormatChecksumManifest(const std::vector<ChecksumEntry>& entries) {
  std::string text;
  for (const ChecksumEntry& entry : entries) text += FormatChecksumLine(entry);
  return text;
}

bool ParseChecksumManifest(const std::string& text, std::vector<ChecksumEntry>* entries, size_t* badLine) {
  entries->clear();
  *badLine = 1;
  size_t lineStart = 0;
  while (lineStart < text.size()) {
    size_t lineEnd = text.find('\n', lineStart);
    if (lineEnd == std::string::npos) return false;  // cut short: the last line lacks its LF
    size_t length = lineEnd - lineStart;
    if (length > 0 && text[lineEnd - 1] == '\r') --length;
    ChecksumEntry entry;
    if (!ParseLine(text.substr(lineStart, length), &entry)) return false;
    entries->push_back(entry);
    ++*badLine;
    lineStart = lineEnd + 1;
  }
  if (entries->empty()) return false;
  *badLine = 0;
  return true;
}

#include "windows_names.h"

#include <cctype>
#include <cstring>

namespace {

std::string UpperAscii(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

// Windows opens the device, not a file, for "NUL", "nul.txt" and
// "NUL .tar.gz": the part before the first dot, trailing blanks dropped.
bool IsWindowsDeviceName(const std::string& name) {
  std::string base = UpperAscii(name.substr(0, name.find('.')));
  base.erase(base.find_last_not_of(' ') + 1);
  for (const char* device : {"CON", "PRN", "AUX", "NUL"}) {
    if (base == device) return true;
  }
  if (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0) return false;
  const std::string number = base.substr(3);
  // Superscript one, two and three in UTF-8.
  return (number.size() == 1 && std::isdigit(static_cast<unsigned char>(number[0]))) || number == "\xC2\xB9" ||
         number == "\xC2\xB2" || number == "\xC2\xB3";
}

bool IsWindowsFileName(const std::string& name) {
  if (name.empty() || name.back() == '.' || name.back() == ' ') return false;
  for (unsigned char c : name) {
    if (c < 32 || std::strchr("\"*?<>|:/\\", c) != nullptr) return false;
  }
  return !IsWindowsDeviceName(name);
}

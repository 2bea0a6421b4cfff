#include "text_format.h"

std::string FillTemplate(const std::string& pattern, std::initializer_list<std::string> arguments) {
  std::string result;
  result.reserve(pattern.size() + 64);
  auto next = arguments.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size()) {
      char kind = pattern[i + 1];
      if (kind == '%') {
        result += '%';
        ++i;
        continue;
      }
      if (kind == 's' || kind == 'd') {
        if (next != arguments.end()) result += *next++;
        ++i;
        continue;
      }
    }
    result += c;
  }
  return result;
}

std::string DecimalText(uint64_t number) { return std::to_string(number); }

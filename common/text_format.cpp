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

int32_t ParseDialogNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size()) return 0;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
    if (value > INT64_C(2147483648)) return 0;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return 0;
  return static_cast<int32_t>(value);
}

uint64_t ParsePieceNumber(const std::string& text) {
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return value;
}

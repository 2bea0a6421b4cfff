// JOIN.BAT's code page natively: names are UTF-8, converted by iconv.
#include "batch_codepage.h"

#include <iconv.h>

namespace {

std::string IconvName(uint32_t codePage) {
  return codePage == kUtf8CodePage ? std::string("UTF-8") : "CP" + std::to_string(codePage);
}

// The whole text or nothing: no transliteration, no skipped bytes.
bool Convert(const std::string& text, const std::string& from, const std::string& to, std::string* converted) {
  iconv_t converter = iconv_open(to.c_str(), from.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  std::string input = text;
  std::string output(text.size() * 4 + 16, '\0');
  char* in = &input[0];
  size_t inLeft = input.size();
  char* out = &output[0];
  size_t outLeft = output.size();
  bool whole = iconv(converter, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1) &&
               iconv(converter, nullptr, nullptr, &out, &outLeft) != static_cast<size_t>(-1);
  iconv_close(converter);
  if (!whole || inLeft != 0) return false;
  output.resize(output.size() - outLeft);
  *converted = output;
  return true;
}

}  // namespace

uint32_t SystemBatchCodePage() { return kNativeBatchCodePage; }

bool IsKnownBatchCodePage(uint32_t codePage) {
  iconv_t converter = iconv_open(IconvName(codePage).c_str(), "UTF-8");
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  iconv_close(converter);
  return true;
}

bool ConvertForBatch(const std::string& text, uint32_t codePage, std::string* converted) {
  // Back again to the same text, or some character had only a near spelling.
  std::string spelled, back;
  if (!Convert(text, "UTF-8", IconvName(codePage), &spelled)) return false;
  if (!Convert(spelled, IconvName(codePage), "UTF-8", &back) || back != text) return false;
  *converted = spelled;
  return true;
}

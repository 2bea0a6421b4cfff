// certutil for the tests of JOIN.BAT under Wine, whose own hashes nothing: `certutil -hashfile FILE SHA256`
// prints Windows 10's three lines, or with DORVENAL_CERTUTIL=7 Windows 7's blank-separated pairs (here
// in capitals, which JOIN.BAT must compare without regard to case).
#include <windows.h>
#include <shellapi.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "checksum_manifest.h"

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const std::wstring path = argc == 4 ? argv[2] : L"";
  LocalFree(argv);
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  Sha256 hash;
  Sha256Digest digest{};
  hash.Update(bytes.data(), bytes.size());
  if (!file.is_open() || !hash.Final(&digest)) return 2;
  std::string hex = DigestToHex(digest), pairs;
  for (size_t i = 0; i < hex.size(); i += 2) pairs += std::string(i == 0 ? "" : " ") + hex.substr(i, 2);
  for (char& c : pairs) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const char* format = std::getenv("DORVENAL_CERTUTIL");
  std::printf("SHA256 hash of %ls:\n%s\nCertUtil: -hashfile command completed successfully.\n", path.c_str(),
              (format != nullptr && std::string(format) == "7" ? pairs : hex).c_str());
  return 0;
}

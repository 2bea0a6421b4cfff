// certutil for the tests of JOIN.BAT under Wine, whose own certutil hashes
// nothing: `certutil -hashfile FILE SHA256` prints what Windows 10 prints,
// or, with DORVENAL_CERTUTIL=7, Windows 7's blank-separated pairs (here in
// capitals, which JOIN.BAT must compare without regard to case).
#include <windows.h>
#include <shellapi.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "checksum_manifest.h"

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const bool hashfile = argc == 4 && lstrcmpiW(argv[1], L"-hashfile") == 0 && lstrcmpiW(argv[3], L"SHA256") == 0;
  const std::wstring path = hashfile ? argv[2] : L"";
  LocalFree(argv);
  if (!hashfile) return 87;
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  if (!file) {
    std::printf("CertUtil: -hashfile command FAILED: 0x80070002 (WIN32: 2 ERROR_FILE_NOT_FOUND)\n");
    return 2;
  }
  Sha256 hash;
  char block[65536];
  while (file.read(block, sizeof block) || file.gcount() > 0) hash.Update(block, static_cast<size_t>(file.gcount()));
  Sha256Digest digest{};
  if (!hash.Final(&digest)) return 1;
  std::string hex = DigestToHex(digest);
  const char* format = std::getenv("DORVENAL_CERTUTIL");
  if (format != nullptr && std::string(format) == "7") {
    std::string pairs;
    for (size_t i = 0; i < hex.size(); i += 2) {
      pairs += std::string(i == 0 ? "" : " ") + static_cast<char>(std::toupper(hex[i])) +
               static_cast<char>(std::toupper(hex[i + 1]));
    }
    hex = pairs;
  }
  std::printf("SHA256 hash of %ls:\n%s\nCertUtil: -hashfile command completed successfully.\n", path.c_str(),
              hex.c_str());
  return 0;
}

// The code page of JOIN.BAT. cmd.exe reads a batch file in the console's
// OEM code page, so a name beyond ASCII must be spelled in that code page
// or cmd looks for files that do not exist. One implementation per
// platform directory.
#ifndef DORVENAL_BATCH_CODEPAGE_H
#define DORVENAL_BATCH_CODEPAGE_H

#include <cstdint>
#include <string>

// A console that reads UTF-8: Windows with UTF-8 as its system code page.
constexpr uint32_t kUtf8CodePage = 65001;

// What the native build assumes of the Windows that will run JOIN.BAT:
// the OEM code page of English (United States) Windows. The accented
// letters of most Western names have the same bytes in 850, the code page
// of Western European Windows.
constexpr uint32_t kNativeBatchCodePage = 437;

// The code page in which this system's command prompt reads batch files:
// on Windows its OEM code page (the real one, which the UTF-8 manifest
// hides from GetOEMCP), elsewhere kNativeBatchCodePage.
uint32_t SystemBatchCodePage();

// Whether this build can write text in the code page.
bool IsKnownBatchCodePage(uint32_t codePage);

// `text` (names as the system gives them: UTF-8, or on a Windows before
// 10 its ANSI code page) in `codePage`. False when a character has no
// exact spelling there (a near one, such as "a" for "ā", does not count).
bool ConvertForBatch(const std::string& text, uint32_t codePage, std::string* converted);

#endif

// What Windows allows as a file name: JOIN.BAT must re-create the source
// under its very name, so a split with JOIN.BAT refuses any other. Pure
// string work on the name's bytes, the same in every build.
#ifndef DORVENAL_WINDOWS_NAMES_H
#define DORVENAL_WINDOWS_NAMES_H

#include <string>

// Whether Windows can hold a file of this name (no folder part): no
// control character and none of " * ? < > | : / \, no dot or blank at the
// end, and no device name (CON, PRN, AUX, NUL, COM0-COM9, LPT0-LPT9 and
// COM or LPT with a superscript 1, 2 or 3), in any case, whether alone or
// before an extension.
bool IsWindowsFileName(const std::string& name);

// Whether Windows opens a device for this name (CON, nul.txt, LPT1 ...),
// whatever the folder.
bool IsWindowsDeviceName(const std::string& name);

#endif

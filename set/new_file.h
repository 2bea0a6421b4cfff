// The files a set keeps beside its pieces (manifest, JOIN.BAT, join.sh)
// are written whole or not at all.
#ifndef DORVENAL_NEW_FILE_H
#define DORVENAL_NEW_FILE_H

#include <string>

#include "platform.h"

// Creates the file at path, which must not exist, with exactly `text`; a
// file that could not be written whole is removed.
SystemError WriteNewFile(const std::string& path, const std::string& text);

// Creates or replaces the file at path with exactly `text`, written under
// a temporary name first, runnable by whoever may read it when asked;
// the error when it could not.
SystemError WriteWholeFile(const std::string& path, const std::string& text, bool executable = false);

#endif

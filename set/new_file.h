// The files a set keeps beside its pieces (manifest, JOIN.BAT, join.sh)
// are written whole or not at all.
#ifndef DORVENAL_NEW_FILE_H
#define DORVENAL_NEW_FILE_H

#include <string>

#include "platform.h"

// Creates the file at path, which must not exist, with exactly `text`; a
// file that could not be written whole is removed.
SystemError WriteNewFile(const std::string& path, const std::string& text);

#endif

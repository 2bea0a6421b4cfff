// The checksum manifest of a set: one line per file in the format that
// `sha256sum -c` reads (64 lowercase hex digits, two blanks, the name, LF),
// so that any system can check a set without us. Pure text work.
#ifndef DORVENAL_CHECKSUM_MANIFEST_H
#define DORVENAL_CHECKSUM_MANIFEST_H

#include <cstddef>
#include <string>
#include <vector>

#include "sha256.h"

struct ChecksumEntry {
  Sha256Digest digest;
  std::string name;
};

// 64 lowercase hex digits.
std::string DigestToHex(const Sha256Digest& digest);

// One line. A name holding a backslash, LF or CR is written as sha256sum
// writes it: the line starts with a backslash, and those three become \\,
// \n and \r. Names are file names: not empty, no zero byte.
std::string FormatChecksumLine(const ChecksumEntry& entry);
std::string FormatChecksumManifest(const std::vector<ChecksumEntry>& entries);

// The entries of a manifest, in its order. Every line must be whole: a hash
// of 64 hex digits (either case), a blank, a blank or `*` (sha256sum's
// binary mark), a name, then LF or CR LF; the escaped form above is read
// back. Anything else, and a text without lines, gives false with *badLine
// the number of the first bad line (from 1).
bool ParseChecksumManifest(const std::string& text, std::vector<ChecksumEntry>* entries, size_t* badLine);

#endif

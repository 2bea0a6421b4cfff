#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "checksum_manifest.h"
#include "test_files.h"
#include "sha256.h"

namespace {

struct Digests { Sha256Digest system, portable; };

// Both implementations of this build, fed the bytes in parts of uneven
// sizes that fall on, before and after SHA-256's 64-byte blocks.
Digests HashInParts(Sha256& system, const std::string& bytes) {
  const size_t parts[] = {1, 63, 64, 65, 2, 55, 4096, 7, 100003, 56};
  PortableSha256 portable;
  PortableSha256Start(&portable);
  size_t at = 0;
  for (size_t i = 0; at < bytes.size(); ++i) {
    size_t size = std::min(parts[i % (sizeof parts / sizeof parts[0])], bytes.size() - at);
    system.Update(bytes.data() + at, size);
    PortableSha256Update(&portable, bytes.data() + at, size);
    at += size;
  }
  Digests digests;
  EXPECT_TRUE(system.Final(&digests.system));
  digests.portable = PortableSha256Final(&portable);
  return digests;
}

TEST(Sha256, GivesThePublishedDigests) {
  const struct {
    std::string message;
    const char* digest;
  } rows[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  Sha256 system;  // one object for all: each Final starts the next hash
  for (const auto& row : rows) {
    Digests digests = HashInParts(system, row.message);
    EXPECT_EQ(DigestToHex(digests.system), row.digest) << row.message.size() << " bytes, " << system.Implementation();
    EXPECT_EQ(DigestToHex(digests.portable), row.digest) << row.message.size() << " bytes, portable";
  }
}

// with_random_files.sh runs this in a folder of random files of 0, 55, 56,
// 63, 64, 65 and 1 MiB + 1 bytes, beside SHA256SUMS as sha256sum wrote it.
TEST(Sha256, AgreesWithSha256sumOnRandomFiles) {
  std::vector<ChecksumEntry> entries;
  size_t badLine = 0;
  ASSERT_TRUE(FileExists("SHA256SUMS")) << "run through with_random_files.sh";
  ASSERT_TRUE(ParseChecksumManifest(ReadBytes("SHA256SUMS"), &entries, &badLine)) << "line " << badLine;
  ASSERT_EQ(entries.size(), 7u);
  Sha256 system;
  for (const ChecksumEntry& entry : entries) {
    Digests digests = HashInParts(system, ReadBytes(entry.name));
    EXPECT_EQ(DigestToHex(digests.system), DigestToHex(entry.digest)) << entry.name << ", " << system.Implementation();
    EXPECT_EQ(DigestToHex(digests.portable), DigestToHex(entry.digest)) << entry.name << ", portable";
  }
}

// Without this, a system hash that never starts would pass every test above on the portable one.
TEST(Sha256, UsesTheSystemsHashingWhereThereIsOne) {
  const char* expected = std::getenv("DORVENAL_SHA256_EXPECTED");
  ASSERT_NE(expected, nullptr) << "set DORVENAL_SHA256_EXPECTED";
  EXPECT_STREQ(Sha256().Implementation(), expected);
}

}  // namespace

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "checksum_manifest.h"
#include "set_manifest.h"
#include "test_files.h"
#include "sha256.h"

namespace {

// The digest of no bytes, and the same in capitals.
const std::string kHash = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
const std::string kHashUpper = "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855";

TEST(ChecksumManifest, ReadsWholeLinesAndRefusesTheRest) {
  const struct { std::string text; size_t badLine; std::vector<std::string> names; } rows[] = {  // badLine 0: read
      {kHash + "  data_bin.1\n" + kHash + "  my data.bin\n", 0, {"data_bin.1", "my data.bin"}},
      {kHash + "  a.1\r\n" + kHash + "  a.2\r\n", 0, {"a.1", "a.2"}},
      {kHashUpper + " *a.1\n", 0, {"a.1"}},
      {kHash + "   lead\n", 0, {" lead"}},
      {kHash + "  a\\b\n", 0, {"a\\b"}},  // an unescaped line keeps its backslash
      {"\\" + kHash + "  a\\\\b\\nc\\rd\n", 0, {"a\\b\nc\rd"}},
      {"", 1, {}},
      {kHash + "  a.1", 1, {}},  // cut short
      {kHash + "  a.1\n" + kHash + "  a.2", 2, {}},
      {kHash + "  a.1\n\n", 2, {}},
      {kHash.substr(0, 63) + "g  a.1\n", 1, {}},
      {kHash + " a.1\n", 1, {}},
      {kHash + "  \n", 1, {}},
      {kHash + "  a\rb\n", 1, {}},
      {kHash + "  a" + std::string(1, '\0') + "b\n", 1, {}},
      {"\\" + kHash + "  a\\tb\n", 1, {}},
      {"\\" + kHash + "  a\\\n", 1, {}},
      {"SHA256 (a.1) = " + kHash + "\n", 1, {}},
  };
  for (const auto& row : rows) {
    std::vector<ChecksumEntry> entries;
    size_t badLine = 99;
    EXPECT_EQ(ParseChecksumManifest(row.text, &entries, &badLine), row.badLine == 0) << row.text;
    EXPECT_EQ(badLine, row.badLine) << row.text;
    if (row.badLine != 0) continue;
    std::vector<std::string> names;
    for (const ChecksumEntry& entry : entries) {
      names.push_back(entry.name);
      EXPECT_EQ(DigestToHex(entry.digest), kHash);
    }
    EXPECT_EQ(names, row.names);
  }
}

// The whole file's line names the file a join of the set re-creates: a plain name whose last dot made an
// underscore gives the set's stem (Windows: also a name Windows can hold).
TEST(ChecksumManifest, NamesOnlyAFileOfTheSet) {
  const bool windows = kPathSeparator == '\\';
  const struct { const char *name, *stem; bool holds; } rows[] = {
      {"v1.0_final", "v1_0_final", true}, {"v1_0.final", "v1_0_final", true},  // the name an older split wrote
      {"my_file", "my_file", true}, {"v1.0_final", "v1_0_finaX", false}, {"v1.0_final", "v1.0_final", false},
      {"..", "._", false}, {".", "_", false}, {"", "", false}, {"a/b.c", "a/b_c", false}, {"../x.c", "../x_c", false},
      {"con.txt", "con_txt", !windows}, {"x:y.z", "x:y_z", !windows}, {"a\\b.c", "a\\b_c", !windows},
  };
  for (const auto& row : rows) EXPECT_EQ(IsWholeNameOfSet(row.name, row.stem), row.holds) << row.name;
}

#ifndef _WIN32
// Pieces with awkward names and the manifest written for them, held against
// sha256sum's own output, in the scratch folder with_random_files.sh runs the tests in.
TEST(ChecksumManifest, IsWhatSha256sumWrites) {
  const std::vector<std::string> pieces = {"my data_bin.1", " lead_bin.2", "*star_bin.3", "a\\b_bin.4",
                                           "new\nline_bin.5", "car\rriage_bin.6", "caf\xc3\xa9_bin.7"};
  std::vector<ChecksumEntry> entries;
  std::string names;
  Sha256 piece;
  for (size_t i = 0; i < pieces.size(); ++i) {
    const std::string bytes = PatternBytes(1000 * i + 1, static_cast<uint32_t>(i));
    WriteBytes(pieces[i], bytes);
    piece.Update(bytes.data(), bytes.size());
    entries.push_back({Sha256Digest(), pieces[i]});
    ASSERT_TRUE(piece.Final(&entries.back().digest));
    names += pieces[i] + '\0';
  }
  WriteBytes("names", names);
  ASSERT_EQ(std::system("xargs -0 -a names sha256sum -- >said"), 0);
  const std::string theirs = ReadBytes("said");
  EXPECT_EQ(FormatChecksumManifest(entries), theirs);
  // Read back, the manifest writes the same bytes again.
  std::vector<ChecksumEntry> back;
  size_t badLine = 0;
  ASSERT_TRUE(ParseChecksumManifest(theirs, &back, &badLine));
  EXPECT_EQ(FormatChecksumManifest(back), theirs);
}
#endif

}  // namespace

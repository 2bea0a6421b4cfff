// What the Windows free-space queries are given and what they give back.
#include <gtest/gtest.h>

#include "drive_root.h"

namespace {

TEST(DriveRoot, IsTakenFromTheFirstThreeCharacters) {
  const char* const rows[][2] = {{"C:\\Data\\Parts", "C:\\"}, {"E:\\", "E:\\"}, {"D:", "D:"},
                                  {"\\\\server\\share", ""}, {"relative\\dir", ""}, {"", ""}, {"/tmp", ""}};
  for (const auto& row : rows) EXPECT_EQ(MakeFreeSpaceRoot(row[0]), row[1]) << row[0];
}

TEST(DriveRoot, ClustersGiveBytesWithoutOverflow) {
  EXPECT_EQ(FreeBytesFromClusters(8, 512, 1000), 4096000u);
  EXPECT_EQ(FreeBytesFromClusters(64, 4096, 2000000), UINT64_C(524288000000));
  EXPECT_EQ(FreeBytesFromClusters(0xFFFFFFFFu, 0xFFFFFFFFu, 1), UINT64_C(0xFFFFFFFE00000001));
}

}  // namespace

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "free_space.h"
#include "test_files.h"

namespace {

TEST(CompareFreeSpace, EqualIsEnoughOneByteLessIsNot) {
  EXPECT_EQ(CompareFreeSpace(true, 1000, 1000), 1);
  EXPECT_EQ(CompareFreeSpace(true, 999, 1000), 0);
  EXPECT_EQ(CompareFreeSpace(true, 0, 0), 1);
  EXPECT_EQ(CompareFreeSpace(true, 5, 0), 1);
}

TEST(CompareFreeSpace, WeighsAll64Bits) {
  const uint64_t fourGiB = uint64_t{1} << 32;
  EXPECT_EQ(CompareFreeSpace(true, fourGiB, 0xFFFFFFFFu), 1);  // high bits set: room for any 32-bit need
  EXPECT_EQ(CompareFreeSpace(true, fourGiB + 1, fourGiB + 1), 1);
  EXPECT_EQ(CompareFreeSpace(true, fourGiB, fourGiB + 1), 0);  // not compared by the low half alone
  EXPECT_EQ(CompareFreeSpace(true, fourGiB + 10, 20), 1);
}

TEST(CompareFreeSpace, AFailedQueryMeansNoRoom) {
  EXPECT_EQ(CompareFreeSpace(false, UINT64_MAX, 0), 0);
}

TEST(FreeSpaceRoot, TakesTheDriveAndItsNextCharacter) {
  EXPECT_EQ(MakeFreeSpaceRoot("C:\\Data\\Parts"), "C:\\");
  EXPECT_EQ(MakeFreeSpaceRoot("E:\\"), "E:\\");
  EXPECT_EQ(MakeFreeSpaceRoot("D:"), "D:");
  EXPECT_EQ(MakeFreeSpaceRoot("\\\\server\\share"), "");
  EXPECT_EQ(MakeFreeSpaceRoot("relative\\dir"), "");
  EXPECT_EQ(MakeFreeSpaceRoot(""), "");
  EXPECT_EQ(MakeFreeSpaceRoot("/tmp"), "");
}

TEST(FreeSpaceClusters, MultipliesWithoutOverflow) {
  EXPECT_EQ(FreeBytesFromClusters(8, 512, 1000), 4096000u);
  EXPECT_EQ(FreeBytesFromClusters(0xFFFFFFFFu, 0xFFFFFFFFu, 2), uint64_t{0xFFFFFFFE00000001} * 2);
}

TEST(CheckFreeSpace, AsksTheRealVolume) {
  TempDir dir;
  EXPECT_EQ(CheckFreeSpace(dir.path(), 0), 1);
  EXPECT_EQ(CheckFreeSpace(dir.path(), 1), 1);
  EXPECT_EQ(CheckFreeSpace(dir.path(), UINT64_MAX), 0);
}

}  // namespace

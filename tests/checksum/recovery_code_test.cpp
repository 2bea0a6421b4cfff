#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recovery_code.h"
#include "test_files.h"
#ifdef DORVENAL_TEST_ISAL
#include <isa-l/erasure_code.h>
#endif

namespace {

using Pieces = std::vector<std::string>;

std::vector<const unsigned char*> Inputs(const Pieces& pieces) {
  std::vector<const unsigned char*> pointers;
  for (const std::string& piece : pieces) pointers.push_back(reinterpret_cast<const unsigned char*>(piece.data()));
  return pointers;
}

std::vector<unsigned char*> Outputs(Pieces* pieces) {
  std::vector<unsigned char*> pointers;
  for (std::string& piece : *pieces) pointers.push_back(reinterpret_cast<unsigned char*>(&piece[0]));
  return pointers;
}

// The recovery pieces this build's code makes of the data, on the arithmetic asked for.
Pieces Encode(const RecoveryCode& code, const Pieces& data, bool portable) {
  RecoveryCode::UsePortableOnly(portable);
  size_t length = data[0].size();
  Pieces recovery(code.recoveryCount(), std::string(length, '\x55'));  // not zeros: each byte must be written
  code.Encode(length, Inputs(data).data(), Outputs(&recovery).data());
  RecoveryCode::UsePortableOnly(false);
  return recovery;
}

Pieces RandomData(uint32_t count, size_t length) {
  Pieces data;
  for (uint32_t i = 0; i < count; ++i) data.push_back(PatternBytes(length, 7 * i + static_cast<uint32_t>(length) + 1));
  return data;
}

std::string Repeat(const std::string& bytes, size_t times) {
  std::string repeated;
  for (size_t i = 0; i < times; ++i) repeated += bytes;
  return repeated;
}

// Worked out by hand: in GF(2^8) over 0x11d, 1/1 = 1, 1/2 = 0x8e (2 * 0x8e =
// 0x11c = 1) and 1/3 = 0xf4 (3 * 0xf4 = 0x1e8 ^ 0xf4 = 0x11c = 1); the row
// of recovery piece j over data piece i is 1/((N + j) xor i). 64 bytes
// reach the system's vector code, 4 its byte code.
TEST(RecoveryCode, GivesBytesWorkedOutByHand) {
  const struct {
    uint32_t dataCount;
    Pieces data;
    Pieces recovery;
  } rows[] = {
      {2, {{1, 0, 1, 2}, {0, 1, 1, 3}}, {std::string("\x8e\xf4\x7a\x00", 4)}},  // 2/0x8e = 1, 3/0xf4 = 1
      {1, {{2, 3, 0, 1}}, {{2, 3, 0, 1}, {1, '\x8f', 0, '\x8e'}}},
  };
  for (const auto& row : rows) {
    RecoveryCode code;
    ASSERT_TRUE(code.Init(row.dataCount, static_cast<uint32_t>(row.recovery.size())));
    for (size_t times : {1, 16}) {
      Pieces data, expected;
      for (const std::string& piece : row.data) data.push_back(Repeat(piece, times));
      for (const std::string& piece : row.recovery) expected.push_back(Repeat(piece, times));
      for (bool portable : {false, true}) {
        EXPECT_EQ(Encode(code, data, portable), expected) << row.dataCount << " " << times << " " << portable;
      }
    }
  }
}

// N + K pieces at most, for GF(2^8) has 256 elements; none of N or K zero.
TEST(RecoveryCode, FitsAtMost256Pieces) {
  const struct {
    uint64_t dataCount, recoveryCount;
    bool fits;
  } rows[] = {
      {1, 1, true}, {255, 1, true}, {1, 255, true}, {250, 6, true}, {0, 1, false}, {1, 0, false},
      {251, 6, false}, {256, 1, false}, {~0ull, 2, false}, {2, ~0ull, false}, {1ull << 32, 1, false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(RecoveryCode::Fits(row.dataCount, row.recoveryCount), row.fits)
        << row.dataCount << "+" << row.recoveryCount;
    RecoveryCode code;
    EXPECT_EQ(code.Init(static_cast<uint32_t>(row.dataCount), static_cast<uint32_t>(row.recoveryCount)),
              row.fits && row.dataCount < (1ull << 32))
        << row.dataCount << "+" << row.recoveryCount;
  }
}

const struct Shape {
  uint32_t dataCount, recoveryCount;
} kShapes[] = {{1, 1}, {1, 6}, {3, 2}, {10, 1}, {17, 5}, {100, 6}, {250, 6}, {255, 1}};

#ifdef DORVENAL_TEST_ISAL
// The recovery pieces as ISA-L makes them with its own Cauchy matrix.
Pieces IsalEncode(const Pieces& data, uint32_t recoveryCount) {
  int n = static_cast<int>(data.size());
  int k = static_cast<int>(recoveryCount);
  std::vector<unsigned char> matrix((n + k) * n);
  std::vector<unsigned char> tables(32 * n * k);
  gf_gen_cauchy1_matrix(matrix.data(), n + k, n);
  ec_init_tables(n, k, &matrix[n * n], tables.data());
  Pieces in = data;
  Pieces recovery(recoveryCount, std::string(data[0].size(), '\0'));
  std::vector<unsigned char*> from = Outputs(&in);
  ec_encode_data(static_cast<int>(data[0].size()), n, k, tables.data(), from.data(), Outputs(&recovery).data());
  return recovery;
}

TEST(RecoveryCode, EncodesAsIsalDoes) {
  EXPECT_STREQ(RecoveryCode::Implementation(), "isa-l");
  for (const Shape& shape : kShapes) {
    RecoveryCode code;
    ASSERT_TRUE(code.Init(shape.dataCount, shape.recoveryCount));
    // Beyond 64 KiB, passes of the coding meet; few pieces keep it short.
    for (size_t length : {0, 1, 31, 1000, 4097, shape.dataCount < 10 ? 100003 : 0}) {
      Pieces data = RandomData(shape.dataCount, length);
      Pieces expected = IsalEncode(data, shape.recoveryCount);
      for (bool portable : {false, true}) {
        EXPECT_TRUE(Encode(code, data, portable) == expected)
            << shape.dataCount << "+" << shape.recoveryCount << " of " << length << ", portable " << portable;
      }
    }
  }
}
#endif

// Rebuilds `lost` from the first N others and compares with the originals.
void ExpectRebuilt(const RecoveryCode& code, const Pieces& all, const std::vector<uint32_t>& lost, bool portable) {
  std::vector<uint32_t> present;
  Pieces survivors;
  for (uint32_t piece = static_cast<uint32_t>(all.size()); piece-- > 0 && present.size() < code.dataCount();) {
    bool isLost = false;
    for (uint32_t gone : lost) isLost = isLost || gone == piece;
    if (isLost) continue;
    present.push_back(piece);  // from the last down: recovery pieces first, out of order
    survivors.push_back(all[piece]);
  }
  Pieces rebuilt(lost.size(), std::string(all[0].size(), '\x55'));
  RecoveryCode::UsePortableOnly(portable);
  ASSERT_TRUE(code.Rebuild(all[0].size(), present, Inputs(survivors).data(), lost, Outputs(&rebuilt).data()));
  RecoveryCode::UsePortableOnly(false);
  for (size_t i = 0; i < lost.size(); ++i) {
    EXPECT_TRUE(rebuilt[i] == all[lost[i]]) << code.dataCount() << "+" << code.recoveryCount() << ": piece "
                                            << lost[i] << " of " << lost.size() << " lost, portable " << portable;
  }
}

TEST(RecoveryCode, RebuildsAnyLostPieces) {
  for (const Shape& shape : kShapes) {
    RecoveryCode code;
    ASSERT_TRUE(code.Init(shape.dataCount, shape.recoveryCount));
    size_t length = shape.dataCount > 20 ? 67 : 4097;
    Pieces all = RandomData(shape.dataCount, length);
    for (const std::string& piece : Encode(code, all, false)) all.push_back(piece);
    uint32_t total = shape.dataCount + shape.recoveryCount;
    // Both arithmetics share the matrices: every other piece on each (and
    // one in five of the largest sets) keeps the test short.
    uint32_t step = total > 200 ? 5 : 1;
    for (uint32_t piece = 0; piece < total; piece += step) ExpectRebuilt(code, all, {piece}, piece / step % 2 == 1);
    ExpectRebuilt(code, all, {total - 1}, true);
    for (bool portable : {false, true}) {
      if (shape.recoveryCount < 2) continue;
      ExpectRebuilt(code, all, {0, total - 1}, portable);
      ExpectRebuilt(code, all, {total - 1, 0}, portable);
      ExpectRebuilt(code, all, {shape.dataCount - 1, shape.dataCount}, portable);
      if (shape.dataCount < 2) continue;
      ExpectRebuilt(code, all, {0, 1}, portable);
      std::vector<uint32_t> most;
      for (uint32_t piece = 0; piece < shape.recoveryCount; ++piece) most.push_back(piece * 2 % total);
      ExpectRebuilt(code, all, most, portable);
    }
  }
}

TEST(RecoveryCode, RebuildsFromNDistinctPiecesOnly) {
  RecoveryCode code;
  ASSERT_TRUE(code.Init(3, 2));
  const std::vector<uint32_t> rows[] = {{0, 1}, {0, 1, 1}, {0, 1, 5}, {0, 1, 2, 3}, {}};
  Pieces survivors(4, std::string(8, 'a'));
  Pieces rebuilt(1, std::string(8, '\0'));
  for (const std::vector<uint32_t>& present : rows) {
    EXPECT_FALSE(code.Rebuild(8, present, Inputs(survivors).data(), {4}, Outputs(&rebuilt).data()))
        << present.size() << " survivors";
  }
  EXPECT_FALSE(code.Rebuild(8, {0, 1, 2}, Inputs(survivors).data(), {5}, Outputs(&rebuilt).data()));
  EXPECT_TRUE(code.Rebuild(8, {4, 0, 2}, Inputs(survivors).data(), {1}, Outputs(&rebuilt).data()));
}

}  // namespace

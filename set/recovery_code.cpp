#include "recovery_code.h"

#include <array>
#include <cstring>

#include "platform.h"

namespace {

// GF(2^8) as ISA-L builds it: the polynomial x^8 + x^4 + x^3 + x^2 + 1
// (0x11d) and the generator 2.
struct FieldTables {
  std::array<uint8_t, 512> exp{};  // twice over, so a sum of two logs needs no reduction
  std::array<uint8_t, 256> log{};
};

constexpr FieldTables MakeFieldTables() {
  FieldTables tables;
  unsigned value = 1;
  for (unsigned power = 0; power < 255; ++power) {
    tables.exp[power] = static_cast<uint8_t>(value);
    tables.exp[power + 255] = static_cast<uint8_t>(value);
    tables.log[value] = static_cast<uint8_t>(power);
    value <<= 1;
    if (value & 0x100) value ^= 0x11d;
  }
  return tables;
}

constexpr FieldTables kField = MakeFieldTables();

constexpr uint8_t Multiply(uint8_t a, uint8_t b) {
  return a == 0 || b == 0 ? 0 : kField.exp[kField.log[a] + kField.log[b]];
}

// The caller never asks for the inverse of 0.
constexpr uint8_t Inverse(uint8_t a) { return kField.exp[255 - kField.log[a]]; }

// Every product, one 256-byte row per factor: a multiplication by a known
// factor is then a single look-up, and the rows a pass needs stay in cache.
using ProductTable = std::array<std::array<uint8_t, 256>, 256>;

constexpr ProductTable MakeProductTable() {
  ProductTable table{};
  for (unsigned a = 0; a < 256; ++a) {
    for (unsigned b = 0; b < 256; ++b) table[a][b] = Multiply(static_cast<uint8_t>(a), static_cast<uint8_t>(b));
  }
  return table;
}

constexpr ProductTable kProducts = MakeProductTable();

bool portableOnly = false;

// to[g][0..length) ^= factor[g] * from[0..length) for `count` rows (at
// most kGroup): each byte of the source is read once for all of them,
// eight bytes a step where it can.
constexpr uint32_t kGroup = 8;

// The same for one row, which the compiler keeps in registers better.
void MultiplyAddOne(const uint8_t* product, const unsigned char* from, unsigned char* to, size_t length) {
  size_t at = 0;
  for (; at + 8 <= length; at += 8) {
    uint64_t in, out, sum = 0;
    std::memcpy(&in, from + at, 8);
    std::memcpy(&out, to + at, 8);
    for (unsigned byte = 0; byte < 8; ++byte) sum |= uint64_t{product[(in >> (8 * byte)) & 0xff]} << (8 * byte);
    out ^= sum;
    std::memcpy(to + at, &out, 8);
  }
  for (; at < length; ++at) to[at] ^= product[from[at]];
}

void MultiplyAdd(const uint8_t* const* products, uint32_t count, const unsigned char* from,
                 unsigned char* const* to, size_t length) {
  if (count == 1) return MultiplyAddOne(products[0], from, to[0], length);
  size_t at = 0;
  for (; at + 8 <= length; at += 8) {
    uint64_t in;
    std::memcpy(&in, from + at, 8);
    uint8_t bytes[8];
    for (unsigned byte = 0; byte < 8; ++byte) bytes[byte] = static_cast<uint8_t>(in >> (8 * byte));
    for (uint32_t g = 0; g < count; ++g) {
      const uint8_t* product = products[g];
      uint64_t out, sum = 0;
      for (unsigned byte = 0; byte < 8; ++byte) sum |= uint64_t{product[bytes[byte]]} << (8 * byte);
      std::memcpy(&out, to[g] + at, 8);
      out ^= sum;
      std::memcpy(to[g] + at, &out, 8);
    }
  }
  for (; at < length; ++at) {
    for (uint32_t g = 0; g < count; ++g) to[g][at] ^= products[g][from[at]];
  }
}

// Bytes a pass takes from each source: the rows written stay in the first
// level cache while every source is added to them.
constexpr size_t kPassBytes = 4096;

void PortableApply(size_t length, uint32_t sources, uint32_t rows, const unsigned char* matrix,
                   const unsigned char* const* in, unsigned char* const* out) {
  const uint8_t* products[kGroup];
  unsigned char* to[kGroup];
  for (size_t at = 0; at < length; at += kPassBytes) {
    size_t size = length - at < kPassBytes ? length - at : kPassBytes;
    for (uint32_t r = 0; r < rows; ++r) std::memset(out[r] + at, 0, size);
    for (uint32_t c = 0; c < sources; ++c) {
      uint32_t count = 0;
      for (uint32_t r = 0; r < rows; ++r) {
        uint8_t factor = matrix[static_cast<size_t>(r) * sources + c];
        if (factor == 0) continue;
        products[count] = kProducts[factor].data();
        to[count++] = out[r] + at;
        if (count < kGroup) continue;
        MultiplyAdd(products, count, in[c] + at, to, size);
        count = 0;
      }
      if (count > 0) MultiplyAdd(products, count, in[c] + at, to, size);
    }
  }
}

void Apply(size_t length, uint32_t sources, uint32_t rows, const unsigned char* matrix,
           const unsigned char* const* in, unsigned char* const* out) {
  if (rows == 0) return;
  if (!portableOnly && SystemErasureApply(length, sources, rows, matrix, in, out)) return;
  PortableApply(length, sources, rows, matrix, in, out);
}

// Row `piece` of the code's matrix over the N data pieces: the identity for
// a data piece, the Cauchy row 1 / (piece xor column) for a recovery piece.
void CodeRow(uint32_t dataCount, uint32_t piece, uint8_t* row) {
  for (uint32_t column = 0; column < dataCount; ++column) {
    if (piece < dataCount) {
      row[column] = piece == column ? 1 : 0;
    } else {
      row[column] = Inverse(static_cast<uint8_t>(piece ^ column));
    }
  }
}

// to ^= factor * from, for rows of n bytes.
void AddScaledRow(uint8_t factor, const uint8_t* from, uint8_t* to, uint32_t n) {
  const uint8_t* product = kProducts[factor].data();
  for (uint32_t i = 0; i < n; ++i) to[i] ^= product[from[i]];
}

// The places where a row is not zero.
void FindNonZero(const uint8_t* row, uint32_t n, std::vector<uint32_t>* places) {
  places->clear();
  for (uint32_t i = 0; i < n; ++i) {
    if (row[i] != 0) places->push_back(i);
  }
}

// Gauss–Jordan elimination of the n×n matrix into its inverse (matrix is
// destroyed). The rows of data pieces are unit rows: a pivot row adds only
// its non-zero places, so a rebuild from mostly data pieces costs about n²
// steps, not n³.
bool Invert(std::vector<uint8_t>* matrix, uint32_t n, std::vector<uint8_t>* inverse) {
  std::vector<uint8_t>& a = *matrix;
  std::vector<uint8_t>& b = *inverse;
  b.assign(static_cast<size_t>(n) * n, 0);
  for (uint32_t i = 0; i < n; ++i) b[static_cast<size_t>(i) * n + i] = 1;
  std::vector<uint32_t> placesA, placesB;
  for (uint32_t pivot = 0; pivot < n; ++pivot) {
    uint32_t found = pivot;
    while (found < n && a[static_cast<size_t>(found) * n + pivot] == 0) ++found;
    if (found == n) return false;
    if (found != pivot) {
      for (uint32_t i = 0; i < n; ++i) {
        std::swap(a[static_cast<size_t>(found) * n + i], a[static_cast<size_t>(pivot) * n + i]);
        std::swap(b[static_cast<size_t>(found) * n + i], b[static_cast<size_t>(pivot) * n + i]);
      }
    }
    uint8_t* pivotA = &a[static_cast<size_t>(pivot) * n];
    uint8_t* pivotB = &b[static_cast<size_t>(pivot) * n];
    FindNonZero(pivotA, n, &placesA);
    FindNonZero(pivotB, n, &placesB);
    const uint8_t* scale = kProducts[Inverse(pivotA[pivot])].data();
    for (uint32_t i : placesA) pivotA[i] = scale[pivotA[i]];
    for (uint32_t i : placesB) pivotB[i] = scale[pivotB[i]];
    for (uint32_t row = 0; row < n; ++row) {
      uint8_t* rowA = &a[static_cast<size_t>(row) * n];
      uint8_t* rowB = &b[static_cast<size_t>(row) * n];
      if (row == pivot || rowA[pivot] == 0) continue;
      const uint8_t* product = kProducts[rowA[pivot]].data();
      for (uint32_t i : placesA) rowA[i] ^= product[pivotA[i]];
      for (uint32_t i : placesB) rowB[i] ^= product[pivotB[i]];
    }
  }
  return true;
}

}  // namespace

bool RecoveryCode::Fits(uint64_t dataCount, uint64_t recoveryCount) {
  return dataCount >= 1 && recoveryCount >= 1 && dataCount < kMaxCodedPieces && recoveryCount < kMaxCodedPieces &&
         dataCount + recoveryCount <= kMaxCodedPieces;
}

bool RecoveryCode::Init(uint32_t dataCount, uint32_t recoveryCount) {
  if (!Fits(dataCount, recoveryCount)) return false;
  dataCount_ = dataCount;
  recoveryCount_ = recoveryCount;
  return true;
}

void RecoveryCode::Encode(size_t length, const unsigned char* const* data, unsigned char* const* recovery) const {
  std::vector<uint8_t> matrix(static_cast<size_t>(recoveryCount_) * dataCount_);
  for (uint32_t j = 0; j < recoveryCount_; ++j) {
    CodeRow(dataCount_, dataCount_ + j, &matrix[static_cast<size_t>(j) * dataCount_]);
  }
  Apply(length, dataCount_, recoveryCount_, matrix.data(), data, recovery);
}

bool RecoveryCode::Rebuild(size_t length, const std::vector<uint32_t>& present,
                           const unsigned char* const* presentBytes, const std::vector<uint32_t>& lost,
                           unsigned char* const* lostBytes) const {
  const uint32_t n = dataCount_;
  const uint32_t total = dataCount_ + recoveryCount_;
  // A piece named twice makes the matrix below singular: Invert refuses it.
  if (n == 0 || present.size() != n) return false;
  for (uint32_t piece : present) {
    if (piece >= total) return false;
  }
  for (uint32_t piece : lost) {
    if (piece >= total) return false;
  }
  // Each surviving data piece on the row of its own number, the others on
  // the rows left: the matrix starts out nearly diagonal, and the
  // elimination seldom has to swap rows.
  std::vector<uint32_t> order(n, total);
  std::vector<uint32_t> others;
  for (uint32_t s = 0; s < n; ++s) {
    if (present[s] < n && order[present[s]] == total) {
      order[present[s]] = s;
    } else {
      others.push_back(s);
    }
  }
  // The survivors are this matrix times the data; its inverse gives the
  // data back from them, and a recovery row times that, a recovery piece.
  std::vector<uint8_t> survivors(static_cast<size_t>(n) * n);
  std::vector<const unsigned char*> sources(n);
  for (uint32_t row = 0; row < n; ++row) {
    if (order[row] == total) {
      order[row] = others.back();
      others.pop_back();
    }
    CodeRow(n, present[order[row]], &survivors[static_cast<size_t>(row) * n]);
    sources[row] = presentBytes[order[row]];
  }
  std::vector<uint8_t> inverse;
  if (!Invert(&survivors, n, &inverse)) return false;
  std::vector<uint8_t> rows(lost.size() * n, 0);
  std::vector<uint8_t> code(n);
  for (size_t l = 0; l < lost.size(); ++l) {
    uint8_t* row = &rows[l * n];
    CodeRow(n, lost[l], code.data());
    for (uint32_t i = 0; i < n; ++i) {
      if (code[i] != 0) AddScaledRow(code[i], &inverse[static_cast<size_t>(i) * n], row, n);
    }
  }
  Apply(length, n, static_cast<uint32_t>(lost.size()), rows.data(), sources.data(), lostBytes);
  return true;
}

const char* RecoveryCode::Implementation() {
  const char* system = SystemErasureName();
  return portableOnly || system == nullptr ? "portable" : system;
}

void RecoveryCode::UsePortableOnly(bool only) { portableOnly = only; }

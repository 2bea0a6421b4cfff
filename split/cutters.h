// Where the pieces of a split end when they are found in the data as it
// streams past: after each occurrence of a keyword, or every so many bytes
// of a source whose size is not known in advance.
#ifndef DORVENAL_CUTTERS_H
#define DORVENAL_CUTTERS_H

#include <cstddef>
#include <cstdint>
#include <string>

class Cutter {
 public:
  virtual ~Cutter() = default;
  // Looks at window[from, size) for the end of the current piece; bytes
  // before `from` belong to it already. True with *cutEnd, an index into
  // the window, when the piece ends there.
  virtual bool FindCut(const unsigned char* window, size_t from, size_t size, size_t* cutEnd) = 0;
  // How many of the window's last bytes the next window must begin with.
  virtual size_t CarryAfter(size_t from, size_t size) const = 0;
  // Whether the piece after the last cut is written even when empty.
  virtual bool KeepsEmptyTail() const = 0;
};

// Each piece ends just after an occurrence; occurrences never overlap, and
// none is looked for after the text's first zero byte.
class KeywordCutter : public Cutter {
 public:
  explicit KeywordCutter(const std::string& keyword) : keyword_(keyword) {}
  bool FindCut(const unsigned char* window, size_t from, size_t size, size_t* cutEnd) override;
  size_t CarryAfter(size_t from, size_t size) const override;
  bool KeepsEmptyTail() const override { return true; }

 private:
  std::string keyword_;
  bool textEnded_ = false;
};

// Pieces of pieceBytes, the last one holding what is left.
class SizeCutter : public Cutter {
 public:
  explicit SizeCutter(uint64_t pieceBytes) : pieceBytes_(pieceBytes) {}
  bool FindCut(const unsigned char*, size_t from, size_t size, size_t* cutEnd) override {
    if (pieceBytes_ - seen_ > size - from) {
      seen_ += size - from;
      return false;
    }
    *cutEnd = from + static_cast<size_t>(pieceBytes_ - seen_);
    seen_ = 0;
    return true;
  }
  size_t CarryAfter(size_t, size_t) const override { return 0; }
  bool KeepsEmptyTail() const override { return false; }

 private:
  uint64_t pieceBytes_;
  uint64_t seen_ = 0;  // bytes of the current piece so far
};

#endif

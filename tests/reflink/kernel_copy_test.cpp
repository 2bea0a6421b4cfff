// The kernel copy moves both positions by exactly what it copied, and says
// "unsupported" (taking nothing) where the caller's own buffer must go on.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform.h"
#include "test_files.h"

namespace {

// An unnamed file in the working directory holding these bytes, at position `at`.
int FileWith(const std::string& bytes, off_t at) {
  char name[] = "kernel_copy.XXXXXX";
  int fd = ::mkstemp(name);
  ::unlink(name);
  EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  ::lseek(fd, at, SEEK_SET);
  return fd;
}

std::string ReadAll(int fd) {
  std::string all;
  char buffer[65536];
  ::lseek(fd, 0, SEEK_SET);
  for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) all.append(buffer, static_cast<size_t>(got));
  return all;
}

struct CopyCase {
  size_t sourceSize;
  off_t from;      // the source's position
  off_t to;        // the destination's, which already holds that many bytes
  uint64_t length;
  uint64_t copied;
  bool unsupported;  // the end came first: the caller's read tells
};

TEST(KernelCopy, MovesBothPositionsByWhatItCopied) {
  const CopyCase cases[] = {
      {100000, 0, 0, 100000, 100000, false},
      {100000, 4097, 3, 50000, 50000, false},
      {100000, 90000, 0, 50000, 10000, true},
      {100000, 100000, 0, 1, 0, true},
      {100000, 7, 0, 0, 0, false},
      // More than one call's worth, from an unaligned position.
      {(size_t{17} << 20) + 5, 1, 1, (uint64_t{17} << 20) + 4, (uint64_t{17} << 20) + 4, false},
  };
  for (const CopyCase& c : cases) {
    const std::string source = PatternBytes(c.sourceSize);
    int in = FileWith(source, c.from);
    int out = FileWith(std::string(static_cast<size_t>(c.to), 'x'), c.to);
    uint64_t copied = 99;
    bool unsupported = !c.unsupported;
    EXPECT_EQ(CopyInKernel(FileHandle{in}, FileHandle{out}, c.length, &copied, &unsupported), kNoError);
    EXPECT_EQ(copied, c.copied) << c.from << "+" << c.length;
    EXPECT_EQ(unsupported, c.unsupported) << c.from << "+" << c.length;
    EXPECT_EQ(::lseek(in, 0, SEEK_CUR), c.from + static_cast<off_t>(c.copied));
    EXPECT_EQ(::lseek(out, 0, SEEK_CUR), c.to + static_cast<off_t>(c.copied));
    std::string written = ReadAll(out);
    EXPECT_TRUE(written.size() == c.to + c.copied && written.compare(0, c.to, std::string(c.to, 'x')) == 0 &&
                written.compare(c.to, c.copied, source, c.from, c.copied) == 0);
    ::close(in);
    ::close(out);
  }
}

// Sources the kernel cannot copy from: nothing is taken from them.
TEST(KernelCopy, LeavesStreamsAndSizelessFilesToTheCaller) {
  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  ASSERT_EQ(::write(pipeEnds[1], "abc", 3), 3);
  int proc = ::open("/proc/self/stat", O_RDONLY);  // a regular file of size 0
  ASSERT_GE(proc, 0);
  for (int in : {pipeEnds[0], proc}) {
    int out = FileWith("", 0);
    uint64_t copied = 99;
    bool unsupported = false;
    EXPECT_EQ(CopyInKernel(FileHandle{in}, FileHandle{out}, 3, &copied, &unsupported), kNoError);
    EXPECT_EQ(copied, 0u);
    EXPECT_TRUE(unsupported);
    char head[3];
    EXPECT_EQ(::read(in, head, 3), 3) << "the source's first bytes are still there";
    ::close(out);
  }
  ::close(pipeEnds[0]);
  ::close(pipeEnds[1]);
  ::close(proc);
}

TEST(KernelCopy, ReportsADestinationItCannotWrite) {
  int in = FileWith("abc", 0);
  char name[] = "kernel_copy.XXXXXX";
  ::close(::mkstemp(name));
  int out = ::open(name, O_RDONLY);
  ::unlink(name);
  uint64_t copied = 99;
  bool unsupported = true;
  EXPECT_EQ(CopyInKernel(FileHandle{in}, FileHandle{out}, 3, &copied, &unsupported), EBADF);
  EXPECT_FALSE(unsupported);
  EXPECT_EQ(copied, 0u);
  ::close(in);
  ::close(out);
}

}  // namespace

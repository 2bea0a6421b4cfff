// Copies as the split and the join do, either through a buffer (128 KiB
// reads into 256 KiB, then one write) or with copy_file_range in calls of
// a given size, so that the two can be timed against each other:
//
//   g++ -O2 -o copy_calls bench/copy_calls.cpp
//   copy_calls split CALL_KIB PIECE_MIB SOURCE OUT_DIR   (OUT_DIR/p.1, p.2, ...)
//   copy_calls join CALL_KIB OUT_DIR PIECE...            (OUT_DIR/joined)
//
// CALL_KIB 0 is the buffered copy. Outputs are replaced, or with
// COPY_CALLS_OVERWRITE=1 in the environment overwritten in place, which
// keeps a disk file system's allocation and writeback out of the figures.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

char buffer[256 << 10];

[[noreturn]] void Die(const std::string& what) {
  std::perror(what.c_str());
  std::exit(1);
}

int Create(const std::string& path) {
  int flags = O_WRONLY | O_CREAT | (std::getenv("COPY_CALLS_OVERWRITE") ? 0 : O_TRUNC);
  int fd = ::open(path.c_str(), flags, 0644);
  if (fd < 0) Die(path);
  return fd;
}

// Copies up to length bytes from the files' positions; stops at the end.
void Copy(int from, int to, uint64_t length, uint64_t call) {
  while (length > 0) {
    size_t got = 0;
    if (call == 0) {
      size_t want = length < sizeof buffer ? length : sizeof buffer;
      while (got < want) {
        size_t ask = want - got < (128 << 10) ? want - got : (128 << 10);
        ssize_t read = ::read(from, buffer + got, ask);
        if (read < 0) Die("read");
        if (read == 0) break;
        got += static_cast<size_t>(read);
      }
      if (got > 0 && ::write(to, buffer, got) != static_cast<ssize_t>(got)) Die("write");
    } else {
      ssize_t copied = ::copy_file_range(from, nullptr, to, nullptr, length < call ? length : call, 0);
      if (copied < 0) Die("copy_file_range");
      got = static_cast<size_t>(copied);
    }
    if (got == 0) return;
    length -= got;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fputs("usage: copy_calls split CALL_KIB PIECE_MIB SOURCE OUT_DIR | join CALL_KIB OUT_DIR PIECE...\n", stderr);
    return 2;
  }
  const std::string mode = argv[1];
  const uint64_t call = std::strtoull(argv[2], nullptr, 10) << 10;
  if (mode == "split" && argc == 6) {
    const uint64_t piece = std::strtoull(argv[3], nullptr, 10) << 20;
    int from = ::open(argv[4], O_RDONLY);
    if (from < 0) Die(argv[4]);
    const uint64_t size = static_cast<uint64_t>(::lseek(from, 0, SEEK_END));
    ::lseek(from, 0, SEEK_SET);
    int number = 0;
    for (uint64_t done = 0; done < size; done += piece) {
      int to = Create(std::string(argv[5]) + "/p." + std::to_string(++number));
      Copy(from, to, size - done < piece ? size - done : piece, call);
      if (::close(to) != 0) Die("close");
    }
    return 0;
  }
  if (mode == "join") {
    int to = Create(std::string(argv[3]) + "/joined");
    for (int i = 4; i < argc; ++i) {
      int from = ::open(argv[i], O_RDONLY);
      if (from < 0) Die(argv[i]);
      Copy(from, to, UINT64_MAX, call);
      ::close(from);
    }
    if (::close(to) != 0) Die("close");
    return 0;
  }
  return 2;
}

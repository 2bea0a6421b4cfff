// The copy inside the kernel, on POSIX systems with copy_file_range (Linux,
// FreeBSD). Where the file system can share blocks (XFS with reflink,
// btrfs, bcachefs, OpenZFS), block-aligned ranges are shared rather than
// copied; elsewhere the kernel copies without a trip through our buffer.
#include <unistd.h>

#include <cerrno>

#include "fault_seam.h"
#include "platform.h"

namespace {

// Each call asks for at most this much. On cached data on tmpfs and ext4,
// calls from 256 KiB to 1 GiB all beat the 128 KiB read / 256 KiB write
// copy; 16 MiB was as fast as any, and it keeps each call short enough for
// a stop to be seen soon after the signal on a slow disk.
constexpr uint64_t kCallSize = uint64_t{16} << 20;

// Errors that say the kernel will not copy between these files, not that
// the data cannot be read or written: across file systems (older kernels,
// or file systems of different kinds), anything but two regular files (a
// pipe, a terminal: refused before anything is taken from them), a system
// without the call, a sandbox that hides it.
bool MeansUnsupported(int error) {
  return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

}  // namespace

SystemError CopyInKernel(FileHandle from, FileHandle to, uint64_t length, uint64_t* copied, bool* unsupported) {
  *copied = 0;
  *unsupported = false;
  int in = static_cast<int>(from.value);
  int out = static_cast<int>(to.value);
  if (SystemError fault = InjectedFault(FaultCall::kWrite)) return fault;
  while (*copied < length) {
    uint64_t rest = length - *copied;
    size_t ask = static_cast<size_t>(rest < kCallSize ? rest : kCallSize);
    // Null offsets: the kernel moves both files' positions by what it copied.
    ssize_t done = ::copy_file_range(in, nullptr, out, nullptr, ask, 0);
    if (done > 0) {
      *copied += static_cast<uint64_t>(done);
      continue;
    }
    if (done == 0) {
      // The end of the source, or a file the kernel declines without a word
      // (those of /proc report no size): the caller's reads tell which.
      *unsupported = true;
      return kNoError;
    }
    if (errno == EINTR) continue;
    if (MeansUnsupported(errno)) {
      *unsupported = true;
      return kNoError;
    }
    return errno;
  }
  return kNoError;
}

// What tells how many files to read at once: the processors, and the kind
// of disk.
#include <sched.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform.h"

unsigned CountProcessors() {
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) > 0) {
    return static_cast<unsigned>(CPU_COUNT(&allowed));
  }
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<unsigned>(online) : 1;
}

namespace {

// The first character of a file of /sys, or 0.
char FirstCharacter(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return 0;
  const int c = std::fgetc(file);
  std::fclose(file);
  return c == EOF ? 0 : static_cast<char>(c);
}

}  // namespace

bool ReadsOneAtATime(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return false;
  // The block device behind the file; a partition's queue is its disk's.
  const std::string device =
      "/sys/dev/block/" + std::to_string(major(info.st_dev)) + ":" + std::to_string(minor(info.st_dev));
  char resolved[PATH_MAX];
  // No block device (tmpfs, a network file system): nothing seeks.
  if (realpath(device.c_str(), resolved) == nullptr) return false;
  const std::string real = resolved;
  if (real.find("/usb") != std::string::npos) return true;
  return FirstCharacter(real + "/queue/rotational") == '1' || FirstCharacter(real + "/../queue/rotational") == '1';
}

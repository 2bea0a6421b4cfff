// The e2e tests take the program and the probe DLL from the command line:
//   dorvenal_e2e_tests [gtest flags] PATH\Dorvenal.exe PATH\probe.dll [PATH\dorvenal-cli.exe]
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "driver.h"

namespace {
std::string WindowsPath(std::string path) {
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}
}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: %s [gtest flags] Dorvenal.exe probe.dll [dorvenal-cli.exe]\n", argv[0]);
    return 2;
  }
  Config().programPath = WindowsPath(argv[1]);
  Config().probePath = WindowsPath(argv[2]);
  if (argc == 4) Config().cliPath = WindowsPath(argv[3]);
  return RUN_ALL_TESTS();
}

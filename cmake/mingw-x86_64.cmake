# Cross build for 64-bit Windows with Debian's MinGW-w64: the Windows tests
# on a host that runs no 32-bit code, where only a 64-bit Wine works.
# The shipped program uses the win32 thread model: the posix one links
# winpthreads, whose imports (GetTickCount64, ...) old Windows lacks.
# GoogleTest needs std::mutex, which only the posix model has.
set(DORVENAL_MINGW_THREADS posix CACHE STRING "MinGW thread model: win32 (program) or posix (tests)")
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-${DORVENAL_MINGW_THREADS})
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-${DORVENAL_MINGW_THREADS})
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)

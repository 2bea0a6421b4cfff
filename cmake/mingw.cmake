# Cross build for Windows with Debian's MinGW-w64, for the processor the
# including toolchain file names in DORVENAL_MINGW_PROCESSOR (i686 or x86_64).
# The shipped program uses the win32 thread model: the posix one links
# winpthreads, whose imports (GetTickCount64, ...) old Windows lacks.
# GoogleTest needs std::mutex, which only the posix model has.
set(DORVENAL_MINGW_THREADS posix CACHE STRING "MinGW thread model: win32 (program) or posix (tests)")
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${DORVENAL_MINGW_PROCESSOR})
set(CMAKE_C_COMPILER ${DORVENAL_MINGW_PROCESSOR}-w64-mingw32-gcc-${DORVENAL_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${DORVENAL_MINGW_PROCESSOR}-w64-mingw32-g++-${DORVENAL_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${DORVENAL_MINGW_PROCESSOR}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${DORVENAL_MINGW_PROCESSOR}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)

# The Windows tests as a 64-bit build, for a host that runs no 32-bit code,
# where only a 64-bit Wine works.
set(DORVENAL_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)

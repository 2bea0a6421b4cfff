# The 32-bit Windows program as shipped, and its tests under Wine.
set(DORVENAL_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)

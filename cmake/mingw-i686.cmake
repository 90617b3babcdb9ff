# Cross-compiling for 32-bit Windows: the shipped UpDate.exe and its tests.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(UPDATE_MINGW_TRIPLE i686-w64-mingw32)
include("${CMAKE_CURRENT_LIST_DIR}/mingw.cmake")

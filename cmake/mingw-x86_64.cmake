# Cross-compiling the same sources for 64-bit Windows: a test build only.
# 64-bit Wine runs these programs natively on every machine, including those
# that run 32-bit programs only through an emulator. The shipped UpDate.exe
# stays the 32-bit one (mingw-i686.cmake).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(UPDATE_MINGW_TRIPLE x86_64-w64-mingw32)
include("${CMAKE_CURRENT_LIST_DIR}/mingw.cmake")

# The MinGW-w64 cross compilers for the triple the including toolchain file
# names in UPDATE_MINGW_TRIPLE. The -posix variants carry std::mutex, which
# GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${UPDATE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${UPDATE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${UPDATE_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${UPDATE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

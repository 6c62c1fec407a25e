# Cross-build for 64-bit Windows with the posix-thread mingw-w64 compilers.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TOLMERA_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TOLMERA_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOLMERA_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TOLMERA_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOLMERA_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# 64-bit programs go straight to the 64-bit loader; /usr/bin/wine picks the 32-bit one.
set(TOLMERA_WINE_LOADER /usr/lib/wine/wine64)

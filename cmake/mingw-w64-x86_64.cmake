# Cross-compiles for 64-bit Windows with the posix-thread MinGW-w64 g++.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

# The static OpenSSL build for this target lives outside the tree (see scripts/mingw-openssl-prefix).
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
if(DEFINED ENV{TILVANE_MINGW_OPENSSL})
  list(APPEND CMAKE_FIND_ROOT_PATH "$ENV{TILVANE_MINGW_OPENSSL}")
  set(OPENSSL_ROOT_DIR "$ENV{TILVANE_MINGW_OPENSSL}" CACHE PATH "")
endif()
# So are the static picture codecs (see scripts/build-mingw-pictures).
if(DEFINED ENV{TILVANE_MINGW_PICTURES})
  list(APPEND CMAKE_FIND_ROOT_PATH "$ENV{TILVANE_MINGW_PICTURES}")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained exe: no libstdc++, libgcc or winpthread DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

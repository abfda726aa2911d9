# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (POSIX threads variant, GCC 12).
# scripts/build-windows.sh passes it; TARN_WINDOWS_DEPS names the prefix of the codec libraries
# it built from Debian's source packages.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARN_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TARN_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARN_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TARN_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TARN_MINGW} $ENV{TARN_WINDOWS_DEPS} ${TARN_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# JUCE's package (and its host tool juceaide) comes from the build machine.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

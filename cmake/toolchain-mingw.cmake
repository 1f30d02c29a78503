# Cross-build for Windows with the posix-thread MinGW compiler (the
# win32-thread variant has no std::thread or std::mutex), for the processor
# PINLARK_MINGW_ARCH names: x86_64 (64-bit Windows, the default) or i686
# (32-bit Windows). Programs link the GCC runtime and winpthread statically,
# so each .exe runs on its own, and run under Wine wherever CMake or CTest
# needs to execute them.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT PINLARK_MINGW_ARCH)
  set(PINLARK_MINGW_ARCH x86_64)
endif()
# CMake's test projects read this file too, without the cache.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES PINLARK_MINGW_ARCH PINLARK_WINDOWS_DEPS)
if(PINLARK_MINGW_ARCH STREQUAL "x86_64")
  set(CMAKE_SYSTEM_PROCESSOR AMD64)
elseif(PINLARK_MINGW_ARCH STREQUAL "i686")
  set(CMAKE_SYSTEM_PROCESSOR X86)
else()
  message(FATAL_ERROR "PINLARK_MINGW_ARCH is x86_64 or i686, not '${PINLARK_MINGW_ARCH}'")
endif()

set(PINLARK_MINGW_TRIPLET ${PINLARK_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${PINLARK_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PINLARK_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${PINLARK_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PINLARK_MINGW_TRIPLET} ${PINLARK_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Wine in the build's own prefix (scripts/wine-run.sh), never the user's.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh ${CMAKE_BINARY_DIR}/wine)

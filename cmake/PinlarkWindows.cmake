# System libraries of the Windows cross-build, under the target names the
# Linux build gets from pkg-config, so the shared build files need no branch.
find_package(ZLIB REQUIRED)
find_package(Freetype REQUIRED)
find_package(PNG REQUIRED)
add_library(PkgConfig::PINLARK_FT INTERFACE IMPORTED GLOBAL)
# The static FreeType reads compressed fonts through zlib.
target_link_libraries(PkgConfig::PINLARK_FT INTERFACE Freetype::Freetype ZLIB::ZLIB)
add_library(PkgConfig::PINLARK_PNG INTERFACE IMPORTED GLOBAL)
target_link_libraries(PkgConfig::PINLARK_PNG INTERFACE PNG::PNG)

# GoogleTest from Debian's sources, built by the cross compiler (it names its
# targets GTest::gtest and so on itself).
macro(pinlark_windows_googletest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(_gtest_lib gtest gtest_main gmock gmock_main)
    # Its headers are a system's: our warnings are not its business.
    target_compile_options(${_gtest_lib} PRIVATE -w)
  endforeach()
endmacro()

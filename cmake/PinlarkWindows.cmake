# Programs carry version information and a manifest (windres).
enable_language(RC)

# What the build targets: the downloads' names, the processor the manifests
# name, and the oldest Windows its programs start on ("6.1" is Windows 7; see
# packaging/windows/system-imports.txt).
# x86 reaches back to Windows XP SP3 ("5.1"), where many PCs with a parallel
# port stay.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(PINLARK_WINDOWS_ARCH win32)
  set(PINLARK_WINDOWS_MSI_ARCH x86)
  set(PINLARK_WINDOWS_MANIFEST_ARCH x86)
  set(PINLARK_WINDOWS_FLOOR 5.1)
else()
  set(PINLARK_WINDOWS_ARCH win64)
  set(PINLARK_WINDOWS_MSI_ARCH x64)
  set(PINLARK_WINDOWS_MANIFEST_ARCH amd64)
  set(PINLARK_WINDOWS_FLOOR 6.1)
endif()
set(PINLARK_WINDOWS_ZIP_NAME pinlark-${PROJECT_VERSION}-${PINLARK_WINDOWS_ARCH})
set(PINLARK_WINDOWS_MSI_NAME pinlark-${PROJECT_VERSION}-${PINLARK_WINDOWS_MSI_ARCH})

# System libraries of the Windows cross-build, under the target names the
# Linux build gets from pkg-config, so the shared build files need no branch.
# zlib's static library: the import library would have the programs need a
# zlib1.dll that Windows does not have (-static does not reach a library
# named by its full path).
set(ZLIB_USE_STATIC_LIBS ON)
if(ZLIB_LIBRARY_RELEASE MATCHES "\\.dll\\.a$")
  unset(ZLIB_LIBRARY_RELEASE CACHE)  # a folder configured before keeps it
endif()
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

# Version information and a manifest in a program's resources; ICON adds the
# window program's icon, ADMINISTRATOR has Windows ask for the rights that
# installing the driver needs before the program starts.
#   pinlark_windows_resources(target [ICON] [ADMINISTRATOR] DESCRIPTION "text")
function(pinlark_windows_resources target)
  cmake_parse_arguments(R "ICON;ADMINISTRATOR" "DESCRIPTION" "" ${ARGN})
  set(PINLARK_RC_NAME ${target})
  set(PINLARK_RC_DESCRIPTION "${R_DESCRIPTION}")
  set(PINLARK_RC_LEVEL asInvoker)
  if(R_ADMINISTRATOR)
    set(PINLARK_RC_LEVEL requireAdministrator)
  endif()
  set(PINLARK_RC_ICON "")
  if(R_ICON)
    set(PINLARK_RC_ICON "1 ICON \"${PROJECT_SOURCE_DIR}/packaging/windows/pinlark.ico\"")
    set_property(SOURCE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc APPEND PROPERTY OBJECT_DEPENDS
      ${PROJECT_SOURCE_DIR}/packaging/windows/pinlark.ico)
  endif()
  set(PINLARK_RC_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/program.manifest.in ${PINLARK_RC_MANIFEST} @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/program.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc
    @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  set_property(SOURCE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc APPEND PROPERTY OBJECT_DEPENDS
    ${PINLARK_RC_MANIFEST})
endfunction()

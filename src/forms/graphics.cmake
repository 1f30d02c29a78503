# Graphics half of the form framework: object model, runtime helpers, colours,
# surfaces, the canvas rasteriser, FreeType text and PNG output.
pkg_check_modules(PINLARK_FT REQUIRED IMPORTED_TARGET GLOBAL freetype2 fontconfig)
pkg_check_modules(PINLARK_PNG REQUIRED IMPORTED_TARGET GLOBAL libpng)

add_library(pinlark_graphics STATIC
  ${CMAKE_CURRENT_LIST_DIR}/types.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sysutils.cpp
  ${CMAKE_CURRENT_LIST_DIR}/classes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/graphics.cpp
  ${CMAKE_CURRENT_LIST_DIR}/canvas.cpp
  ${CMAKE_CURRENT_LIST_DIR}/raster.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/png.cpp)
target_include_directories(pinlark_graphics PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(pinlark_graphics
  PUBLIC Threads::Threads
  PRIVATE PkgConfig::PINLARK_FT PkgConfig::PINLARK_PNG)

# Colour glyph button and shadowed caption label.
list(APPEND PINLARK_WIDGET_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/AbCBitBt.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ovclabel.cpp)

# Two-state base, painting routines, LED, data link and flash timer.
list(APPEND PINLARK_WIDGET_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/_AbProc.cpp
  ${CMAKE_CURRENT_LIST_DIR}/_GClass.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AbLED.cpp
  ${CMAKE_CURRENT_LIST_DIR}/_AbDB.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AbDBCtrls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AbThread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/_AbFlash.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AbFlashT.cpp
)

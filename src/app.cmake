# The program: the console window (Unit1, Unit2) as a library the console
# tests and benchmarks link, and the executable `pinlark` beside LPTWDMIO.SYS.
add_library(pinlark_console STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Unit1.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Unit1Layout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Unit2.cpp)
target_include_directories(pinlark_console PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(pinlark_console PUBLIC pinlark_widgets pinlark_forms pinlark_lptio)

add_executable(pinlark
  ${CMAKE_CURRENT_LIST_DIR}/Project1.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CloseSignalsPosix.cpp)
target_link_libraries(pinlark PRIVATE pinlark_console Threads::Threads)
# The simulated or ppdev port bank is loaded from beside the program.
add_dependencies(pinlark lptwdmio)

# Controls, forms, the application loop, message boxes, standard controls,
# timer, threads and data links.
add_library(pinlark_forms STATIC
  ${CMAKE_CURRENT_LIST_DIR}/controls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/forms.cpp
  ${CMAKE_CURRENT_LIST_DIR}/application.cpp
  ${CMAKE_CURRENT_LIST_DIR}/msgbox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stdctrls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/extctrls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/threads.cpp
  ${CMAKE_CURRENT_LIST_DIR}/db.cpp
  ${CMAKE_CURRENT_LIST_DIR}/headless_app.cpp)
target_include_directories(pinlark_forms PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(pinlark_forms PUBLIC pinlark_graphics pinlark_display_headless pinlark_display_x11
  Threads::Threads)

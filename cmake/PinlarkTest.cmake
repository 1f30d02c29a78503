# pinlark_add_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [LABELS l1 l2])
# One GoogleTest binary per area; ctest sees every test case.
function(pinlark_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  if(WIN32)
    # Under Wine a process start costs far more than a test case: one CTest
    # test per binary, in the build's Wine prefix.
    target_link_libraries(${name} PRIVATE ${T_LIBS} pinlark_test_no_default_display GTest::gtest GTest::gmock
                                          GTest::gtest_main Threads::Threads)
    add_test(NAME windows.${name} COMMAND ${name} WORKING_DIRECTORY ${PINLARK_BIN_DIR})
    set_tests_properties(windows.${name} PROPERTIES LABELS "windows;${T_LABELS}" TIMEOUT 300
                                                    FIXTURES_REQUIRED wine_prefix)
    return()
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} pinlark_test_private_simulation GTest::gtest GTest::gmock
                                        GTest::gtest_main Threads::Threads)
  # Discovery passes PROPERTIES through several list expansions, and a list
  # of labels comes out as stray property names; the labels are set by a
  # script of our own that runs after the discovered tests exist.
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${PINLARK_BIN_DIR}
    TEST_LIST ${name}_TESTS
    PROPERTIES TIMEOUT 120)
  if(T_LABELS)
    set(_script "${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake")
    file(WRITE "${_script}"
         "if(${name}_TESTS)\n  set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${T_LABELS}\")\nendif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${_script}")
  endif()
endfunction()

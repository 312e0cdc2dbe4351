# corvale_add_windows_test(<name> LABELS <label>... SOURCES <file>... LIBS <target>...)
# Builds one GoogleTest program for Windows and registers its tests with
# CTest under the label `windows` and the given labels. The tests are found
# and run under Wine (the toolchain's emulator) when ctest runs, so building
# needs neither Wine nor a display.
include(GoogleTest)

if(NOT TARGET gtest)
  # GoogleTest from the sources Debian ships (libgtest-dev), built for Windows.
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

function(corvale_add_windows_test name)
  cmake_parse_arguments(ARG "" "" "LABELS;SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  # The first discovery may create the Wine prefix, which takes a while.
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 300
    TEST_LIST ${name}_TESTS
    PROPERTIES ${ARG_PROPERTIES})
  # As in corvale_add_test: the labels go on in a script of their own.
  set(labels windows ${ARG_LABELS})
  set(labels_script ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
  file(WRITE ${labels_script}
    "if(${name}_TESTS)\n"
    "  set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${labels}\")\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${labels_script})
endfunction()

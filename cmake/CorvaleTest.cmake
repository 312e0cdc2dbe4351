# corvale_add_test(<name> LABELS <label>... SOURCES <file>... LIBS <target>...)
# Builds one GoogleTest executable and registers its tests with CTest under
# the given labels, so that `ctest -L core` runs the fast part alone.
include(GoogleTest)

function(corvale_add_test name)
  cmake_parse_arguments(ARG "" "" "LABELS;SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  # The discovery script flattens the list of a property: with more than one
  # label, all but the first would be taken for property names. The labels go
  # on in a script of their own, included after the discovered tests.
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    TEST_LIST ${name}_TESTS
    PROPERTIES ${ARG_PROPERTIES})
  set(labels_script ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
  file(WRITE ${labels_script}
    "if(${name}_TESTS)\n"
    "  set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${ARG_LABELS}\")\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${labels_script})
endfunction()

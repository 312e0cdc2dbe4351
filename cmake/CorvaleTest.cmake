# corvale_add_test(<name> LABELS <label>... SOURCES <file>... LIBS <target>...)
# Builds one GoogleTest executable and registers its tests with CTest under
# the given labels, so that `ctest -L core` runs the fast part alone.
include(GoogleTest)

function(corvale_add_test name)
  cmake_parse_arguments(ARG "" "" "LABELS;SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${ARG_LABELS}" ${ARG_PROPERTIES})
endfunction()

# Helpers shared by every folder of the tree.

# vt_add_subdirectories(<folder>...): adds each folder that has a CMakeLists.txt, so that a
# folder joins the build by existing.
function(vt_add_subdirectories)
  foreach(dir IN LISTS ARGN)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()

set(VT_PER_TEST_HOME_SOURCE ${CMAKE_CURRENT_LIST_DIR}/per_test_home.cpp)

# vt_add_test(<name> SOURCES <files>... LIBS <targets>... [LABELS <labels>...])
# One GoogleTest executable, registered with ctest test by test. Tests run with a private
# VELLUMTRACE_HOME and XDG folders under the build tree so they never touch the user's data;
# per_test_home.cpp gives each test process a folder of its own beneath them.
function(vt_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${VT_PER_TEST_HOME_SOURCE})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    VT_CORPUS_DIR="${VT_CORPUS_DIR}"
    VT_SOURCE_DIR="${VT_SOURCE_DIR}"
    VT_TEST_BINARY_DIR="${CMAKE_CURRENT_BINARY_DIR}")
  set(home ${CMAKE_BINARY_DIR}/test-home/${name})
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES
      LABELS "unit;${ARG_LABELS}"
      ENVIRONMENT "VELLUMTRACE_HOME=${home}/config;XDG_DATA_HOME=${home}/data;XDG_CACHE_HOME=${home}/cache;XDG_CONFIG_HOME=${home}/xdgconfig")
endfunction()

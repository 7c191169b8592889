# GoogleTest comes from the distribution's sources, built with the project's own compiler
# (so the same package serves the native and the Windows builds).
include_guard(GLOBAL)
enable_testing()

set(ZK_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT TARGET gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${ZK_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()

include(GoogleTest)

# A native test executable: every test is its own ctest entry.
function(zk_native_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE gtest gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endfunction()

# A Windows test executable run by Wine: one ctest entry for the whole executable, since
# every Wine process start is expensive under emulation.
set(ZK_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "Wine prefix of this build tree")
#   zk_wine_test(name timeout [COMMAND target args...] [WORKING_DIRECTORY dir])
# runs the target `name` unless COMMAND names another.
function(zk_wine_test name timeout)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "WORKING_DIRECTORY" "COMMAND")
  if(NOT arg_COMMAND)
    set(arg_COMMAND ${name})
  endif()
  if(NOT arg_WORKING_DIRECTORY)
    set(arg_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  add_test(NAME ${name} COMMAND ${arg_COMMAND} WORKING_DIRECTORY ${arg_WORKING_DIRECTORY})
  # wine-run.sh enforces `timeout` itself and kills the test's whole process group;
  # ctest's limit is only the backstop.
  math(EXPR backstop "${timeout} + 60")
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${backstop}
    ENVIRONMENT "WINEPREFIX=${ZK_WINE_PREFIX};ZK_WINE_TIMEOUT=${timeout}")
endfunction()

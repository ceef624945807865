# Finds GoogleTest for the tests and sets TOLVANE_HAVE_TEST_FRAMEWORK. With
# TOLVANE_BUILD_TESTS=ON a missing GoogleTest stops the configure with the
# package to install; with AUTO the tool is built without its tests.
set(TOLVANE_HAVE_TEST_FRAMEWORK OFF)
if(CMAKE_CROSSCOMPILING)
  # The system's GoogleTest is built for the host; build it from its sources
  # for the target instead.
  set(TOLVANE_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
  if(EXISTS ${TOLVANE_GTEST_SOURCE_DIR}/CMakeLists.txt)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${TOLVANE_GTEST_SOURCE_DIR} googletest EXCLUDE_FROM_ALL)
    set(TOLVANE_HAVE_TEST_FRAMEWORK ON)
  endif()
  set(tolvane_gtest_package googletest)
else()
  find_package(GTest QUIET)
  set(TOLVANE_HAVE_TEST_FRAMEWORK ${GTest_FOUND})
  set(tolvane_gtest_package libgtest-dev)
endif()

if(NOT TOLVANE_HAVE_TEST_FRAMEWORK)
  set(tolvane_gtest_hint "GoogleTest was not found. On Debian and Ubuntu: "
    "sudo apt-get install ${tolvane_gtest_package}")
  if(TOLVANE_BUILD_TESTS STREQUAL "AUTO")
    list(JOIN tolvane_gtest_hint "" tolvane_gtest_hint)
    message(STATUS "${tolvane_gtest_hint}. Building the tool without its tests.")
  else()
    message(FATAL_ERROR ${tolvane_gtest_hint})
  endif()
endif()

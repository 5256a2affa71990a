# GoogleTest and GoogleMock for the Windows build, compiled from the sources
# that Debian's googletest package ships (nothing is fetched). Defines the
# same targets as find_package(GTest): GTest::gtest, GTest::gmock,
# GTest::gtest_main.
set(LXNICCFG_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${LXNICCFG_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "${LXNICCFG_GOOGLETEST_SOURCE} is missing: run scripts/windows/setup.sh")
endif()
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${LXNICCFG_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(target gtest gtest_main gmock gmock_main)
  # Their own code, not ours: our warning settings do not apply.
  target_compile_options(${target} PRIVATE -w)
  if(NOT TARGET GTest::${target})
    add_library(GTest::${target} ALIAS ${target})
  endif()
endforeach()

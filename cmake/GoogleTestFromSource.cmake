# GoogleTest built from the sources Debian ships in libgtest-dev, for builds that find no
# installed GoogleTest for their target (the Windows cross build).
set(ORB_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (with googletest/ and googlemock/)")
if(NOT EXISTS ${ORB_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest for this target and no sources in ${ORB_GOOGLETEST_SOURCE} (Debian: libgtest-dev)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${ORB_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# GoogleTest's own sources are not held to this project's warnings.
foreach(target gtest gtest_main)
  target_compile_options(${target} PRIVATE -w)
  add_library(GTest::${target} ALIAS ${target})
endforeach()

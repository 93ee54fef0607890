# orb_add_gtest(name SOURCES ... LIBRARIES ... [LABELS ...] [TIMEOUT s])
# One GoogleTest executable registered as one ctest test, run from the build's bin folder.
# Give tests that create a QGuiApplication or open windows the label "gui". A cross build for
# Windows labels every test "windows".
function(orb_add_gtest name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBRARIES;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main ${ARG_LIBRARIES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  if(WIN32 AND CMAKE_CROSSCOMPILING)
    # Run under Wine (the toolchain's emulator): `ctest -L windows` selects them.
    list(APPEND ARG_LABELS windows)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
  orb_sanitizer_environment(${name} ${ARG_LABELS})
endfunction()

# orb_sanitizer_environment(test [labels...])
# Under ORB_SANITIZE=address the leak checker ignores the known leaks of system libraries
# (cmake/lsan.supp). Tests labelled "gui" open OpenGL windows on Mesa's software driver, which
# the GL loader unloads before the leak check: its allocations would then be reported from
# unknown code and its globals, which hold most of them, would no longer be scanned. Such tests
# run with the driver preloaded (after the ASan runtime, which must come first), so that it
# stays mapped to the end. (Slow unwinding to find the driver's callers is no way out: in a
# malloc called while llvmpipe registers its generated code's unwind tables, the slow unwinder
# waits on the unwinder's own lock and the test hangs.)
# Under ORB_SANITIZE=thread the reports inside the uninstrumented Qt, Mesa and X libraries are
# suppressed by cmake/tsan.supp, whose entries never name our own code, and scripts/tsan-run
# (every test's launcher) fails a test only on the reports that involve our code.
function(orb_sanitizer_environment test)
  if(ORB_SANITIZE STREQUAL "thread")
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT
                 "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/tsan.supp")
    return()
  endif()
  if(NOT ORB_SANITIZE STREQUAL "address")
    return()
  endif()
  set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT
               "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan.supp")
  if("gui" IN_LIST ARGN)
    orb_gl_driver_preload(preload)
    if(preload)
      set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT "LD_PRELOAD=${preload}")
    endif()
  endif()
endfunction()

# The LD_PRELOAD list that keeps Mesa's software driver loaded in an ASan process, or empty
# when the driver is not found.
function(orb_gl_driver_preload out)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
                  OUTPUT_VARIABLE asan OUTPUT_STRIP_TRAILING_WHITESPACE)
  find_file(ORB_MESA_SOFTWARE_DRIVER swrast_dri.so
            PATHS /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/dri /usr/lib64/dri /usr/lib/dri NO_DEFAULT_PATH)
  if(ORB_MESA_SOFTWARE_DRIVER AND EXISTS "${asan}")
    set(${out} "${asan}:${ORB_MESA_SOFTWARE_DRIVER}" PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()

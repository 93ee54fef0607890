# orb_add_gtest(name SOURCES ... LIBRARIES ... [LABELS ...] [TIMEOUT s])
# One GoogleTest executable registered as one ctest test, run from the build's bin folder.
# Give tests that create a QGuiApplication or open windows the label "gui".
function(orb_add_gtest name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBRARIES;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main ${ARG_LIBRARIES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
  orb_sanitizer_environment(${name} ${ARG_LABELS})
endfunction()

# orb_sanitizer_environment(test [labels...])
# Under ORB_SANITIZE=address the leak checker ignores the known leaks of system libraries
# (cmake/lsan.supp). Tests labelled "gui" unwind slowly so that leaks inside the OpenGL
# driver are traced back to a library named there.
function(orb_sanitizer_environment test)
  if(NOT ORB_SANITIZE STREQUAL "address")
    return()
  endif()
  set(options "suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan.supp")
  if("gui" IN_LIST ARGN)
    string(APPEND options ":fast_unwind_on_malloc=0")
  endif()
  set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT "LSAN_OPTIONS=${options}")
endfunction()

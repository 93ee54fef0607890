# Runs orbtool image against the simulated network as a user would:
#   cmake -DORBTOOL=path -DWORK=folder [-DEMULATOR=wine] -P image_test.cmake

file(MAKE_DIRECTORY ${WORK})
set(scenario ${WORK}/orbtool_image_scenario.json)
file(WRITE ${scenario} [=[{"clock": "fast", "devices": [{"handle": 1, "kind": "adapter"},
  {"handle": 2, "parent": 1, "kind": "tracker", "trajectory": {"kind": "static"}}]}]=])
set(png ${WORK}/orbtool_image.png)
file(REMOVE ${png})

function(run expected_status)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env KESTREL_SIMULATION=${scenario} ${EMULATOR} ${ORBTOOL} image ${ARGN}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL expected_status)
    message(FATAL_ERROR "orbtool image ${ARGN}: status ${status}, expected ${expected_status}\n${out}\n${err}")
  endif()
  if(expected_status EQUAL 1 AND (err STREQUAL "" OR NOT out STREQUAL ""))
    message(FATAL_ERROR "orbtool image ${ARGN}: a failure must print its message on stderr only\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

run(0 --node 2 --out ${png} --threshold 1 --points)
if(NOT EXISTS ${png})
  message(FATAL_ERROR "no image written")
endif()
# PNG signature, then the IHDR chunk: width 640 (0x280), height 480 (0x1E0), 8-bit grey (type 0).
file(READ ${png} header HEX LIMIT 26)
if(NOT header STREQUAL "89504e470d0a1a0a0000000d4948445200000280000001e00800")
  message(FATAL_ERROR "not a 640 x 480 8-bit grey PNG: ${header}")
endif()
string(REGEX MATCHALL "{\"value\": [0-9]+, \"x\": [0-9.e+-]+, \"y\": [0-9.e+-]+}\n" points "${out}")
list(LENGTH points count)
if(count EQUAL 0)
  message(FATAL_ERROR "expected one point per line, got:\n${out}")
endif()

run(1 --node 9 --out ${WORK}/never.png)
run(1 --node 2)
run(1 --node 2 --out ${png} --threshold many)

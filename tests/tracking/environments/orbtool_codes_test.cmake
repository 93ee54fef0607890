# Runs orbtool env / placement as a user would: cmake -DORBTOOL=path -P orbtool_codes_test.cmake

function(run expected_status)
  execute_process(COMMAND ${ORBTOOL} ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT status EQUAL expected_status)
    message(FATAL_ERROR "orbtool ${ARGN}: status ${status}, expected ${expected_status}\n${out}\n${err}")
  endif()
  if(expected_status EQUAL 1 AND (err STREQUAL "" OR NOT out STREQUAL ""))
    message(FATAL_ERROR "orbtool ${ARGN}: a failure must print its message on stderr only\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

function(expect_equal actual expected)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "got\n  ${actual}\nexpected\n  ${expected}")
  endif()
endfunction()

run(0 env encode single --bar-length 1 --middle-ratio 0.3)
set(single "${out}")
expect_equal("${single}" "AAZTaW5nbGUIAACAP5qZmT4=")
run(0 env decode "${single}")
expect_equal("${out}" "{\"kind\": \"Single\", \"barLength\": 1, \"middleRatio\": 0.3, \"markers\": [[-0.5, 0, 0], [-0.2, 0, 0], [0.5, 0, 0]]}")

# Markers of tile (0, 0), turn 1: the yellow bar's first marker (-0.5364337 cos a + 0.3,
# -0.5364337 sin a) = (-0.235606, 0.0297868) turned to (-0.0297868, -0.235606), less the grid
# centre (0.3, 0.3).
run(0 env encode rigid --width 2 --depth 2 --tiles "0,0,1 1,1,2" --preset yellow)
run(0 env decode "${out}")
expect_equal("${out}" "{\"kind\": \"Rigid\", \"version\": 0, \"preset\": \"yellow\", \"width\": 2, \"depth\": 2, \"barLength\": 1.0728674, \"middleRatio\": 0.3130406, \"barAngle\": -0.055555996, \"barOffset\": [0.3, 0], \"ceiling\": false, \"planeHeight\": 0, \"tileSize\": 0.6, \"tiles\": [[0, 0, 1], [1, 1, 2]], \"markers\": [[-0.3297868, 0, -0.535606], [-0.3111379, 0, -0.2002732], [-0.2702132, 0, 0.535606], [0.535606, 0, 0.2702132], [0.2002732, 0, 0.2888622], [-0.535606, 0, 0.3297868]]}")

run(0 placement encode --position 1,2,3 --angles 0,0.8,0)
run(0 placement decode "${out}")
expect_equal("${out}" "{\"position\": [1, 2, 3], \"rotation\": [0, 0.3894183, 0, 0.921061]}")

# The simulator's default floor: the legacy puzzle code of 6 by 6 tiles (bytes written out by hand).
run(0 env default)
expect_equal("${out}" "AAVSaWdpZCYABnB1enpsZQYGCQMEAAMCAwIAAwUFAAEEAwAFAwABAwUAAAQCAw==")
run(0 env decode "${out}")
if(NOT out MATCHES "\"preset\": \"puzzle\", \"width\": 6, \"depth\": 6, \"barLength\": 1.5, .*\"tileSize\": 0.6, \"tiles\": \\[\\[3, 4, 0\\], \\[3, 2, 3\\], \\[2, 0, 3\\], \\[5, 5, 0\\], \\[1, 4, 3\\], \\[0, 5, 3\\], \\[0, 1, 3\\], \\[5, 0, 0\\], \\[4, 2, 3\\]\\]")
  message(FATAL_ERROR "default floor decoded as\n  ${out}")
endif()
run(1 env default extra)

run(1 env encode single --bar-length 1)
run(1 env encode rigid --width 2 --depth 2 --tiles "2,0,0" --preset puzzle)
run(1 env encode rigid --width 2 --depth 2 --tiles "0,0,0" --preset puzzle --name x)
run(1 env decode "AAZTaW5nbGUIAACAP5qZ")
run(1 env decode "AAZTaW5nbGUIAACAP5qZ*T4=")
run(1 placement encode --position 1,2 --angles 0,0,0)
run(1 placement decode "AQAA")

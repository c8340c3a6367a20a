# Runs the seeded program twice and fails unless both runs print the same,
# and the same as every other build recorded (seeded_run.expected).
string(REPLACE "|" ";" emulator "${EMULATOR}")
foreach(run 1 2)
    execute_process(COMMAND ${emulator} ${PROGRAM} ${LIBRARY}
                    OUTPUT_VARIABLE output${run} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "run ${run} failed (${status}): ${output${run}}")
    endif()
    string(REPLACE "\r\n" "\n" output${run} "${output${run}}")
endforeach()
if(NOT output1 STREQUAL output2)
    message(FATAL_ERROR "two runs differ:\n${output1}\n---\n${output2}")
endif()
file(READ ${EXPECTED} expected)
if(NOT output1 STREQUAL expected)
    message(FATAL_ERROR "differs from ${EXPECTED}:\n${output1}")
endif()
message(STATUS "two runs agree with ${EXPECTED}")

# Fails unless the shared library defines exactly one dynamic symbol of its
# own, Selvane.
find_program(NM nm REQUIRED)
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(names "")
foreach(line ${lines})
    string(REGEX REPLACE "^[0-9a-fA-F]* *[A-Za-z] " "" name "${line}")
    list(APPEND names ${name})
endforeach()
if(NOT names STREQUAL "Selvane")
    message(FATAL_ERROR "expected exactly 'Selvane', found: ${names}")
endif()
message(STATUS "exports: ${names}")

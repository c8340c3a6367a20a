# Fails unless the Windows DLL exports exactly one name, EXPORT_NAME, imports
# from KERNEL32.dll and msvcrt.dll only, and, when CALLEE_POP is set, every
# return in the export removes CALLEE_POP bytes of arguments (stdcall).
# Arguments: OBJDUMP, LIBRARY, EXPORT_NAME, CALLEE_POP (may be empty); or
# EXPORT_NAMES, several names in name order separated by |.
if(EXPORT_NAMES)
    string(REPLACE "|" ";" EXPORT_NAME "${EXPORT_NAMES}")
endif()
execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY}
                OUTPUT_VARIABLE headers RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${headers}")

# Export names are listed under "[Ordinal/Name Pointer] Table", one
# "[   0] Name" line each, up to the next line of another shape.
set(exports "")
set(in_names OFF)
set(imports "")
foreach(line IN LISTS lines)
    if(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
        set(in_names ON)
    elseif(in_names AND line MATCHES "^[ \t]*\\[ *[0-9]+\\] (.+)$")
        list(APPEND exports "${CMAKE_MATCH_1}")
    elseif(in_names)
        set(in_names OFF)
    endif()
    if(line MATCHES "^[ \t]*DLL Name: (.+)$")
        list(APPEND imports "${CMAKE_MATCH_1}")
    endif()
endforeach()

if(NOT exports STREQUAL "${EXPORT_NAME}")
    message(FATAL_ERROR "expected exactly the exports '${EXPORT_NAME}', found: '${exports}'")
endif()
list(SORT imports CASE INSENSITIVE)
if(NOT imports STREQUAL "KERNEL32.dll;msvcrt.dll")
    message(FATAL_ERROR "expected imports KERNEL32.dll and msvcrt.dll only, found: '${imports}'")
endif()
message(STATUS "exports: ${exports}; imports: ${imports}")

if(CALLEE_POP)
    execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn
                            --disassemble=${EXPORT_NAME} ${LIBRARY}
                    OUTPUT_VARIABLE code RESULT_VARIABLE status)
    if(NOT status EQUAL 0 OR NOT code MATCHES "<${EXPORT_NAME}>:")
        message(FATAL_ERROR "no disassembly of ${EXPORT_NAME} in ${LIBRARY}")
    endif()
    string(REGEX MATCHALL "\tret[a-z]* *[^\n]*" returns "${code}")
    if(NOT returns)
        message(FATAL_ERROR "no return found in ${EXPORT_NAME}")
    endif()
    foreach(ret IN LISTS returns)
        if(NOT ret MATCHES "ret[a-z]* +\\$${CALLEE_POP}$")
            message(FATAL_ERROR "${EXPORT_NAME} returns without removing ${CALLEE_POP} bytes: '${ret}'")
        endif()
    endforeach()
    message(STATUS "${EXPORT_NAME} returns: ${returns}")
endif()

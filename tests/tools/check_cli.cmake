# Runs the built selvane executable and checks its exit status and output.
#   cmake -DSELVANE=<exe> -DARGS=<|-list> -DEXPECT_EXIT=<n>
#         [-DEXPECT_STDOUT_LINES=<n>] [-DEXPECT_STDOUT_REGEX=<re>]
#         [-DEXPECT_STDERR_REGEX=<re>] [-DEMULATOR=<|-list>] [-DSTDIN=<file>]
#         -P check_cli.cmake
# ARGS and EMULATOR separate their words with "|".
string(REPLACE "|" ";" ARGS "${ARGS}")
string(REPLACE "|" ";" EMULATOR "${EMULATOR}")
if(NOT DEFINED STDIN)
    set(STDIN /dev/null)
endif()
execute_process(COMMAND ${EMULATOR} ${SELVANE} ${ARGS}
                INPUT_FILE ${STDIN}
                RESULT_VARIABLE status
                OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
if(NOT status STREQUAL EXPECT_EXIT)
    message(FATAL_ERROR "exit status ${status}, expected ${EXPECT_EXIT}\nstdout:\n${out}\nstderr:\n${err}")
endif()
if(DEFINED EXPECT_STDOUT_LINES)
    string(REGEX MATCHALL "\n" newlines "${out}")
    list(LENGTH newlines count)
    if(NOT count EQUAL EXPECT_STDOUT_LINES)
        message(FATAL_ERROR "${count} lines on stdout, expected ${EXPECT_STDOUT_LINES}\n${out}")
    endif()
endif()
if(DEFINED EXPECT_STDOUT_REGEX AND NOT out MATCHES "${EXPECT_STDOUT_REGEX}")
    message(FATAL_ERROR "stdout does not match '${EXPECT_STDOUT_REGEX}':\n${out}")
endif()
if(DEFINED EXPECT_STDERR_REGEX AND NOT err MATCHES "${EXPECT_STDERR_REGEX}")
    message(FATAL_ERROR "stderr does not match '${EXPECT_STDERR_REGEX}':\n${err}")
endif()

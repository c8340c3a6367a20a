# Cross build for 32-bit Windows (x86) with mingw-w64 on Linux. Test
# executables run under wine through the emulator line below.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(SELVANE_MINGW_TRIPLE i686-w64-mingw32)

# The posix thread model: GoogleTest needs std::mutex, which the default
# win32 model lacks. It brings in winpthread, so everything links -static.
set(CMAKE_C_COMPILER ${SELVANE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SELVANE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${SELVANE_MINGW_TRIPLE}-windres)
find_program(CMAKE_OBJDUMP ${SELVANE_MINGW_TRIPLE}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${SELVANE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The plain wine loader: it runs 32-bit programs. Optional: without it the
# library still builds, and the tests refuse to configure.
# WINEDEBUG=-all keeps the test output free of wine's diagnostics.
find_program(WINE_EXECUTABLE wine)
find_program(WINESERVER_EXECUTABLE NAMES wineserver64 wineserver
             PATHS /usr/lib/wine)
if(WINE_EXECUTABLE)
    set(CMAKE_CROSSCOMPILING_EMULATOR
        "${CMAKE_COMMAND};-E;env;WINEDEBUG=-all;${WINE_EXECUTABLE}")
endif()

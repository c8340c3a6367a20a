# Cross build for 64-bit Windows (x86-64) with mingw-w64 on Linux. Test
# executables run under wine through the emulator line below.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(SELVANE_MINGW_TRIPLE x86_64-w64-mingw32)

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

# The 64-bit loader itself where it is installed apart (Debian keeps it in
# /usr/lib/wine): the plain `wine` wrapper prefers the 32-bit loader, which
# needs a machine that can run 32-bit code even for 64-bit programs.
# Optional: without it the library still builds, and the tests refuse to
# configure. WINEDEBUG=-all keeps the test output free of wine's diagnostics.
find_program(WINE_EXECUTABLE NAMES wine64 wine PATHS /usr/lib/wine)
find_program(WINESERVER_EXECUTABLE NAMES wineserver64 wineserver
             PATHS /usr/lib/wine)
if(WINE_EXECUTABLE)
    set(CMAKE_CROSSCOMPILING_EMULATOR
        "${CMAKE_COMMAND};-E;env;WINEDEBUG=-all;${WINE_EXECUTABLE}")
endif()

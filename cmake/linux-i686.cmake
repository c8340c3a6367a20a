# Build for 32-bit x86 Linux with the host's multilib GCC (-m32), test
# programs run under QEMU's user-mode emulator. It exists to check the
# 32-bit x86 arithmetic (SSE2, no x87, no FMA) against the recorded bits on
# machines that cannot run the Windows x86 tests, nor any 32-bit code.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
# Static programs need neither the i386 dynamic loader nor the emulator's
# library path. The shared library itself stays an ordinary one.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -m32)

# Without the emulator the test programs are started directly, which works
# only where the kernel runs 32-bit x86 code.
find_program(QEMU_I386_EXECUTABLE NAMES qemu-i386 qemu-i386-static)
if(QEMU_I386_EXECUTABLE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QEMU_I386_EXECUTABLE})
endif()

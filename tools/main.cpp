// The selvane command: the host with the library loaded at run time.
#include <iostream>

#include "ElapsedIndicator.h"
#include "Host.h"
#include "LibraryLoader.h"

int main(int argc, char** argv) {
    return selvane::host::RunHost(argc, argv, selvane::host::LoadSelvane, std::cout, std::cerr,
                                  selvane::host::StandardErrorIsTerminal());
}

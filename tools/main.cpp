// The selvane command: the host with the libraries loaded at run time.
#include <iostream>

#include "Host.h"
#include "LibraryLoader.h"
#include "ProgressIndicator.h"

int main(int argc, char** argv) {
    using namespace selvane::host;
    return RunHost(argc, argv, {LoadEngine, LoadSelvane}, std::cout, std::cerr,
                   StandardErrorIsTerminal());
}

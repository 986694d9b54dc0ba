// stipplex: the halftone effect on the command line, through our host.
#include <unistd.h>

#include <iostream>

#include "AtomicFile.h"
#include "Commands.h"
#include "studio/Studio.h"

int main(int argc, char **argv)
{
    // A render stopped by a signal leaves no temporary file behind.
    cli::RemoveTemporariesOnSignals();
    return cli::RunCommandLine(argc, argv, std::cout, std::cerr, ::isatty(STDERR_FILENO) != 0,
                               &studio::RunStudio);
}

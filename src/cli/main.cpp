// stipplex: the halftone effect on the command line, through our host.
#include <unistd.h>

#include <iostream>

#include "Commands.h"
#include "studio/Studio.h"

int main(int argc, char **argv)
{
    return cli::RunCommandLine(argc, argv, std::cout, std::cerr, ::isatty(STDERR_FILENO) != 0,
                               &studio::RunStudio);
}

// stipplex: the halftone effect on the command line, through our host.
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <iostream>

#include "cli/AtomicFile.h"
#include "cli/Commands.h"
#include "studio/Studio.h"

int main(int argc, char **argv)
{
#ifdef __GLIBC__
    // Every frame allocates and frees images of several megabytes. Kept in
    // the heap instead of mapped and unmapped each time, their pages are not
    // faulted in and cleared again frame after frame (a sixth of a 1080p
    // frame's time).
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
    // A render stopped by a signal leaves no temporary file behind.
    cli::RemoveTemporariesOnSignals();
    return cli::RunCommandLine(argc, argv, std::cout, std::cerr, ::isatty(STDERR_FILENO) != 0,
                               &studio::RunStudio);
}

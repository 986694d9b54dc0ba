// `stipplex studio`: a local web application that drives the real plug-in
// through our host, to design a look with a live preview and take it to a
// batch render (a preset, a command line, an export).
#pragma once

#include <ostream>

#include "cli/Commands.h"

namespace studio {

// Loads the plug-in, serves the studio on 127.0.0.1 until interrupted
// (Ctrl+C), prints its address and opens it in the default browser where
// there is one. Throws cli::UsageError and cli::Failure like the commands.
void RunStudio(const cli::CommonOptions &common, const cli::StudioOptions &options,
               std::ostream &out, std::ostream &err);

}  // namespace studio

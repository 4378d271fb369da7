// The fixed script of one run: banner, library, coordinates, backbone selection, analysis.
#pragma once

#include <string>
#include <vector>

#include "rmsd_var/state.hpp"
#include "veldrix/veldrix.hpp"

namespace veldrix {

// The structures command line the run composes from the options.
std::vector<std::string> overlay_command(const Options& o);

// Runs the script on a fresh session for the coordinate file `input`.
void run_script(Session& s, const Options& o, const std::string& input);

}  // namespace veldrix

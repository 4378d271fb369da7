// The fixed script of one run: set-up, banner, library, coordinates, selection, analysis.
#pragma once

#include <string>
#include <vector>

#include "driver/driver.hpp"

namespace veldrix {

// The structures command line the run composes from the flags.
std::vector<std::string> overlay_command(const DriverState& st);

[[noreturn]] void run_script(const DriverState& st);

}  // namespace veldrix

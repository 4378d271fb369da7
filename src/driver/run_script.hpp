// The fixed script of one run: set-up, banner, library, coordinates, selection, analysis.
#pragma once

#include "driver/driver.hpp"

namespace veldrix {

[[noreturn]] void run_script(const DriverState& st);

}  // namespace veldrix

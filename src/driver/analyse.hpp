// The analysis as the command line runs it.
#pragma once

#include <string>

#include "veldrix/veldrix.hpp"

namespace veldrix {

// analyse() without the structure statistics (Domain::stats, Result::per_residue stay empty): the
// command line prints only the lines, and the statistics would cost it a tenth of its time.
Result analyse_lines(const std::string& path, const Options& options);

}  // namespace veldrix

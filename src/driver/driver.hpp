// The command-line driver: flags, their checks, the help and usage texts, and the whole program.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "command/state.hpp"
#include "veldrix/veldrix.hpp"

namespace veldrix {

// Reads and checks the arguments (without the program name) into `options` and
// returns the input file; `libenv` is the value of VELDRIXLIB. Ends the run
// (Stop) with the help, the usage text or a fatal message, printed into s.
std::string read_arguments(CommandState& s, const std::vector<std::string>& args,
                           const std::optional<std::string>& libenv, Options& options);

// Prints the help text and ends the run.
[[noreturn]] void crhelp(CommandState& s);

// The veldrix program: arguments, analysis, every line on `out`; returns the
// exit status. With `profile`, the phase times go there.
int vokan(const std::vector<std::string>& args, const std::optional<std::string>& libenv, std::ostream& out,
          std::ostream* profile = nullptr);

}  // namespace veldrix

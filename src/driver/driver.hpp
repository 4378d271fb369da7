// The command-line driver: flags, their checks, the help and usage texts.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace veldrix {

// The values the flags leave for the run script.
struct DriverState {
  std::string libpath;            // residue library file; empty: the built-in library
  std::string pdbpath;            // input coordinate file
  std::string res_range = "ALL";  // "ALL" or ":" followed by the -r value
  double gap = 0.4;
  double decrease = 1.2;
  double absdecrease = 1.6;
  double upper_rmsd = 0.1;
  int gapwidth = 3;
  int buffer = 3;
  int minimum = 8;
};

// Reads and checks the arguments (without the program name); `libenv` is the
// value of VELDRIXLIB. Stops with the help, the usage text or a fatal message.
DriverState read_arguments(const std::vector<std::string>& args, const std::optional<std::string>& libenv);

// The whole run: arguments, then the run script. Always ends through stopit.
[[noreturn]] void vokan(const std::vector<std::string>& args, const std::optional<std::string>& libenv);

// Every module back to its start-up state, so that runs in one process start clean.
void reset_modules();

// Prints the help text and stops.
[[noreturn]] void crhelp();

}  // namespace veldrix

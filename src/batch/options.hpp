// The command line of veldrix-batch: its options, their checks, and the residue range as users type it.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>
#include <veldrix/veldrix.hpp>

#include "batch/parameters.hpp"  // limits and widen_range, shared with the Python module

namespace veldrix::batch {

enum class OutputFormat { jsonl, tsv };

struct BatchOptions {
  std::vector<std::string> inputs;    // files, directories and "-" (a list of paths on standard input)
  int jobs = 1;                       // worker processes at a time
  std::optional<std::string> output;  // absent: standard output
  OutputFormat format = OutputFormat::jsonl;
  veldrix::Options analysis;  // range already widened to every chain
  std::string range_text;     // the range as typed, for messages; empty: all residues
  double timeout = 600.0;     // seconds per input
  bool quiet = false;
  std::optional<std::string> superpose_dir;  // superposed structures per domain go here
  std::optional<std::string> plot_dir;       // SVG plots go here
};

// The command line asked for something other than a run: help, version, or it was wrong.
struct CommandEnd {
  int status = 0;    // 0 for help and version, 2 for a usage error
  std::string text;  // what to print, ending with a newline
  bool to_stderr = false;
};

// Parses the arguments (without the program name). `cores` is the default of --jobs.
std::variant<BatchOptions, CommandEnd> parse_command_line(std::span<const std::string> args, int cores);

// The processors this process may run on.
int available_cores();

}  // namespace veldrix::batch

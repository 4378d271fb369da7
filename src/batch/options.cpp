// The command line of veldrix-batch, parsed with CLI11; numbers checked with the limits of veldrix.
#include "batch/options.hpp"

#include <sched.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace veldrix::batch {

namespace {

constexpr std::string_view program = "veldrix-batch";

struct UsageError {
  std::string message;
};

[[noreturn]] void refuse(std::string_view option, std::string_view value, std::string_view why) {
  throw UsageError{std::string(option) + ": " + std::string(value) + " " + std::string(why)};
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Digits with at most one decimal point, as veldrix takes its numbers; a leading minus is
// recognised only to say that the value is out of range.
std::optional<double> plain_number(std::string_view text, bool whole) {
  const std::string_view body = text.starts_with('-') ? text.substr(1) : text;
  int points = 0, digits = 0;
  for (char c : body) {
    if (c == '.')
      ++points;
    else if (is_digit(c))
      ++digits;
    else
      return std::nullopt;
  }
  if (digits == 0 || points > (whole ? 0 : 1)) return std::nullopt;
  return std::strtod(std::string(text).c_str(), nullptr);
}

double real_option(std::string_view option, const std::string& value) {
  const std::optional<double> x = plain_number(value, false);
  if (!x) refuse(option, value, "is not a number");
  if (!real_fits(*x)) refuse(option, value, "is outside " + std::string(real_limits));
  return *x;
}

int integer_option(std::string_view option, const std::string& value, int low, int high) {
  if (plain_number(value, false) && !plain_number(value, true)) refuse(option, value, "is not a whole number");
  const std::optional<double> x = plain_number(value, true);
  if (!x) refuse(option, value, "is not a number");
  if (*x < low || *x > high) refuse(option, value, "is outside " + std::to_string(low) + ".." + std::to_string(high));
  return int(*x);
}

double timeout_option(const std::string& value) {
  const std::optional<double> x = plain_number(value, false);
  if (!x) refuse("--timeout", value, "is not a number");
  if (!(*x >= 0.001 && *x <= 1e6)) refuse("--timeout", value, "is outside 0.001..1000000 seconds");
  return *x;
}

std::string usage_line() {
  return "Usage: " + std::string(program) + " [OPTIONS] INPUT...\nRun with --help for the options.\n";
}

}  // namespace

int available_cores() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
  const long n = sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? int(n) : 1;
}

std::variant<BatchOptions, CommandEnd> parse_command_line(std::span<const std::string> args, int cores) {
  const veldrix::Options defaults;
  auto text = [](double x) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", x);
    return std::string(buf);
  };
  BatchOptions opt;
  std::string jobs = std::to_string(std::clamp(cores, 1, 1024)), output, format = "jsonl", names = "modern",
              timeout = "600";
  std::string gap = text(defaults.gap), decrease = text(defaults.decrease), absdecrease = text(defaults.absdecrease),
              upper = text(defaults.upper_rmsd), gapwidth = std::to_string(defaults.gapwidth),
              buffer = std::to_string(defaults.buffer), minimum = std::to_string(defaults.minimum);

  CLI::App app(
      "Runs the veldrix analysis over many NMR ensembles, each in its own worker process, and writes "
      "one record per input.",
      std::string(program));
  app.set_version_flag("--version", std::string(program) + " " + veldrix::version());
  app.footer(
      "INPUT is a file, a directory (searched recursively for *.pdb, *.ent, *.cif, *.mmcif, each also with .gz), "
      "or - for a list of paths on standard input.\n"
      "Exit status: 0 when every input is ok, 1 when any failed, 2 for a usage error, 130 when interrupted (143 when "
      "terminated).");
  app.add_option("INPUT", opt.inputs, "Structure files, directories, or - for a list of paths")->type_name("PATH");
  app.add_option("-j,--jobs", jobs, "Parallel workers (default: the number of cores)")->type_name("N");
  app.add_option("-o,--output", output, "Output file (default: standard output)")->type_name("FILE");
  app.add_option("--format", format, "Record format")
      ->type_name("FORMAT")
      ->check(CLI::IsMember({"jsonl", "tsv"}))
      ->capture_default_str();
  app.add_option("--gap", gap, "Weight of a residue removal that would split a range")
      ->type_name("REAL")
      ->capture_default_str();
  app.add_option("--decrease", decrease, "Relative RMSD decrease a removal must reach")
      ->type_name("REAL")
      ->capture_default_str();
  app.add_option("--absdecrease", absdecrease, "Absolute RMSD decrease a removal must reach")
      ->type_name("REAL")
      ->capture_default_str();
  app.add_option("--upper-rmsd", upper, "Refinement stops below this RMSD (A)")
      ->type_name("REAL")
      ->capture_default_str();
  app.add_option("--gap-width", gapwidth, "Gaps narrower than this are closed")
      ->type_name("INT")
      ->capture_default_str();
  app.add_option("--buffer", buffer, "Residues added on both sides of a candidate")
      ->type_name("INT")
      ->capture_default_str();
  app.add_option("--minimum", minimum, "Residues a reported domain has at least")
      ->type_name("INT")
      ->capture_default_str();
  app.add_option("--range", opt.range_text, "Residue range, e.g. 1-40,60-90 or A1-A40 (default: all)")
      ->type_name("RANGE");
  app.add_option("--library", opt.analysis.library, "Residue library file (default: built-in)")->type_name("FILE");
  app.add_option("--names", names, "Residue and atom names as in the library or modern")
      ->type_name("NAMES")
      ->check(CLI::IsMember({"library", "modern"}))
      ->capture_default_str();
  app.add_option("--timeout", timeout, "Seconds an input may take")->type_name("SECONDS")->capture_default_str();
  app.add_flag("-q,--quiet", opt.quiet, "No progress line and no summary");
  std::string superpose_dir, plot_dir;
  app.add_option("--superpose", superpose_dir,
                 "Write each input's ensemble superposed on each domain to DIR/NAME.domainK.pdb (or .cif)")
      ->type_name("DIR");
  app.add_option("--plot", plot_dir, "Write a plot of each input's precision profile to DIR/NAME.svg")
      ->type_name("DIR");

  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them last first
    app.parse(std::move(reversed));
    if (opt.inputs.empty()) return CommandEnd{2, usage_line(), true};
    opt.jobs = integer_option("--jobs", jobs, 1, 1024);
    if (!output.empty() && output != "-") opt.output = output;
    opt.format = format == "tsv" ? OutputFormat::tsv : OutputFormat::jsonl;
    opt.analysis.gap = real_option("--gap", gap);
    opt.analysis.decrease = real_option("--decrease", decrease);
    opt.analysis.absdecrease = real_option("--absdecrease", absdecrease);
    opt.analysis.upper_rmsd = real_option("--upper-rmsd", upper);
    opt.analysis.gapwidth = integer_option("--gap-width", gapwidth, integer_low, integer_high);
    opt.analysis.buffer = integer_option("--buffer", buffer, integer_low, integer_high);
    opt.analysis.minimum = integer_option("--minimum", minimum, integer_low, integer_high);
    opt.analysis.names = names == "library" ? Names::library : Names::modern;
    opt.analysis.range = widen_range(opt.range_text);
    if (opt.analysis.range.empty()) opt.range_text.clear();
    opt.timeout = timeout_option(timeout);
    if (!superpose_dir.empty()) opt.superpose_dir = superpose_dir;
    if (!plot_dir.empty()) opt.plot_dir = plot_dir;
  } catch (const CLI::CallForHelp&) {
    return CommandEnd{0, app.help(), false};
  } catch (const CLI::CallForVersion&) {
    return CommandEnd{0, std::string(program) + " " + veldrix::version() + "\n", false};
  } catch (const CLI::ParseError& e) {
    return CommandEnd{2, std::string(program) + ": " + e.what() + "\n", true};
  } catch (const UsageError& e) {
    return CommandEnd{2, std::string(program) + ": " + e.message + "\n", true};
  }
  return opt;
}

}  // namespace veldrix::batch

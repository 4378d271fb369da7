// The command-line driver.
#include "driver/driver.hpp"

#include <cstdio>
#include <ostream>

#include "command/message.hpp"
#include "driver/analyse.hpp"
#include "util/numbers.hpp"
#include "util/text.hpp"

namespace veldrix {

namespace {

bool is_number_char(char c) { return (c >= '0' && c <= '9') || c == '.'; }

[[noreturn]] void not_a_number(CommandState& s, const std::string& value) {
  fatmsg(s, strq(s, std::string(rtrim(value))) + " is not a valid number.");
}

void set_real(CommandState& s, std::string_view flag, const std::string& value, double& target) {
  if (value.find('.') == std::string::npos) {
    const char* name = flag == "-g"   ? "gap (-g)"
                       : flag == "-d" ? "decrease (-d)"
                       : flag == "-a" ? "absdecrease (-a)"
                                      : "upper RMSD (-u)";
    fatmsg(s, strq(s, name) + " must be a real number!");
  }
  // Digits with exactly one decimal point.
  const std::optional<double> x = read_real(rtrim(value), {.sign = false, .exponent = false, .point_required = true});
  if (!x) not_a_number(s, value);
  target = *x;
}

void set_integer(CommandState& s, std::string_view flag, const std::string& value, int& target) {
  if (value.find('.') != std::string::npos) {
    const char* name = flag == "-b" ? "buffer (-b)" : flag == "-m" ? "minimum (-m)" : "gapwidth (-gw)";
    fatmsg(s, strq(s, name) + " must be an integer!");
  }
  const std::optional<int> n = read_int(rtrim(value), {.sign = false});
  if (!n) not_a_number(s, value);
  target = *n;
}

[[noreturn]] void usage(CommandState& s) {
  putlin(s, 10,
         "@/*** No input file was provided! ***@/    Usage: veldrix [PARAMETERS] <input file>"
         "@/    Use \"veldrix -h\" for a help overview.@/");
  stopit(1);
}

// One line of the help text: flag, meaning and the default of Options.
std::string help_line(std::string_view flag, std::string_view meaning, std::string_view kind, std::string value) {
  return std::string(flag) + ": " + std::string(meaning) + " (" + std::string(kind) + "; " + value + ")";
}

}  // namespace

void crhelp(CommandState& s) {
  const Options d;
  const std::string lines[] = {
      "@/  ****************** VELDRIX HELP ******************",
      "@/      Usage: veldrix [PARAMETERS] <input file>@/ ",
      "        The input file must be in PDB format.@/",
      "   Optional Parameters (default values are given):",
      help_line("    -a", "absdecrease", "real", shortest_text(d.absdecrease)),
      help_line("    -b", "buffer", "integer", std::to_string(d.buffer)),
      help_line("    -d", "decrease", "real", shortest_text(d.decrease)),
      help_line("    -g", "gap", "real", shortest_text(d.gap)),
      help_line("    -u", "RMSD threshold", "real", shortest_text(d.upper_rmsd)),
      help_line("   -gw", "gap width", "integer", std::to_string(d.gapwidth)),
      "    -l: path to custom library file (internal lib)",
      help_line("    -m", "minimum cluster size", "integer", std::to_string(d.minimum)),
      "    -r: residue range (all residues)",
      "@/   EXAMPLE: veldrix -g 0.3 -r 1-40,60-90 prot.pdb@/",
      "  **************************************************@/ ",
  };
  for (const std::string& line : lines) putlin(s, 10, line);
  stopit(0);
}

std::string read_arguments(CommandState& s, const std::vector<std::string>& args,
                           const std::optional<std::string>& libenv, Options& options) {
  Options& o = options;
  if (libenv) o.library = *libenv;
  std::string input;
  const int n = int(args.size());
  if (n == 0) usage(s);
  if (n == 1) {
    input = args[0];
    if (args[0] == "-h") crhelp(s);
  } else {
    for (int i = 1; i <= n - 1; i += 2) {
      const std::string flag = field(args[i - 1], 3);
      const std::string& value = args[i];
      if (flag != "-h" && i + 1 == n) fatmsg(s, "The number of flags must be equal to the number of arguments!");
      if (flag != "-r" && flag != "-l" && flag != "-h") {
        for (char c : rtrim(value))
          if (!is_number_char(c)) fatmsg(s, strq(s, std::string(rtrim(value))) + " is not a valid argument.");
      }
      if (flag == "-l") {
        o.library = value;
      } else if (flag == "-g") {
        set_real(s, flag, value, o.gap);
      } else if (flag == "-d") {
        set_real(s, flag, value, o.decrease);
      } else if (flag == "-a") {
        set_real(s, flag, value, o.absdecrease);
      } else if (flag == "-u") {
        set_real(s, flag, value, o.upper_rmsd);
      } else if (flag == "-b") {
        set_integer(s, flag, value, o.buffer);
      } else if (flag == "-m") {
        set_integer(s, flag, value, o.minimum);
      } else if (flag == "-gw") {
        set_integer(s, flag, value, o.gapwidth);
      } else if (flag == "-r") {
        o.range = value == "ALL" || value == "all" ? "" : value;
      } else if (flag == "-h") {
        crhelp(s);
      } else {
        fatmsg(s, "Flag " + strq(s, flag) + " is invalid. Use \"-h\" to get a list of allowed flags.");
      }
    }
    input = args[n - 1];
  }
  if (is_blank(input)) fatmsg(s, "No input data was provided!");
  return input;
}

int vokan(const std::vector<std::string>& args, const std::optional<std::string>& libenv, std::ostream& out,
          std::ostream* profile) {
  auto print = [&out](const std::vector<std::string>& lines) {
    for (const std::string& line : lines) out << line << '\n';
  };
  Options options;
  std::string input;
  {
    CommandState s;
    try {
      input = read_arguments(s, args, libenv, options);
    } catch (const Stop& stop) {
      print(s.printdata.lines);
      if (stop.status != 0 && !stop.message.empty()) out << "*** FATAL ERROR: " << stop.message << '\n';
      return stop.status;
    }
  }
  int status = 0;
  PhaseTimes phases;
  try {
    const Result r = analyse_lines(input, options);
    print(r.lines);
    phases = r.phases;
  } catch (const Error& e) {
    print(e.lines());
    out << "*** FATAL ERROR: " << e.what() << '\n';
    status = 1;
  }
  if (profile) {
    const std::pair<const char*, double> times[] = {
        {"reading", phases.reading},
        {"order parameters and distance variances", phases.order_and_variances},
        {"clustering", phases.clustering},
        {"domain search and output", phases.domain_search}};
    for (const auto& [name, seconds] : times) {
      char buf[128];
      std::snprintf(buf, sizeof buf, "phase\t%s\t%.6f\n", name, seconds);
      *profile << buf;
    }
  }
  return status;
}

}  // namespace veldrix

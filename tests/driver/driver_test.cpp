// The command-line driver: flags, value checks, messages, help and usage, and the overlay line it composes.
#include <gtest/gtest.h>

#include <sstream>

#include "driver/driver.hpp"
#include "driver/run_script.hpp"
#include "test_support.hpp"

namespace veldrix::testing {
namespace {

struct Outcome {
  std::pair<int, std::string>
      end;  // the status it stopped with (-1: none) and the lines printed, the fatal message last
  Options options;
  std::string input;
};

Outcome read(std::vector<std::string> args, std::optional<std::string> env = std::nullopt) {
  CommandState s;
  Outcome o;
  const std::optional<Stop> stop = stop_of([&] { o.input = read_arguments(s, args, env, o.options); });
  o.end = {stop ? stop->status : -1,
           printed(s) + (stop && !stop->message.empty() ? "*** FATAL ERROR: " + stop->message + "\n" : "")};
  return o;
}

const std::string help_text =
    " \n  ****************** VELDRIX HELP ******************\n \n      Usage: veldrix [PARAMETERS] <input file>\n"
    " \n        The input file must be in PDB format.\n \n   Optional Parameters (default values are given):\n"
    "    -a: absdecrease (real; 1.6)\n    -b: buffer (integer; 3)\n    -d: decrease (real; 1.2)\n"
    "    -g: gap (real; 0.4)\n    -u: RMSD threshold (real; 0.1)\n   -gw: gap width (integer; 3)\n"
    "    -l: path to custom library file (internal lib)\n    -m: minimum cluster size (integer; 8)\n"
    "    -r: residue range (all residues)\n \n   EXAMPLE: veldrix -g 0.3 -r 1-40,60-90 prot.pdb\n \n"
    "  **************************************************\n \n";

TEST(Driver, UsageHelpFlagValuesAndTheOverlayLine) {
  EXPECT_EQ(
      read({}).end,
      std::pair(1, std::string(" \n*** No input file was provided! ***\n    Usage: veldrix [PARAMETERS] <input file>\n"
                               "    Use \"veldrix -h\" for a help overview.\n \n")));
  for (auto args : {std::vector<std::string>{"-h"}, {"-h", "file.pdb"}, {"-g", "0.3", "-h", "file.pdb"}})
    EXPECT_EQ(read(args).end, std::pair(0, help_text));
  Outcome o = read({"-g", "0.35", "-d", "2.", "-a", ".5", "-u", "0.2", "-gw", "4", "-b", "07", "-m", "12", "x.pdb"});
  EXPECT_EQ(o.end, std::pair(-1, std::string()));
  const auto fields = [](const Options& p) {
    return std::tuple(p.gap, p.decrease, p.absdecrease, p.upper_rmsd, p.gapwidth, p.buffer, p.minimum);
  };
  EXPECT_EQ(std::pair(o.input, fields(o.options)),
            std::pair(std::string("x.pdb"), std::tuple(0.35, 2.0, 0.5, 0.2, 4, 7, 12)));
  // Values are taken whole, a later flag overrides an earlier one, flags are cut to three characters.
  o = read({"-g", "0.1", "-g", "12.345", "-m", "1000", "-gwx", "5", "x.pdb"});
  EXPECT_EQ(fields(o.options), std::tuple(12.345, 1.2, 1.6, 0.1, 5, 3, 1000));
  for (const auto& [given, range] : std::vector<std::pair<std::string, std::string>>{
           {"all", ""}, {"ALL", ""}, {"All", "All"}, {"A1-A40", "A1-A40"}, {"1-40,60-90", "1-40,60-90"}})
    EXPECT_EQ(read({"-r", given, "x.pdb"}).options.range, range) << given;
  EXPECT_EQ(std::vector<std::string>({read({"x.pdb"}, "env.lib").options.library,
                                      read({"-l", "flag.lib", "x.pdb"}, "env.lib").options.library,
                                      read({"x.pdb"}).options.library}),
            std::vector<std::string>({"env.lib", "flag.lib", ""}));
  // The overlay line: reals with two decimals, integers as two digits, asterisks when they do not fit.
  EXPECT_EQ(overlay_command(Options{}),
            (std::vector<std::string>{"overlay", "gap=0.40", "decrease=1.20", "absdecrease=1.60", "gapwidth=03",
                                      "buffer=03", "minimum=08", "upper_rmsd=0.10"}));
  EXPECT_EQ(
      overlay_command(Options{.gap = 0.123, .decrease = 12.345, .upper_rmsd = 99.995, .buffer = 0, .minimum = 150}),
      (std::vector<std::string>{"overlay", "gap=0.12", "decrease=12.35", "absdecrease=1.60", "gapwidth=03", "buffer=00",
                                "minimum=**", "upper_rmsd=*****"}));
}

TEST(Driver, EveryErrorMessage) {
  const std::string pairs = "The number of flags must be equal to the number of arguments!";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"file.pdb", "-h"}, pairs},
      {{"-g", "file.pdb"}, pairs},
      {{"-help", "x.pdb"}, pairs},
      {{"-help", "1", "x.pdb"}, "Flag \"-he\" is invalid. Use \"-h\" to get a list of allowed flags."},
      {{"-g", "1", "file.pdb"}, "\"gap (-g)\" must be a real number!"},
      {{"-d", "1", "file.pdb"}, "\"decrease (-d)\" must be a real number!"},
      {{"-a", "1", "file.pdb"}, "\"absdecrease (-a)\" must be a real number!"},
      {{"-u", "1", "file.pdb"}, "\"upper RMSD (-u)\" must be a real number!"},
      {{"-m", "8.0", "file.pdb"}, "\"minimum (-m)\" must be an integer!"},
      {{"-b", "3.", "file.pdb"}, "\"buffer (-b)\" must be an integer!"},
      {{"-gw", ".3", "file.pdb"}, "\"gapwidth (-gw)\" must be an integer!"},
      {{"-g", "-0.5", "file.pdb"}, "\"-0.5\" is not a valid argument."},
      {{"-x", "abc", "file.pdb"}, "\"abc\" is not a valid argument."},
      {{"-x", "5", "file.pdb"}, "Flag \"-x\" is invalid. Use \"-h\" to get a list of allowed flags."},
      {{"-g", "1..2", "file.pdb"}, "\"1..2\" is not a valid number."},
      {{"-g", ".", "file.pdb"}, "\".\" is not a valid number."},
      {{"-m", "99999999999", "file.pdb"}, "\"99999999999\" is not a valid number."},
      {{" "}, "No input data was provided!"},
      {{"-g", "0.3", ""}, "No input data was provided!"},
  };
  for (const auto& [args, message] : cases)
    EXPECT_EQ(read(args).end, std::pair(1, "*** FATAL ERROR: " + message + "\n"));
}

TEST(Driver, ProgramStatusAndLines) {
  std::ostringstream none, help, missing, profile;
  EXPECT_EQ(std::vector<int>({vokan({}, std::nullopt, none), vokan({"-h"}, std::nullopt, help),
                              vokan({"/nonexistent/x.pdb"}, std::nullopt, missing, &profile)}),
            std::vector<int>({1, 0, 1}));
  EXPECT_EQ(std::pair(none.str(), help.str()), std::pair(read({}).end.second, help_text));
  EXPECT_EQ(missing.str(),
            "********************************************\n              VELDRIX (v. 2.0)\n"
            "********************************************\n"
            "*** FATAL ERROR: Input file \"/nonexistent/x.pdb\" cannot be opened.\n");
  EXPECT_NE(profile.str().find("phase\treading\t"), std::string::npos);
}

}  // namespace
}  // namespace veldrix::testing

// The command-line driver: flags, value checks, messages, help and usage, and the overlay line it composes.
#include <gtest/gtest.h>

#include <sstream>

#include "driver/driver.hpp"
#include "driver/run_script.hpp"
#include "test_support.hpp"

namespace veldrix::testing {
namespace {

struct Outcome {
  std::optional<Stop> stop;
  std::string text;  // the lines printed, the fatal message last
  Options options;
  std::string input;
};

// Reads the arguments in-process and reports how it ended.
Outcome read(std::vector<std::string> args, std::optional<std::string> env = std::nullopt) {
  CommandState s;
  Outcome o;
  o.stop = stop_of([&] { o.input = read_arguments(s, args, env, o.options); });
  o.text = printed(s);
  if (o.stop && !o.stop->message.empty()) o.text += "*** FATAL ERROR: " + o.stop->message + "\n";
  return o;
}

const char* const help_text =
    " \n"
    "  ****************** VELDRIX HELP ******************\n"
    " \n"
    "      Usage: veldrix [PARAMETERS] <input file>\n"
    " \n"
    "        The input file must be in PDB format.\n"
    " \n"
    "   Optional Parameters (default values are given):\n"
    "    -a: absdecrease (real; 1.6)\n"
    "    -b: buffer (integer; 3)\n"
    "    -d: decrease (real; 1.2)\n"
    "    -g: gap (real; 0.4)\n"
    "    -u: RMSD threshold (real; 0.1)\n"
    "   -gw: gap width (integer; 3)\n"
    "    -l: path to custom library file (internal lib)\n"
    "    -m: minimum cluster size (integer; 8)\n"
    "    -r: residue range (all residues)\n"
    " \n"
    "   EXAMPLE: veldrix -g 0.3 -r 1-40,60-90 prot.pdb\n"
    " \n"
    "  **************************************************\n"
    " \n";

TEST(Driver, UsageAndHelp) {
  const Outcome none = read({});
  EXPECT_EQ(none.stop->status, 1);
  EXPECT_EQ(none.text,
            " \n*** No input file was provided! ***\n    Usage: veldrix [PARAMETERS] <input file>\n"
            "    Use \"veldrix -h\" for a help overview.\n \n");
  for (auto args : {std::vector<std::string>{"-h"}, {"-h", "file.pdb"}, {"-g", "0.3", "-h", "file.pdb"}}) {
    const Outcome o = read(args);
    EXPECT_EQ(o.stop->status, 0);
    EXPECT_EQ(o.text, help_text);
  }
}

TEST(Driver, FlagValues) {
  Outcome o = read({"-g", "0.35", "-d", "2.", "-a", ".5", "-u", "0.2", "-gw", "4", "-b", "07", "-m", "12", "x.pdb"});
  ASSERT_FALSE(o.stop);
  EXPECT_EQ(o.input, "x.pdb");
  EXPECT_EQ(std::vector<double>({o.options.gap, o.options.decrease, o.options.absdecrease, o.options.upper_rmsd}),
            std::vector<double>({0.35, 2.0, 0.5, 0.2}));
  EXPECT_EQ(std::vector<int>({o.options.gapwidth, o.options.buffer, o.options.minimum}), std::vector<int>({4, 7, 12}));
  // Values are taken whole, a later flag overrides an earlier one, flags are cut to three characters.
  o = read({"-g", "0.1", "-g", "12.345", "-m", "1000", "-gwx", "5", "x.pdb"});
  EXPECT_EQ(o.options.gap, 12.345);
  EXPECT_EQ(o.options.minimum, 1000);
  EXPECT_EQ(o.options.gapwidth, 5);
  const std::vector<std::pair<std::string, std::string>> ranges = {
      {"all", ""}, {"ALL", ""}, {"All", "All"}, {"A1-A40", "A1-A40"}, {"1-40,60-90,100-120", "1-40,60-90,100-120"}};
  for (const auto& [given, range] : ranges) EXPECT_EQ(read({"-r", given, "x.pdb"}).options.range, range) << given;
  EXPECT_EQ(read({"x.pdb"}, "env.lib").options.library, "env.lib");
  EXPECT_EQ(read({"-l", "flag.lib", "x.pdb"}, "env.lib").options.library, "flag.lib");
  EXPECT_EQ(read({"x.pdb"}).options.library, "");
}

TEST(Driver, EveryErrorMessage) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"file.pdb", "-h"}, "The number of flags must be equal to the number of arguments!"},
      {{"-g", "file.pdb"}, "The number of flags must be equal to the number of arguments!"},
      {{"-help", "x.pdb"}, "The number of flags must be equal to the number of arguments!"},
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
  for (const auto& [args, message] : cases) {
    const Outcome o = read(args);
    ASSERT_TRUE(o.stop) << message;
    EXPECT_EQ(o.stop->status, 1);
    EXPECT_EQ(o.text, "*** FATAL ERROR: " + message + "\n");
  }
}

TEST(Driver, OverlayLineWritesRealsWithTwoDecimalsAndIntegersAsTwoDigits) {
  Options o;
  EXPECT_EQ(overlay_command(o), (std::vector<std::string>{"overlay", "gap=0.40", "decrease=1.20", "absdecrease=1.60",
                                                          "gapwidth=03", "buffer=03", "minimum=08", "upper_rmsd=0.10"}));
  o.gap = 0.123;
  o.decrease = 12.345;
  o.upper_rmsd = 99.995;
  o.minimum = 150;
  o.buffer = 0;
  const std::vector<std::string> w = overlay_command(o);
  EXPECT_EQ(w[1], "gap=0.12");
  EXPECT_EQ(w[2], "decrease=12.35");
  EXPECT_EQ(w[5], "buffer=00");
  EXPECT_EQ(w[6], "minimum=**");
  EXPECT_EQ(w[7], "upper_rmsd=*****");
}

// The whole program in-process: the lines it prints and its status.
TEST(Driver, ProgramStatusAndLines) {
  std::ostringstream out, profile;
  EXPECT_EQ(vokan({}, std::nullopt, out), 1);
  out.str("");
  EXPECT_EQ(vokan({"-h"}, std::nullopt, out), 0);
  EXPECT_EQ(out.str(), help_text);
  out.str("");
  EXPECT_EQ(vokan({"/nonexistent/x.pdb"}, std::nullopt, out, &profile), 1);
  EXPECT_EQ(out.str(),
            "********************************************\n              VELDRIX (v. 2.0)\n"
            "********************************************\n"
            "*** FATAL ERROR: Input file \"/nonexistent/x.pdb\" cannot be opened.\n");
  EXPECT_NE(profile.str().find("phase\treading\t"), std::string::npos);
}

}  // namespace
}  // namespace veldrix::testing

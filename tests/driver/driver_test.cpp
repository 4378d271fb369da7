// The command-line driver: flags, value checks, messages, help and usage.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>

#include "driver/driver.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

using testing::Captured;
using testing::stop_status;

struct Outcome {
  std::optional<int> status;
  std::string text;
  DriverState state;
};

// Reads the arguments in-process and reports how it ended.
Outcome read(std::vector<std::string> args, std::optional<std::string> env = std::nullopt) {
  Captured c;
  Outcome o;
  o.status = stop_status([&] { o.state = read_arguments(args, env); });
  o.text = c.text();
  return o;
}

std::string fatal(const std::string& m) { return "*** FATAL ERROR: " + m + "\n"; }

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

TEST(Driver, NoArgumentsPrintsUsageAndFails) {
  Outcome o = read({});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.text,
            " \n*** No input file was provided! ***\n    Usage: veldrix [PARAMETERS] <input file>\n"
            "    Use \"veldrix -h\" for a help overview.\n \n");
}

TEST(Driver, HelpIsPrintedExactly) {
  for (auto args : {std::vector<std::string>{"-h"}, {"-h", "file.pdb"}, {"-g", "0.3", "-h", "file.pdb"}}) {
    Outcome o = read(args);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.text, help_text);
  }
}

TEST(Driver, DefaultsAndValues) {
  Outcome o = read({"prot.pdb"});
  EXPECT_EQ(o.status, std::nullopt);
  EXPECT_EQ(o.state.pdbpath, "prot.pdb");
  EXPECT_EQ(o.state.res_range, "ALL");
  EXPECT_EQ(o.state.libpath, "");
  EXPECT_DOUBLE_EQ(o.state.gap, 0.4);
  EXPECT_EQ(o.state.minimum, 8);
  o = read({"-g", "0.35", "-d", "2.", "-a", ".5", "-u", "0.2", "-gw", "4", "-b", "07", "-m", "12", "x.pdb"});
  EXPECT_DOUBLE_EQ(o.state.gap, 0.35);
  EXPECT_DOUBLE_EQ(o.state.decrease, 2.0);
  EXPECT_DOUBLE_EQ(o.state.absdecrease, 0.5);
  EXPECT_DOUBLE_EQ(o.state.upper_rmsd, 0.2);
  EXPECT_EQ(o.state.gapwidth, 4);
  EXPECT_EQ(o.state.buffer, 7);
  EXPECT_EQ(o.state.minimum, 12);
}

TEST(Driver, ValuesAreTakenWhole) {
  Outcome o = read({"-g", "12.345", "-m", "1000", "x.pdb"});
  EXPECT_DOUBLE_EQ(o.state.gap, 12.345);
  EXPECT_EQ(o.state.minimum, 1000);
  o = read({"-r", "1-40,60-90,100-120", "x.pdb"});
  EXPECT_EQ(o.state.res_range, ":1-40,60-90,100-120");
  const std::string longpath = std::string(120, 'd') + "/prot.pdb";
  o = read({"-l", longpath, longpath});
  EXPECT_EQ(o.state.libpath, longpath);
  EXPECT_EQ(o.state.pdbpath, longpath);
}

TEST(Driver, RangeTexts) {
  EXPECT_EQ(read({"-r", "all", "x.pdb"}).state.res_range, "ALL");
  EXPECT_EQ(read({"-r", "ALL", "x.pdb"}).state.res_range, "ALL");
  EXPECT_EQ(read({"-r", "All", "x.pdb"}).state.res_range, ":All");
  EXPECT_EQ(read({"-r", "A1-A40", "x.pdb"}).state.res_range, ":A1-A40");
}

TEST(Driver, LibraryFromEnvironmentUnlessFlagGiven) {
  EXPECT_EQ(read({"x.pdb"}, "env.lib").state.libpath, "env.lib");
  EXPECT_EQ(read({"-l", "flag.lib", "x.pdb"}, "env.lib").state.libpath, "flag.lib");
}

TEST(Driver, LongFlagsAreCutToThreeCharacters) {
  EXPECT_EQ(read({"-gwx", "4", "x.pdb"}).state.gapwidth, 4);
  Outcome o = read({"-help", "x.pdb"});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.text, fatal("The number of flags must be equal to the number of arguments!"));
  o = read({"-help", "1", "x.pdb"});
  EXPECT_EQ(o.text, fatal("Flag \"-he\" is invalid. Use \"-h\" to get a list of allowed flags."));
}

TEST(Driver, EveryErrorMessage) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"file.pdb", "-h"}, "The number of flags must be equal to the number of arguments!"},
      {{"-g", "file.pdb"}, "The number of flags must be equal to the number of arguments!"},
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
      {{"-m", "12345678901234567890123", "file.pdb"}, "\"12345678901234567890123\" is not a valid number."},
      {{" "}, "No input data was provided!"},
      {{"-g", "0.3", ""}, "No input data was provided!"},
  };
  for (const auto& [args, message] : cases) {
    Outcome o = read(args);
    EXPECT_EQ(o.status, 1) << message;
    EXPECT_EQ(o.text, fatal(message));
  }
}

TEST(Driver, LaterFlagOverridesEarlier) {
  EXPECT_DOUBLE_EQ(read({"-g", "0.1", "-g", "0.2", "x.pdb"}).state.gap, 0.2);
}

// The executable maps the stop to the exit status.
int run_status(const std::string& args, std::string* out = nullptr) {
  const std::string cmd = std::string(VELDRIX_EXE) + " " + args + " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  std::string text;
  char buf[4096];
  while (size_t n = fread(buf, 1, sizeof buf, p)) text.append(buf, n);
  const int rc = pclose(p);
  if (out) *out = text;
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

TEST(Executable, ExitStatus) {
  std::string out;
  EXPECT_EQ(run_status("", &out), 1);
  EXPECT_NE(out.find("No input file was provided!"), std::string::npos);
  EXPECT_EQ(run_status("-h", &out), 0);
  EXPECT_EQ(out, help_text);
  EXPECT_EQ(run_status("-m 8.0 x.pdb", &out), 1);
  EXPECT_EQ(out, fatal("\"minimum (-m)\" must be an integer!"));
}

}  // namespace
}  // namespace veldrix

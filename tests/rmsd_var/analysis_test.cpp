// The whole analysis on ensembles built in memory, and the structures command that starts it.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "rmsd_var/ranges.hpp"
#include "rmsd_var/structures.hpp"
#include "support.hpp"

namespace veldrix::testing {
namespace {

const std::string tails_and_core = std::string(8, 'f') + std::string(24, 'r') + std::string(8, 'f');

std::string analyse(Session& s, int minimum = 8) {
  find_best_superpos_ranges(s, FArray<bool>(Dim(s.vokandata.nr)), Options{.minimum = minimum});
  return printed(s);
}

TEST(Analysis, IdenticalConformersFormOneDomain) {
  Session s;
  ensemble(s.vokandata, std::string(12, 'r'), 4, 0.0);
  for (int a : {1, 2, 3, 4, 5, 6, 30}) s.vokandata.asel(a) = false;  // residues 1, 2 and one atom of 10
  EXPECT_EQ(analyse(s), "    Optimal range 3..12: RMSD 0.00 A, 0 gaps, 10 residues.\n");
  s.printdata.lines.clear();
  EXPECT_EQ(analyse(s, 11), "*** WARNING: Only domains with < 11 residues could be identified.\n");
}

TEST(Analysis, RigidCoreOfFloppyTailsAndASmallCore) {
  Session s;
  ensemble(s.vokandata, tails_and_core, 10);
  EXPECT_TRUE(std::regex_match(
      analyse(s), std::regex(R"(    Optimal range (8|9)\.\.(32|33): RMSD 0\.[0-4]\d A, 0 gaps, 2[4-6] residues\.\n)")))
      << printed(s);
  Session small;
  ensemble(small.vokandata, std::string(8, 'f') + std::string(6, 'r') + std::string(8, 'f'), 10);
  EXPECT_TRUE(std::regex_match(
      analyse(small, 12),
      std::regex(
          R"(\*\*\* WARNING: The number of core atoms \(  [1-6]\) was below the domain threshold value \( 12\)\.\n)"
          R"(    Optimal range (8|9)\.\.(14|15): RMSD 0\.[0-4]\d A, 0 gaps, [6-8] residues\.\n)")))
      << printed(small);
  ASSERT_EQ(small.printdata.warnings.size(), 1u);
}

TEST(Analysis, UndefinedAngleValuesCountAsDisorder) {
  Session clean, spoiled;
  ensemble(clean.vokandata, tails_and_core, 10);
  ensemble(spoiled.vokandata, tails_and_core, 10);
  spoiled.vokandata.dval(spoiled.vokandata.dix(4, 3)) = NAN;  // angles of floppy residues
  spoiled.vokandata.dval(spoiled.vokandata.dix(2, 77)) = INFINITY;
  EXPECT_EQ(analyse(spoiled), analyse(clean));
}

TEST(Analysis, FatalMessages) {
  const std::vector<std::tuple<std::string, int, std::string>> cases{
      {std::string(10, 'r'), 1, "Less than two structures selected."},
      {"ffff" + std::string(10, 'r'), 8, "No core atoms could be determined."},  // no free angle at all
      {"ffrfffff", 8, "No domains could be identified"}};                        // one core atom: no cluster of two
  for (const auto& [kinds, models, message] : cases) {
    Session s;
    ensemble(s.vokandata, kinds, models);
    if (message.starts_with("No core")) s.vokandata.ndfree = 0;
    EXPECT_EQ(fatal_of([&] { analyse(s); }), message);
  }
}

TEST(StructuresCommand, ActionsParametersAndKeep) {
  Session s;
  make_molecule(s.vokandata, 6, 3, 2);
  FArray<bool> keep;
  for (std::vector<std::string> words : {std::vector<std::string>{}, {"list"}, {"rad"}, {"secondary"}})
    EXPECT_FALSE(read_structures_command(s, words, keep));  // only overlay acts; the default action is list
  EXPECT_TRUE(s.printdata.lines.empty());
  std::vector<std::string> words{"overlay",   "gap=0.12",   "decrease=1.20",   "absdecrease=1.60",  "gapwidth=04",
                                 "buffer=02", "minimum=10", "upper_rmsd=0.30", "keep=C2 :A2..A3,A5"};
  auto fields = [](const Options& o) {
    return std::tuple(o.gap, o.decrease, o.absdecrease, o.upper_rmsd, o.gapwidth, o.buffer, o.minimum);
  };
  EXPECT_EQ(fields(*read_structures_command(s, words, keep)), std::tuple(0.12, 1.2, 1.6, 0.3, 4, 2, 10));
  EXPECT_EQ(std::vector<bool>(keep.begin(), keep.end()), std::vector<bool>({false, true, true, false, true, false}));
  words = {"overlay"};
  EXPECT_EQ(fields(*read_structures_command(s, words, keep)), std::tuple(0.4, 1.2, 1.6, 0.1, 3, 3, 8));  // the defaults
  EXPECT_EQ(std::vector<bool>(keep.begin(), keep.end()), std::vector<bool>(6, false));
}

}  // namespace
}  // namespace veldrix::testing

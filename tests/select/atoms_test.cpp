// The atoms command: select and count, inactive actions, save names, refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command/params.hpp"
#include "molecule/vokandata.hpp"
#include "peptide.hpp"
#include "select/atoms.hpp"
#include "select/select.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

using testing::flagged;
using Words = std::vector<std::string>;
using V = std::vector<int>;

// Three residues (atoms N CA C O QB each), every atom selected, CA of A1 without coordinates.
class AtomsCommand : public ::testing::Test {
 protected:
  testing::Captured cap;
  void SetUp() override {
    testing::make_peptide(3, 2);
    testing::set_xyz(2, 2, unknown_value, 0, 0);
    selectdata.nsel = -1;
  }
  void run(Words w) { atoms(w); }
};

TEST_F(AtomsCommand, SelectAndCount) {
  run({"count", "BACKBONE"});
  EXPECT_EQ(selectdata.nsel, 9);
  EXPECT_EQ(flagged(vokandata.asel).size(), 15u) << "count leaves the selection";
  run({"select", "BACKBONE ALL / WITHCOORDALL - &DUMMY"});
  EXPECT_EQ(flagged(vokandata.asel), (V{1, 3, 6, 7, 8, 11, 12, 13}));
  EXPECT_EQ(selectdata.nsel, 8);
  EXPECT_EQ(paramdata.prefix, "atoms_select_");
  run({"select", "+O :A2"});  // combined with the selection of the previous command
  EXPECT_EQ(flagged(vokandata.asel), (V{1, 3, 6, 7, 8, 9, 11, 12, 13}));
  run({"co", "selection=CA"});
  EXPECT_EQ(selectdata.nsel, 3);
  run({});  // default action select without a selection keeps asel
  EXPECT_EQ(selectdata.nsel, 9);
  run({"select", "BACKBONE :1-40 / WITHCOORDALL - &DUMMY"});
  EXPECT_TRUE(flagged(vokandata.asel).empty());
  EXPECT_EQ(cap.text(), "") << "the command prints nothing";
}

TEST_F(AtomsCommand, OtherActionsAreInert) {
  for (const char* action : {"list", "set", "stereo", "gyration", "li"}) run({action, "BACKBONE", "whatever=1"});
  EXPECT_EQ(flagged(vokandata.asel).size(), 15u);
  EXPECT_EQ(selectdata.nsel, -1);
}

TEST_F(AtomsCommand, SaveOnlySetsUpTheStore) {
  run({"select", "CA", "save="});
  EXPECT_TRUE(selectdata.slinit);
  run({"select", "CA", "save=core"});
  EXPECT_FALSE(selectdata.slinit);
  EXPECT_EQ(selectdata.nasl, 0) << "nothing is stored under the name";
}

TEST_F(AtomsCommand, Refusals) {
  for (const auto& [words, message] : std::vector<std::pair<Words, std::string>>{
           {{"frobnicate"}, R"(Illegal value "frobnicate" for parameter "action".)"},
           {{"s"}, R"(Illegal value "s" for parameter "action".)"},
           {{"select", "CA", "bogus=1"}, R"(Unknown parameter name "bogus".)"},
           {{"select", "CA", "x", "y"}, R"(Illegal parameter "y".)"}}) {
    cap.clear();
    EXPECT_EQ(testing::stop_status([&] { run(words); }), std::optional<int>(1));
    EXPECT_EQ(cap.text(), "*** FATAL ERROR: " + message + "\n");
  }
  EXPECT_EQ(flagged(vokandata.asel).size(), 15u);
  EXPECT_EQ(atoms_template.size(), 112u);
}

}  // namespace
}  // namespace veldrix

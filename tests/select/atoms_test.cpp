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

using testing::atoms_where;
using testing::Captured;
using testing::flagged;
using testing::make_peptide;
using testing::stop_status;
using Words = std::vector<std::string>;

class AtomsCommand : public ::testing::Test {
 protected:
  Captured cap;
  void SetUp() override {
    make_peptide(3, 2);  // every atom selected to begin with
    selectdata.nsel = -1;
  }
  std::vector<int> backbone() {
    return atoms_where([](const std::string& n, int) { return n == "N" || n == "CA" || n == "C"; });
  }
};

TEST_F(AtomsCommand, SelectSetsTheGlobalSelection) {
  Words w{"select", "BACKBONE"};
  atoms(w);
  EXPECT_EQ(flagged(vokandata.asel), backbone());
  EXPECT_EQ(selectdata.nsel, 9);
  EXPECT_EQ(paramdata.prefix, "atoms_select_");
  EXPECT_EQ(cap.text(), "");
  // An operator combines with the selection left by the previous command.
  Words more{"select", "+O :A2"};
  atoms(more);
  std::vector<int> want = backbone();
  want.push_back(9);
  std::sort(want.begin(), want.end());
  EXPECT_EQ(flagged(vokandata.asel), want);
  EXPECT_EQ(selectdata.nsel, 10);
}

TEST_F(AtomsCommand, RunScriptSelection) {
  testing::set_xyz(2, 2, unknown_value, 0, 0);
  Words w{"select", "BACKBONE ALL / WITHCOORDALL - &DUMMY"};
  atoms(w);
  std::vector<int> want = backbone();
  std::erase(want, 2);
  EXPECT_EQ(flagged(vokandata.asel), want);
  EXPECT_EQ(selectdata.nsel, 8);
  Words ranged{"select", "BACKBONE :1-40 / WITHCOORDALL - &DUMMY"};
  atoms(ranged);
  EXPECT_TRUE(flagged(vokandata.asel).empty());
  EXPECT_EQ(selectdata.nsel, 0);
}

TEST_F(AtomsCommand, CountLeavesTheSelection) {
  vokandata.asel(4) = false;
  Words w{"count", "BACKBONE"};
  atoms(w);
  EXPECT_EQ(selectdata.nsel, 9);
  EXPECT_EQ(flagged(vokandata.asel).size(), 14u);
  EXPECT_FALSE(vokandata.asel(4));
  EXPECT_EQ(cap.text(), "");
  Words named{"co", "selection=CA"};
  atoms(named);
  EXPECT_EQ(selectdata.nsel, 3);
}

TEST_F(AtomsCommand, OtherActionsDoNothing) {
  for (const char* action : {"list", "set", "stereo", "swap", "gyration", "li"}) {
    Words w{action, "BACKBONE", "whatever=1"};
    atoms(w);
    EXPECT_EQ(flagged(vokandata.asel).size(), 15u) << action;
    EXPECT_EQ(selectdata.nsel, -1) << action;
  }
  EXPECT_EQ(cap.text(), "");
}

TEST_F(AtomsCommand, DefaultActionAndMissingSelection) {
  Words none;
  atoms(none);  // action select, no selection: asel is copied onto itself
  EXPECT_EQ(flagged(vokandata.asel).size(), 15u);
  EXPECT_EQ(selectdata.nsel, 15);
  Words sel_only{"selection=CA"};
  atoms(sel_only);
  EXPECT_EQ(flagged(vokandata.asel), (std::vector<int>{2, 7, 12}));
}

TEST_F(AtomsCommand, SaveOnlySetsUpTheStore) {
  Words blank{"select", "CA", "save="};
  atoms(blank);
  EXPECT_TRUE(selectdata.slinit);
  Words named{"select", "CA", "save=core"};
  atoms(named);
  EXPECT_FALSE(selectdata.slinit);
  EXPECT_EQ(selectdata.nasl, 0) << "nothing is stored under the name";
}

TEST_F(AtomsCommand, Refusals) {
  const auto message = [&](Words w) {
    cap.clear();
    EXPECT_EQ(stop_status([&] { atoms(w); }), std::optional<int>(1));
    return cap.text();
  };
  EXPECT_EQ(message({"frobnicate"}), "*** FATAL ERROR: Illegal value \"frobnicate\" for parameter \"action\".\n");
  EXPECT_EQ(message({"s"}), "*** FATAL ERROR: Illegal value \"s\" for parameter \"action\".\n");
  EXPECT_EQ(message({"select", "CA", "bogus=1"}), "*** FATAL ERROR: Unknown parameter name \"bogus\".\n");
  EXPECT_EQ(message({"select", "CA", "x", "y"}), "*** FATAL ERROR: Illegal parameter \"y\".\n");
  // The selection is unchanged after a refused command.
  EXPECT_EQ(flagged(vokandata.asel).size(), 15u);
}

TEST(AtomsTemplate, IsOneKeywordList) {
  EXPECT_EQ(atoms_template.size(), 112u);
  EXPECT_NE(atoms_template.find("calibrate|observable"), std::string_view::npos);
}

}  // namespace
}  // namespace veldrix

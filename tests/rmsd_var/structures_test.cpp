// The structures command: which actions act, and the parameters that reach the analysis.
#include <gtest/gtest.h>

#include "rmsd_var/structures.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

using testing::Captured;
using testing::stop_status;

TEST(StructuresCommand, OnlyOverlayActs) {
  Captured c;
  testing::make_molecule(5, 3, 2);
  std::vector<std::string> none;
  EXPECT_FALSE(read_structures_command(none));  // the default action is list
  std::vector<std::string> list{"list"};
  EXPECT_FALSE(read_structures_command(list));
  std::vector<std::string> radius{"rad"};
  EXPECT_FALSE(read_structures_command(radius));
  EXPECT_EQ(c.text(), "");
  std::vector<std::string> words{"secondary"};
  structures(words);
  EXPECT_EQ(c.text(), "");
}

TEST(StructuresCommand, TheRunsCommandLineReachesTheAnalysis) {
  Captured c;
  testing::make_molecule(5, 3, 2);
  std::vector<std::string> words{"overlay",   "gap=0.12",  "decrease=1.20", "absdecrease=1.60", "gapwidth=04",
                                 "buffer=02", "minimum=10", "upper_rmsd=0.30"};
  const auto req = read_structures_command(words);
  ASSERT_TRUE(req);
  EXPECT_DOUBLE_EQ(req->gap, 0.12);
  EXPECT_DOUBLE_EQ(req->decrease, 1.2);
  EXPECT_DOUBLE_EQ(req->absdecrease, 1.6);
  EXPECT_EQ(req->gapwidth, 4);
  EXPECT_EQ(req->buffer, 2);
  EXPECT_EQ(req->minimum, 10);
  EXPECT_DOUBLE_EQ(req->upper_rmsd, 0.3);
  for (int r = 1; r <= 5; ++r) EXPECT_FALSE(req->keep(r));
}

TEST(StructuresCommand, DefaultsWhenParametersAreAbsent) {
  Captured c;
  testing::make_molecule(2, 3, 2);
  std::vector<std::string> words{"overlay"};
  const auto req = read_structures_command(words);
  ASSERT_TRUE(req);
  EXPECT_DOUBLE_EQ(req->gap, 0.4);
  EXPECT_DOUBLE_EQ(req->decrease, 1.2);
  EXPECT_DOUBLE_EQ(req->absdecrease, 1.6);
  EXPECT_EQ(req->gapwidth, 3);
  EXPECT_EQ(req->minimum, 8);
  EXPECT_EQ(req->buffer, 3);
  EXPECT_DOUBLE_EQ(req->upper_rmsd, 0.1);
}

TEST(StructuresCommand, KeepMarksResiduesWithAnySelectedAtom) {
  Captured c;
  testing::make_molecule(6, 3, 2);
  std::vector<std::string> words{"overlay", "keep=C2 :A2..A3,A5"};
  const auto req = read_structures_command(words);
  ASSERT_TRUE(req);
  const bool expected[] = {false, true, true, false, true, false};
  for (int r = 1; r <= 6; ++r) EXPECT_EQ(req->keep(r), expected[r - 1]) << r;
}

TEST(StructuresCommand, ValuesTooWideForTheirFieldAreRefused) {
  Captured c;
  testing::make_molecule(2, 3, 2);
  std::vector<std::string> words{"overlay", "gap=*****"};
  EXPECT_EQ(stop_status([&] { read_structures_command(words); }), 1);
  EXPECT_EQ(c.text(), "*** FATAL ERROR: Illegal value \"*****\" for parameter \"gap\".\n");
  c.clear();
  std::vector<std::string> minimum{"overlay", "minimum=**"};
  EXPECT_EQ(stop_status([&] { read_structures_command(minimum); }), 1);
  EXPECT_EQ(c.text(), "*** FATAL ERROR: Illegal value \"**\" for parameter \"minimum\".\n");
}

}  // namespace
}  // namespace veldrix

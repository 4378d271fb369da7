// The whole program on real NMR ensembles: the complete output against reviewed reference outputs.
#include <gtest/gtest.h>

#include "e2e/e2e_support.hpp"

namespace veldrix::testing {
namespace {

class RealEnsemble : public ::testing::TestWithParam<std::string> {};

TEST_P(RealEnsemble, OutputMatchesTheReference) {
  const std::string name = GetParam();
  TempDir dir("e2e");
  ASSERT_FALSE(unpack(name + ".pdb", dir.path()).empty());
  const RunResult r = run_veldrix(name + ".pdb", dir.path());
  const std::filesystem::path expected = std::filesystem::path(VELDRIX_TEST_DATA) / "expected";
  EXPECT_EQ(r.out, read_file(expected / (name + ".out")));
  EXPECT_EQ(r.status, std::stoi(read_file(expected / (name + ".status"))));
}

INSTANTIATE_TEST_SUITE_P(Files, RealEnsemble,
                         ::testing::Values("1adz", "1aj3", "1aq5", "1d3z", "1hdn", "1l2y", "1lcd", "2beg", "2hkb",
                                           "2k39", "2lc9", "2sdf"));

// Every reported domain line is consistent with itself: gaps = ranges - 1, residues = their total.
TEST(RealEnsembles, ResultLinesAreSelfConsistent) {
  for (const char* name : {"1adz", "1aq5", "2beg", "2lc9"}) {
    const std::vector<Domain> domains =
        result_lines(read_file(std::filesystem::path(VELDRIX_TEST_DATA) / "expected" / (std::string(name) + ".out")));
    ASSERT_FALSE(domains.empty()) << name;
    for (const Domain& d : domains) {
      int total = 0;
      for (auto [a, b] : d.ranges) total += b - a + 1;
      EXPECT_EQ(d.gaps, int(d.ranges.size()) - 1) << name;
      EXPECT_EQ(d.residues, total) << name;
      EXPECT_GT(d.rmsd, 0.0) << name;
    }
  }
}

TEST(RealEnsembles, SameInputSameBytes) {
  TempDir dir("e2e");
  ASSERT_FALSE(unpack("2sdf.pdb", dir.path()).empty());
  const RunResult a = run_veldrix("2sdf.pdb", dir.path());
  const RunResult b = run_veldrix("2sdf.pdb", dir.path());
  EXPECT_EQ(a.out, b.out);
  EXPECT_FALSE(result_lines(a.out).empty());
}

}  // namespace
}  // namespace veldrix::testing

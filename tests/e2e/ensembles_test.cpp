// The whole program on real NMR ensembles: the complete output against reviewed reference outputs, from the
// executable and from the library, the domains as data, and analyses on several threads at once.
#include <gtest/gtest.h>

#include <cstdio>

#include "e2e/e2e_support.hpp"
#include "veldrix/veldrix.hpp"

namespace veldrix::testing {
namespace {

const std::vector<std::string> ensembles = {"1adz", "1aj3", "1aq5", "1d3z", "1hdn", "1l2y",
                                            "1lcd", "2beg", "2hkb", "2k39", "2lc9", "2sdf"};

std::string expected(const std::string& name, const std::string& kind) {
  return data_file("expected/" + name + "." + kind);
}

// What the library returns for an ensemble, as the executable prints it: lines, then the fatal message.
std::string printed_by_library(const std::string& text, const std::string& name) {
  try {
    return joined(analyse_text(text, {}, name).lines);
  } catch (const Error& e) {
    return joined(e.lines()) + "*** FATAL ERROR: " + e.what() + "\n";
  }
}

class RealEnsemble : public ::testing::TestWithParam<std::string> {};

TEST_P(RealEnsemble, OutputMatchesTheReference) {
  const std::string name = GetParam();
  TempDir dir("e2e");
  const std::string text = data_file(name + ".pdb.gz");
  dir.write(name + ".pdb", text);
  const RunResult r = run_veldrix(name + ".pdb", dir.path());
  EXPECT_EQ(r.out, expected(name, "out"));
  EXPECT_EQ(r.status, std::stoi(expected(name, "status")));
  EXPECT_EQ(printed_by_library(text, name + ".pdb"), expected(name, "out"));
}

INSTANTIATE_TEST_SUITE_P(Files, RealEnsemble, ::testing::ValuesIn(ensembles));

// The domains as data say what their result lines say.
TEST(RealEnsembles, DomainsAsDataMatchTheirLines) {
  for (const std::string& name : ensembles) {
    const std::string text = data_file(name + ".pdb.gz");
    if (expected(name, "status") != "0\n") continue;
    const Result r = analyse_text(text, {}, name + ".pdb");
    const std::vector<PrintedDomain> printed = result_lines(joined(r.lines));
    ASSERT_EQ(r.domains.size(), printed.size()) << name;
    EXPECT_GT(r.residues, 0);
    EXPECT_EQ(r.conformers.rigid + r.conformers.flexible > 1, true);
    for (std::size_t d = 0; d < printed.size(); ++d) {
      const Domain& dom = r.domains[d];
      EXPECT_EQ(dom.ranges, printed[d].text) << name;
      char rmsd[32];
      std::snprintf(rmsd, sizeof rmsd, "%.2f", dom.rmsd);
      EXPECT_EQ(rmsd, printed[d].rmsd) << name;
      EXPECT_EQ(dom.gaps, printed[d].gaps) << name;
      EXPECT_EQ(dom.residues, printed[d].residues) << name;
      EXPECT_EQ(int(dom.residue_ids.size()), dom.residues) << name;
      ASSERT_EQ(dom.segments.size(), printed[d].ranges.size()) << name;
      EXPECT_EQ(int(dom.segments.size()) - 1, dom.gaps) << name;
      for (std::size_t k = 0; k < dom.segments.size(); ++k) {
        const Segment& seg = dom.segments[k];
        EXPECT_EQ(seg.first, seg.chain + std::to_string(printed[d].ranges[k].first)) << name;
        EXPECT_EQ(seg.last, seg.chain + std::to_string(printed[d].ranges[k].second)) << name;
      }
    }
  }
}

TEST(RealEnsembles, ErrorsCarryTheirMessageAndTheLinesBefore) {
  try {
    analyse_text(data_file("2hkb.pdb.gz"), {}, "2hkb.pdb");
    FAIL() << "the DNA-only ensemble has no residue of the library";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "No amino acid residues in sequence.");
    ASSERT_EQ(e.lines().size(), 3u);
    EXPECT_EQ(e.lines()[1], "              VELDRIX (v. 2.0)");
  }
  EXPECT_THROW(analyse("/nonexistent/x.pdb"), Error);
  EXPECT_EQ(version(), "2.0.0");
}

}  // namespace
}  // namespace veldrix::testing

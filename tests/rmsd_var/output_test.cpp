// Which domains are reported, in which order, and the printed result line.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <vector>

#include "ensemble.hpp"
#include "rmsd_var/output.hpp"
#include "rmsd_var/state.hpp"
#include "superpose/overlay.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

void noisy_backbone(int nr, int nstr) {
  testing::build_backbone(nr, nstr, [nr](int s) {
    std::mt19937 gen(100 + unsigned(s));
    std::uniform_real_distribution<double> u(-0.05, 0.05);
    testing::Torsions t;
    t.phi.assign(std::size_t(nr) + 1, 0.0);
    t.psi.assign(std::size_t(nr) + 1, 0.0);
    for (int r = 1; r <= nr; ++r) {
      t.phi[std::size_t(r)] = -1.1 + u(gen);
      t.psi[std::size_t(r)] = -0.8 + u(gen);
    }
    return t;
  });
}

// Masks of domains given as residue lists: residues and all their atoms.
struct Masks {
  FArray<bool, 2> res, atoms;
};
Masks masks_of(const std::vector<std::vector<int>>& domains, int rows) {
  const VokanData& v = vokandata;
  Masks m{FArray<bool, 2>(Dim(rows), Dim(v.nr + 1)), FArray<bool, 2>(Dim(rows), Dim(v.na))};
  for (std::size_t d = 0; d < domains.size(); ++d)
    for (int r : domains[d]) {
      m.res(int(d) + 1, r) = true;
      for (int a = v.ifira(r); a < v.ifira(r + 1); ++a) m.atoms(int(d) + 1, a) = true;
    }
  return m;
}

std::vector<int> residues_of(const FArray<bool, 2>& res, int d) {
  std::vector<int> out;
  for (int r = 1; r <= res.ubound(1); ++r)
    if (res(d, r)) out.push_back(r);
  return out;
}

std::vector<int> span_of(int from, int to) {
  std::vector<int> s;
  for (int i = from; i <= to; ++i) s.push_back(i);
  return s;
}

class Output : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::reset_all();
    reset_rmsd_var();
    noisy_backbone(60, 4);
  }
};

TEST_F(Output, DomainsOrderedByTheirFirstResidue) {
  Masks m = masks_of({span_of(40, 50), span_of(3, 12), span_of(20, 30)}, 4);
  EXPECT_EQ(prepare_dom_for_output(3, m.res, m.atoms, 8, false), 3);
  EXPECT_EQ(residues_of(m.res, 1), span_of(3, 12));
  EXPECT_EQ(residues_of(m.res, 2), span_of(20, 30));
  EXPECT_EQ(residues_of(m.res, 3), span_of(40, 50));
  EXPECT_TRUE(m.atoms(1, 7) && m.atoms(1, 36) && !m.atoms(1, 37));
  EXPECT_TRUE(residues_of(m.res, 4).empty());
}

TEST_F(Output, SmallDomainsNeedTheSmallCoreFlag) {
  Masks m = masks_of({{7, 8}, span_of(20, 30)}, 2);
  EXPECT_EQ(prepare_dom_for_output(2, m.res, m.atoms, 8, false), 1);
  EXPECT_EQ(residues_of(m.res, 1), span_of(20, 30));
  EXPECT_TRUE(residues_of(m.res, 2).empty());
  for (int a = 1; a <= vokandata.na; ++a) EXPECT_FALSE(m.atoms(2, a));

  m = masks_of({{7, 8}, span_of(20, 30), {}}, 3);
  EXPECT_EQ(prepare_dom_for_output(3, m.res, m.atoms, 8, true), 2);  // the empty one never counts
  EXPECT_EQ(residues_of(m.res, 1), (std::vector<int>{7, 8}));
}

TEST_F(Output, DomainWithoutRmsdIsNotReported) {
  // Residues 3..12 lack coordinates in conformer 2: no atom is usable, the RMSD
  // cannot be computed, and the domain would print a negative RMSD.
  for (int a = vokandata.ifira(3); a < vokandata.ifira(13); ++a)
    testing::set_xyz(2, a, unknown_value, unknown_value, unknown_value);
  Masks m = masks_of({span_of(3, 12), span_of(20, 30)}, 2);
  EXPECT_EQ(prepare_dom_for_output(2, m.res, m.atoms, 8, false), 1);
  EXPECT_EQ(residues_of(m.res, 1), span_of(20, 30));
}

TEST_F(Output, ResultLine) {
  testing::Captured out;
  noisy_backbone(60, 4);
  std::vector<int> residues = span_of(5, 42), more = span_of(48, 60);
  residues.insert(residues.end(), more.begin(), more.end());
  Masks m = masks_of({residues}, 1);
  const FArray<bool> atoms = mask_row(m.atoms, 1);
  const double rmsd = armsd(atoms, 0);
  ASSERT_GT(rmsd, 0.0);
  output_domain(mask_row(m.res, 1), atoms);
  char value[32];
  std::snprintf(value, sizeof value, "%.2f", rmsd);
  EXPECT_EQ(out.text(), std::string("    Optimal range 5..42, 48..60: RMSD ") + value + " A, 1 gap, 51 residues.\n");
  EXPECT_EQ(rmsd_var.str, "5..42, 48..60");
}

TEST_F(Output, SingularNounsForOne) {
  testing::Captured out;
  noisy_backbone(60, 4);
  Masks m = masks_of({{17}}, 1);
  FArray<bool> atoms(Dim(vokandata.na));
  for (int a = 40; a <= 60; ++a) atoms(a) = true;
  const double rmsd = armsd(atoms, 0);
  output_domain(mask_row(m.res, 1), atoms);
  char value[32];
  std::snprintf(value, sizeof value, "%.2f", rmsd);
  EXPECT_EQ(out.text(), std::string("    Optimal range 17: RMSD ") + value + " A, 0 gaps, 1 residue.\n");
}

}  // namespace
}  // namespace veldrix

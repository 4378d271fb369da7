// Which domains are reported, in which order, and the printed result line.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "rmsd_var/output.hpp"
#include "rmsd_var/state.hpp"
#include "superpose/overlay.hpp"
#include "support.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

using testing::span_of;
using Ints = std::vector<int>;

struct Masks {
  FArray<bool, 2> res, atoms;
};

// A 60-residue ensemble and masks of domains given as residue lists.
Masks domains(const std::vector<Ints>& list, int rows) {
  testing::ensemble(testing::layout({{testing::Kind::rigid, 60}}), 4);
  const VokanData& v = vokandata;
  Masks m{FArray<bool, 2>(Dim(rows), Dim(v.nr + 1)), FArray<bool, 2>(Dim(rows), Dim(v.na))};
  for (std::size_t d = 0; d < list.size(); ++d)
    for (int r : list[d]) {
      m.res(int(d) + 1, r) = true;
      for (int a = v.ifira(r); a < v.ifira(r + 1); ++a) m.atoms(int(d) + 1, a) = true;
    }
  return m;
}

TEST(Output, DomainsOrderedByTheirFirstResidue) {
  testing::reset_all();
  Masks m = domains({span_of(40, 50), span_of(3, 12), span_of(20, 30)}, 4);
  EXPECT_EQ(prepare_dom_for_output(3, m.res, m.atoms, 8, false), 3);
  EXPECT_EQ(testing::set_in_row(m.res, 1), span_of(3, 12));
  EXPECT_EQ(testing::set_in_row(m.res, 2), span_of(20, 30));
  EXPECT_EQ(testing::set_in_row(m.res, 3), span_of(40, 50));
  EXPECT_EQ(testing::set_in_row(m.atoms, 1), span_of(7, 36));
  EXPECT_TRUE(testing::set_in_row(m.res, 4).empty());
}

TEST(Output, SizeFilterAndSmallCore) {
  testing::reset_all();
  Masks m = domains({{7, 8}, span_of(20, 30)}, 2);
  EXPECT_EQ(prepare_dom_for_output(2, m.res, m.atoms, 8, false), 1);
  EXPECT_EQ(testing::set_in_row(m.res, 1), span_of(20, 30));
  EXPECT_TRUE(testing::set_in_row(m.res, 2).empty() && testing::set_in_row(m.atoms, 2).empty());
  m = domains({{7, 8}, span_of(20, 30), {}}, 3);
  EXPECT_EQ(prepare_dom_for_output(3, m.res, m.atoms, 8, true), 2);  // the empty one never counts
  EXPECT_EQ(testing::set_in_row(m.res, 1), Ints({7, 8}));
}

TEST(Output, DomainWithoutRmsdIsNotReported) {
  testing::reset_all();
  Masks m = domains({span_of(3, 12), span_of(20, 30)}, 2);
  // Residues 3..12 lack coordinates in conformer 2: their RMSD cannot be
  // computed and would print as a negative number.
  for (int a = vokandata.ifira(3); a < vokandata.ifira(13); ++a)
    testing::set_xyz(2, a, unknown_value, unknown_value, unknown_value);
  EXPECT_EQ(prepare_dom_for_output(2, m.res, m.atoms, 8, false), 1);
  EXPECT_EQ(testing::set_in_row(m.res, 1), span_of(20, 30));
}

// The printed line of one domain, and the RMSD it must show.
std::pair<std::string, std::string> line(const Ints& residues, const FArray<bool>* atoms = nullptr) {
  testing::Captured out;
  Masks m = domains({residues}, 1);
  const FArray<bool> sel = atoms ? *atoms : mask_row(m.atoms, 1);
  char value[32];
  std::snprintf(value, sizeof value, "%.2f", armsd(sel, 0));
  output_domain(mask_row(m.res, 1), sel);
  return {out.text(), value};
}

TEST(Output, ResultLine) {
  Ints residues = span_of(5, 42), more = span_of(48, 60);
  residues.insert(residues.end(), more.begin(), more.end());
  auto [text, rmsd] = line(residues);
  EXPECT_EQ(text, "    Optimal range 5..42, 48..60: RMSD " + rmsd + " A, 1 gap, 51 residues.\n");
  EXPECT_EQ(rmsd_var.str, "5..42, 48..60");
  FArray<bool> atoms(Dim(180));
  for (int a = 40; a <= 60; ++a) atoms(a) = true;
  std::tie(text, rmsd) = line({17}, &atoms);
  EXPECT_EQ(text, "    Optimal range 17: RMSD " + rmsd + " A, 0 gaps, 1 residue.\n");
}

}  // namespace
}  // namespace veldrix

// Residue ranges of a level, the level choice, atom selection of ranges and overlaps.
#include <gtest/gtest.h>

#include <vector>

#include "molecule/vokandata.hpp"
#include "rmsd_var/domains.hpp"
#include "rmsd_var/state.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

using testing::make_molecule;

LevelRecord level_of(const std::vector<std::vector<int>>& rows) {
  LevelRecord l;
  l.first.push_back(0);
  for (const auto& r : rows) {
    l.members.insert(l.members.end(), r.begin(), r.end());
    l.first.push_back(int(l.members.size()));
    l.width = std::max(l.width, int(r.size()));
  }
  return l;
}

FArray<int, 2> range_matrix(int n, const std::vector<std::vector<int>>& rows) {
  FArray<int, 2> m(Dim(2 * n), Dim(2 * n));
  m.fill(-1000);
  for (std::size_t d = 0; d < rows.size(); ++d)
    for (std::size_t k = 0; k < rows[d].size(); ++k) m(int(d) + 1, int(k) + 1) = rows[d][k];
  return m;
}

std::vector<int> row_values(const FArray<int, 2>& m, int d) {
  std::vector<int> out;
  for (int k = 1; k <= m.ubound(1) && m(d, k) != -1000; ++k) out.push_back(m(d, k));
  return out;
}

std::vector<int> core_of(int n) {
  std::vector<int> c;
  for (int i = 1; i <= n; ++i) c.push_back(i);
  return c;
}

class Domains : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::reset_all();
    reset_rmsd_var();
  }
};

TEST_F(Domains, FilledEntriesAndSize) {
  const FArray<int, 2> m = range_matrix(4, {{3, 3}, {3, 5, 7, 7}, {3, 5, 7, 9}, {}});
  EXPECT_EQ(filled_entries(m, 1), 2);
  EXPECT_EQ(filled_entries(m, 2), 4);  // a last range of one residue
  EXPECT_EQ(filled_entries(m, 3), 4);
  EXPECT_EQ(get_domain_size(m, 1), 1);
  EXPECT_EQ(get_domain_size(m, 2), 4);
  EXPECT_EQ(get_domain_size(m, 3), 6);
  EXPECT_EQ(get_domain_size(m, 4), 0);
}

TEST_F(Domains, RangesOfAClusteringLevel) {
  make_molecule(7, 1, 2);
  VokanData& v = vokandata;
  // Residues 2 and 3 share number 10 (insertion code); residue 4 repeats it in chain 2.
  const char* labels[7] = {"A9", "A10", "A10A", "B10", "B11", "B12", "B13"};
  for (int r = 1; r <= 7; ++r) {
    v.rnum(r) = labels[r - 1];
    v.ichain(r) = r <= 3 ? 1 : 2;
  }
  FArray<int, 2> m(Dim(14), Dim(14));
  get_domains(level_of({{1, 2, 3, 4}, {5}, {5, 7}}), core_of(7), m);
  EXPECT_EQ(row_values(m, 1), (std::vector<int>{1, 1, 2, 3, 4, 4}));
  EXPECT_EQ(row_values(m, 2), (std::vector<int>{5, 5, 7, 7}));  // the single-item cluster gives no row
  EXPECT_EQ(m(3, 1), -1000);
}

TEST_F(Domains, AverageSizeAndLimit) {
  const FArray<int, 2> m = range_matrix(4, {{1, 3}, {5, 5, 7, 7}, {}});
  EXPECT_EQ(get_avrg_domain_size(m, 3, false), 3);
  EXPECT_EQ(get_avrg_domain_size(m, 3, true), 2);  // (3 + 2) / 2, truncated
  EXPECT_EQ(get_avrg_domain_size(m, 4, false), 0);
  EXPECT_EQ(domain_limit(16), 2);
  EXPECT_EQ(domain_limit(17), 3);
  EXPECT_EQ(domain_limit(20), 3);
  EXPECT_EQ(domain_limit(24), 3);
  EXPECT_EQ(domain_limit(25), 4);
}

TEST_F(Domains, LevelChoiceNeedsMeanSizeAboveLimit) {
  make_molecule(16, 1, 2);
  std::vector<std::vector<int>> l1, l2{{1, 2}, {3, 4}}, l3{{1, 2, 3}, {4, 5, 6}};
  for (int i = 1; i <= 16; ++i) l1.push_back({i});
  for (int i = 5; i <= 16; ++i) l2.push_back({i});
  for (int i = 7; i <= 16; ++i) l3.push_back({i});
  const std::vector<LevelRecord> levels{level_of(l1), level_of(l2), level_of(l3), level_of({core_of(16)})};
  // Scores 10016, 14, 17, 21: level 2 is best but its mean size 2 equals the
  // limit for 16 core atoms, so the best of levels 3..4 is taken.
  const std::vector<std::optional<double>> spread{10000.0, 0.0, 5.0, 20.0};
  FArray<int, 2> m(Dim(32), Dim(32));
  EXPECT_EQ(get_best_clustering(m, spread, levels, core_of(16), 1, false), 3);
  EXPECT_EQ(row_values(m, 1), (std::vector<int>{1, 1, 2, 2, 3, 3}));
  EXPECT_EQ(row_values(m, 2), (std::vector<int>{4, 4, 5, 5, 6, 6}));
  // The small-core flag takes the last level.
  EXPECT_EQ(get_best_clustering(m, spread, levels, core_of(16), 1, true), 4);
  EXPECT_EQ(get_domain_size(m, 1), 16);
  // The search runs out at the last level: no ranges at all.
  const std::vector<LevelRecord> poor{level_of(l1), level_of(l2)};
  EXPECT_EQ(get_best_clustering(m, std::vector<std::optional<double>>{10000.0, 0.0}, poor, core_of(16), 1, false),
            2);
  EXPECT_EQ(m(1, 1), -1000);
  EXPECT_EQ(get_avrg_domain_size(m, 1, false), 0);
}

TEST_F(Domains, WidenedRangesAreClipped) {
  make_molecule(10, 1, 2);
  const FArray<int, 2> m = range_matrix(3, {{2, 2, 9, 9}, {5, 6}});
  EXPECT_EQ(widen_ranges(m, 1, 3), (std::vector<int>{1, 5, 6, 10}));
  EXPECT_EQ(widen_ranges(m, 2, 0), (std::vector<int>{5, 6}));
}

TEST_F(Domains, AtomSelectionOfRanges) {
  make_molecule(6, 3, 2);  // residue r: atoms 3r-2 .. 3r
  VokanData& v = vokandata;
  v.asel(5) = false;
  modify_atom_selection(std::vector<int>{2, 3, 5, 5});
  std::vector<int> kept;
  for (int a = 1; a <= v.na; ++a)
    if (v.asel(a)) kept.push_back(a);
  // Residue 2 whole except the atom that was already off; the end residues 3
  // and 5 only their first atom; nothing outside the ranges.
  EXPECT_EQ(kept, (std::vector<int>{4, 6, 7, 13}));

  for (int a = 1; a <= v.na; ++a) v.asel(a) = true;
  modify_atom_selection(std::vector<int>{1, 4, 3, 6});  // overlapping ranges
  kept.clear();
  for (int a = 1; a <= v.na; ++a)
    if (!v.asel(a)) kept.push_back(a);
  EXPECT_EQ(kept, (std::vector<int>{17, 18}));
}

TEST_F(Domains, OverlapsCountedAndRemovedFromThePreviousDomain) {
  make_molecule(6, 2, 2);
  const int nr = 6;
  FArray<bool, 2> res(Dim(3), Dim(nr + 1));
  FArray<bool, 2> atoms(Dim(3), Dim(12));
  const std::vector<std::vector<int>> claims{{1, 2, 3}, {3, 4}, {2, 5}};
  FArray<bool> used(Dim(nr + 1));
  FArray<int, 2> overlaps(Dim(3), Dim(nr));
  overlaps.fill(-1000);
  int noverlap = 0;
  for (int d = 1; d <= 3; ++d) {
    FArray<bool> flags(Dim(nr + 1));
    for (int r : claims[std::size_t(d - 1)]) {
      flags(r) = true;
      res(d, r) = true;
      atoms(d, 2 * r - 1) = atoms(d, 2 * r) = true;
    }
    determine_overlap(flags, used, noverlap, overlaps, d);
  }
  EXPECT_EQ(noverlap, 2);
  EXPECT_EQ(overlaps(2, 1), 3);
  EXPECT_EQ(overlaps(3, 1), 2);
  EXPECT_EQ(overlaps(3, 2), -1000);
  remove_overlap(res, atoms, overlaps, 3);
  // Residue 3 leaves domain 1 and stays in domain 2. Residue 2 was claimed by
  // domain 1 before domain 3: only domain 2 is cleared, so domain 1 keeps it.
  EXPECT_FALSE(res(1, 3));
  EXPECT_FALSE(atoms(1, 5) || atoms(1, 6));
  EXPECT_TRUE(res(2, 3) && res(1, 2) && res(3, 2));
  EXPECT_TRUE(atoms(1, 3) && atoms(1, 4));
}

}  // namespace
}  // namespace veldrix

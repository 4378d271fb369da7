// Residue ranges of a level, the level choice, atom selection of ranges and overlaps.
#include <gtest/gtest.h>

#include <vector>

#include "rmsd_var/domains.hpp"
#include "support.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

using testing::level_of;
using testing::span_of;
using Ints = std::vector<int>;

FArray<int, 2> range_matrix(int n, const std::vector<Ints>& rows) {
  FArray<int, 2> m(Dim(2 * n), Dim(2 * n));
  m.fill(-1000);
  for (std::size_t d = 0; d < rows.size(); ++d)
    for (std::size_t k = 0; k < rows[d].size(); ++k) m(int(d) + 1, int(k) + 1) = rows[d][k];
  return m;
}

Ints row_values(const FArray<int, 2>& m, int d) {
  Ints out;
  for (int k = 1; k <= m.ubound(1) && m(d, k) != -1000; ++k) out.push_back(m(d, k));
  return out;
}

Ints selected() {
  Ints out;
  for (int a = 1; a <= vokandata.na; ++a)
    if (vokandata.asel(a)) out.push_back(a);
  return out;
}

TEST(Domains, RowEntriesSizesAndMeanSize) {
  const FArray<int, 2> m = range_matrix(4, {{3, 3}, {3, 5, 7, 7}, {3, 5, 7, 9}, {}});
  EXPECT_EQ(Ints({filled_entries(m, 1), filled_entries(m, 2), filled_entries(m, 3)}), Ints({2, 4, 4}));
  EXPECT_EQ(Ints({get_domain_size(m, 1), get_domain_size(m, 2), get_domain_size(m, 3), get_domain_size(m, 4)}),
            Ints({1, 4, 6, 0}));
  EXPECT_EQ(get_avrg_domain_size(m, 4, false), 5);
  EXPECT_EQ(get_avrg_domain_size(m, 4, true), 3);  // (1 + 4 + 6) / 3, truncated
  EXPECT_EQ(get_avrg_domain_size(m, 7, false), 0);
  for (auto [n, limit] : std::vector<std::pair<int, int>>{{16, 2}, {17, 3}, {20, 3}, {24, 3}, {25, 4}})
    EXPECT_EQ(domain_limit(n), limit) << n;
}

TEST(Domains, RangesOfAClusteringLevel) {
  testing::reset_all();
  testing::make_molecule(7, 1, 2);
  // Residues 2 and 3 share number 10 (insertion code); residue 4 repeats it in chain 2.
  const char* labels[7] = {"A9", "A10", "A10A", "B10", "B11", "B12", "B13"};
  for (int r = 1; r <= 7; ++r) {
    vokandata.rnum(r) = labels[r - 1];
    vokandata.ichain(r) = r <= 3 ? 1 : 2;
  }
  FArray<int, 2> m(Dim(14), Dim(14));
  get_domains(level_of({{1, 2, 3, 4}, {5}, {5, 7}}), span_of(1, 7), m);
  EXPECT_EQ(row_values(m, 1), Ints({1, 1, 2, 3, 4, 4}));
  EXPECT_EQ(row_values(m, 2), Ints({5, 5, 7, 7}));  // the single-item cluster gives no row
  EXPECT_EQ(m(3, 1), -1000);
}

TEST(Domains, LevelChoiceNeedsMeanSizeAboveLimit) {
  testing::reset_all();
  testing::make_molecule(16, 1, 2);
  std::vector<Ints> l1, l2{{1, 2}, {3, 4}}, l3{{1, 2, 3}, {4, 5, 6}};
  for (int i = 1; i <= 16; ++i) l1.push_back({i});
  for (int i = 5; i <= 16; ++i) l2.push_back({i});
  for (int i = 7; i <= 16; ++i) l3.push_back({i});
  const std::vector<LevelRecord> levels{level_of(l1), level_of(l2), level_of(l3), level_of({span_of(1, 16)})};
  using O = std::vector<std::optional<double>>;
  FArray<int, 2> m(Dim(32), Dim(32));
  // Scores 10016, 14, 17, 21: level 2 is best, but its mean size 2 equals the
  // limit for 16 core atoms, so the best of levels 3..4 is taken.
  EXPECT_EQ(get_best_clustering(m, O{10000.0, 0.0, 5.0, 20.0}, levels, span_of(1, 16), 1, false), 3);
  EXPECT_EQ(row_values(m, 1), Ints({1, 1, 2, 2, 3, 3}));
  EXPECT_EQ(row_values(m, 2), Ints({4, 4, 5, 5, 6, 6}));
  EXPECT_EQ(get_best_clustering(m, O{10000.0, 0.0, 5.0, 20.0}, levels, span_of(1, 16), 1, true), 4);
  EXPECT_EQ(get_domain_size(m, 1), 16);
  // The search runs out at the last level: no ranges at all.
  EXPECT_EQ(get_best_clustering(m, O{10000.0, 0.0}, std::span(levels).first(2), span_of(1, 16), 1, false), 2);
  EXPECT_EQ(m(1, 1), -1000);
}

TEST(Domains, WidenedRangesAndTheirAtoms) {
  testing::reset_all();
  testing::make_molecule(10, 3, 2);  // residue r: atoms 3r-2 .. 3r
  const FArray<int, 2> m = range_matrix(3, {{2, 2, 9, 9}, {5, 6}});
  EXPECT_EQ(widen_ranges(m, 1, 3), Ints({1, 5, 6, 10}));  // clipped to 1..nr
  EXPECT_EQ(widen_ranges(m, 2, 0), Ints({5, 6}));
  vokandata.asel(5) = false;
  modify_atom_selection(Ints{2, 3, 5, 5});
  // Residue 2 whole but for the atom already off; the end residues 3 and 5 keep
  // only their first atom; nothing outside the ranges.
  EXPECT_EQ(selected(), Ints({4, 6, 7, 13}));
  for (int a = 1; a <= 30; ++a) vokandata.asel(a) = true;
  modify_atom_selection(Ints{1, 4, 3, 6});  // overlapping ranges
  EXPECT_EQ(selected(), span_of(1, 16));
}

TEST(Domains, OverlapsCountedAndRemovedFromThePreviousDomain) {
  testing::reset_all();
  testing::make_molecule(6, 2, 2);
  FArray<bool, 2> res(Dim(3), Dim(7)), atoms(Dim(3), Dim(12));
  FArray<bool> used(Dim(7));
  FArray<int, 2> overlaps(Dim(3), Dim(6));
  overlaps.fill(-1000);
  int noverlap = 0;
  const std::vector<Ints> claims{{1, 2, 3}, {3, 4}, {2, 5}};
  for (int d = 1; d <= 3; ++d) {
    FArray<bool> flags(Dim(7));
    for (int r : claims[std::size_t(d - 1)]) flags(r) = res(d, r) = atoms(d, 2 * r - 1) = atoms(d, 2 * r) = true;
    determine_overlap(flags, used, noverlap, overlaps, d);
  }
  EXPECT_EQ(noverlap, 2);
  EXPECT_EQ(Ints({overlaps(2, 1), overlaps(2, 2), overlaps(3, 1), overlaps(3, 2)}), Ints({3, -1000, 2, -1000}));
  remove_overlap(res, atoms, overlaps, 3);
  // Residue 3 leaves domain 1 and stays in domain 2. Residue 2 was claimed by
  // domain 1 before domain 3: only domain 2 is cleared, so domain 1 keeps it.
  EXPECT_EQ(testing::set_in_row(res, 1), Ints({1, 2}));
  EXPECT_EQ(testing::set_in_row(atoms, 1), Ints({1, 2, 3, 4}));
  EXPECT_EQ(testing::set_in_row(res, 2), Ints({3, 4}));
  EXPECT_EQ(testing::set_in_row(res, 3), Ints({2, 5}));
}

}  // namespace
}  // namespace veldrix

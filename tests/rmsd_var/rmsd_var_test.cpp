// The range analysis: knee and spread scale, clustering levels and their spread, residue ranges, level choice,
// selections and overlaps, the search at one level, reported domains and range lists, the whole analysis.
#include <gtest/gtest.h>

#include <numbers>
#include <random>
#include <regex>

#include "rmsd_var/clustering.hpp"
#include "rmsd_var/domain_search.hpp"
#include "rmsd_var/domains.hpp"
#include "rmsd_var/output.hpp"
#include "rmsd_var/range_text.hpp"
#include "rmsd_var/ranges.hpp"
#include "rmsd_var/structures.hpp"
#include "rmsd_var/variance.hpp"
#include "superpose/overlay.hpp"
#include "test_support.hpp"

namespace veldrix::testing {
namespace {

using Ints = std::vector<int>;
using V = std::vector<double>;
using O = std::vector<std::optional<double>>;
using Pair = std::array<int, 2>;
using Rows = std::vector<std::vector<int>>;

// Conformers of residues N, CA, C, one per character of `kinds` ('r' rigid, 'f' floppy): each atom at one random
// place, moved when floppy by up to 1.5 A per coordinate times its residue's distance from a rigid one (as a chain
// swings), then scattered by up to `jitter` A. Angles 2r-1 (axis N-CA) and 2r (CA-C) are free, rotate beyond the
// last atom and are about 1 when rigid, anything when floppy. Structure 0 copies the last; every atom selected.
void ensemble(VokanData& v, const std::string& kinds, int nstr, double jitter = 0.2) {
  v = VokanData{};
  make_molecule(v, int(kinds.size()), 3, nstr);
  v.nd = v.ndfree = 2 * v.nr;
  alostr(v, nstr, 0);
  v.idr.allocate(Dim(v.nd));
  v.ida.allocate(Dim(4), Dim(-1, v.nd));
  v.lda.allocate(Dim(-1, v.nd));
  for (int k = 1; k <= v.nd; ++k) {
    v.idr(k) = (k + 1) / 2;
    v.ida(2, k) = 3 * v.idr(k) - 1 - k % 2;
    v.ida(3, k) = v.ida(2, k) + 1;
    v.lda(k) = v.na + 1;
  }
  for (int a = 1; a <= v.na; a += 3) v.iael(a) = 7;
  auto floppy = [&](int r) { return kinds[std::size_t(r - 1)] == 'f'; };
  auto swing = [&](int r) {
    int d = v.nr;
    for (int q = 1; q <= v.nr; ++q) d = floppy(q) ? d : std::min(d, std::abs(r - q));
    return 1.5 * d;
  };
  std::mt19937 gen(1);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> place(3 * std::size_t(v.na));
  for (double& c : place) c = 10.0 * u(gen);
  for (int s = 1; s <= nstr; ++s) {
    for (int a = 1; a <= v.na; ++a)
      for (int x = 1; x <= 3; ++x)
        v.coo(x, v.col(s, a)) = place[std::size_t(3 * a + x - 4)] + swing(v.iar(a)) * u(gen) + jitter * u(gen);
    for (int k = 1; k <= v.nd; ++k) v.dval(v.dix(s, k)) = floppy(v.idr(k)) ? 3.1 * u(gen) : 1.0 + 0.1 * jitter * u(gen);
  }
  copstr(v, nstr, 0);
}

LevelRecord level_of(const std::vector<std::vector<int>>& rows, int width = 0) {
  LevelRecord l;
  l.width = width;
  l.first.push_back(0);
  for (const auto& r : rows) {
    l.members.insert(l.members.end(), r.begin(), r.end());
    l.first.push_back(int(l.members.size()));
    if (width == 0) l.width = std::max(l.width, int(r.size()));
  }
  return l;
}

std::vector<int> span_of(int from, int to) {
  std::vector<int> s;
  for (int i = from; i <= to; ++i) s.push_back(i);
  return s;
}

std::vector<int> set_in_row(const FArray<bool, 2>& mask, int d) {
  std::vector<int> out;
  for (int k = mask.lbound(1); k <= mask.ubound(1); ++k)
    if (mask(d, k)) out.push_back(k);
  return out;
}

TEST(Variance, PopulationVarianceKneeAndSpreadScale) {
  // The distance variances divide by the number of structures (a uniform scale the clustering cannot show).
  for (const auto& [x, var] :
       std::vector<std::pair<V, double>>{{{3.0, 5.0}, 1.0}, {{1.0, 2.0, 3.0, 4.0}, 1.25}, {{}, 0.0}})
    EXPECT_DOUBLE_EQ(variance(x), var);
  for (const auto& [curve, knee] : std::vector<std::pair<V, int>>{{{1.0, 0.9, 0.8, 0.1}, 3},
                                                                  {{1.0, 0.8, 0.6, 0.4, 0.2}, 1},  // every t equal
                                                                  {{0.99, 0.98, 0.97, 0.96, 0.3, 0.2, 0.1}, 4},
                                                                  {{0.5, 0.5, 0.5}, 1},  // flat: no scale
                                                                  {{}, 1}})
    EXPECT_EQ(calc_cutoff(curve), knee);
  for (auto [x, expected] : std::vector<std::pair<O, O>>{
           {{7.0, 2.0, 4.0, 6.0}, {7.0, 1.0, 2.0, 3.0}},
           {{10000.0, 0.4, 0.4}, {10000.0, std::nullopt, std::nullopt}},  // equal values leave no scale
           {{3.0}, {3.0}}}) {
    normalize_avrg_spread(x);
    EXPECT_EQ(x, expected);
  }
}

Rows rows_of(const LevelRecord& l) {
  Rows out;
  for (int r = 1; r <= l.rows(); ++r) out.emplace_back(l.row(r).begin(), l.row(r).end());
  return out;
}

// Symmetric matrix with zero diagonal, `rest` everywhere but the given entries.
FArray<double, 2> symmetric(int n, const std::vector<std::array<double, 3>>& entries, double rest) {
  FArray<double, 2> v(Dim(1, n), Dim(1, n));
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) v(i, j) = i == j ? 0.0 : rest;
  for (const auto& e : entries) v(int(e[0]), int(e[1])) = v(int(e[1]), int(e[0])) = e[2];
  return v;
}

Pair nearest(const LevelRecord& l, const FArray<double, 2>& v, Pair merge = {0, 0}) {
  find_nearest_neighbours(l, merge, v, 2);
  return merge;
}

TEST(Levels, MergeOrderTiesAndLayout) {
  // Single items score their entry; at level 2 the pair {2},{4} (entry 2) beats
  // {1,3} with {2} (variance of 1, 5, 4 = 2.89).
  const auto v = symmetric(4, {{1, 2, 5}, {1, 3, 1}, {1, 4, 6}, {2, 3, 4}, {2, 4, 2}, {3, 4, 7}}, 0.0);
  std::vector<LevelRecord> levels(4);
  EXPECT_EQ(cluster_levels(levels, v), (std::vector<Pair>{{1, 3}, {2, 3}, {1, 2}}));
  EXPECT_EQ(std::vector<Rows>({rows_of(levels[1]), rows_of(levels[2]), rows_of(levels[3])}),
            std::vector<Rows>({{{1, 3}, {2}, {4}}, {{2, 4}, {1, 3}}, {{1, 2, 3, 4}}}));  // merged first, in order

  const LevelRecord singles = level_of({{1}, {2}, {3}, {4}});
  // Ties go to the lower first row, then to the lower second row.
  EXPECT_EQ(nearest(singles, symmetric(4, {{1, 4, 1}, {2, 3, 1}}, 3)), Pair({1, 4}));
  EXPECT_EQ(nearest(singles, symmetric(4, {{2, 4, 0.5}, {2, 3, 0.5}}, 3)), Pair({2, 3}));
  // Two rows merge without a score; one row leaves the pair alone.
  EXPECT_EQ(nearest(level_of({{1, 3}, {2}}), symmetric(3, {}, 1e12), {5, 9}), Pair({1, 2}));
  EXPECT_EQ(nearest(level_of({{1, 2, 3}}), symmetric(3, {}, 1e12), {5, 9}), Pair({5, 9}));
  // Core atoms without coordinates give enormous variances: the least pair still merges.
  const auto huge = symmetric(4, {{2, 4, 2.0e9}, {3, 4, 2.0e9}}, 5.0e9);
  EXPECT_EQ(nearest(singles, huge, {7, 9}), Pair({2, 4}));
  EXPECT_EQ(cluster_levels(levels, huge)[0], Pair({2, 4}));

  // Level scores: ties to the lower level; an undefined spread never wins.
  const std::vector<LevelRecord> three{level_of({{1}, {2}, {3}}), level_of({{1, 2}, {3}}), level_of({{1, 2, 3}})};
  EXPECT_EQ(calc_cluster_cutoff(O{10000.0, 2.5, 3.5}, three), 2);
  EXPECT_EQ(calc_cluster_cutoff(O{0.1, std::nullopt, std::nullopt}, three), 1);
  EXPECT_EQ(calc_cluster_cutoff(O{10000.0, std::nullopt, 0.5}, three), 3);
  EXPECT_EQ(calc_cluster_cutoff(O{std::nullopt, std::nullopt, std::nullopt}, three), 1);
}

// The kept-score search must give exactly the levels of the plain search.
TEST(Levels, KeptScoresGiveTheLevelsOfThePlainSearch) {
  std::mt19937 gen(2024);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::uniform_int_distribution<int> small(0, 3);
  for (int trial = 0; trial < 161; ++trial) {
    const bool large = trial == 160;
    const int n = large ? 90 : 3 + trial % 29, kind = large ? 4 : trial % 5;
    std::vector<int> group(std::size_t(n) + 1);
    for (int& g : group) g = large ? 0 : int(u(gen) * 3);
    FArray<double, 2> v(Dim(1, n), Dim(1, n));
    for (int i = 1; i <= n; ++i)
      for (int j = i; j <= n; ++j) {
        double x = 0.0;
        switch (kind) {
          case 0: x = 10.0 * u(gen); break;                                  // continuous
          case 1: x = small(gen); break;                                     // many exact ties
          case 2: x = u(gen) < 0.2 ? 1.0e20 * (1 + u(gen)) : u(gen); break;  // absent coordinates
          case 3: x = 1.0 + 1.0e-15 * small(gen); break;                     // near-equal values
          default:  // rigid groups (for the large case: the first 60 items)
            x = (large ? i <= 60 && j <= 60 : group[std::size_t(i)] == group[std::size_t(j)]) ? 1.0e-4 * u(gen)
                                                                                              : 2.0 + u(gen);
        }
        v(i, j) = v(j, i) = i == j ? 0.0 : x;
      }
    std::vector<LevelRecord> plain{std::size_t(n)}, kept{std::size_t(n)};
    Rows singles;
    for (int i = 1; i <= n; ++i) singles.push_back({i});
    plain[0] = level_of(singles, 1);
    std::vector<Pair> merges;
    for (std::size_t k = 1; k < plain.size(); ++k) {
      int s1, s2;
      Pair merge{0, 0};
      largest_clusters(s1, s2, plain[k - 1]);
      find_nearest_neighbours(plain[k - 1], merge, v, s1 + s2);
      merges.push_back(merge);
      store_current_clustering(plain[k - 1], plain[k], merge, s1 + s2);
    }
    ASSERT_EQ(cluster_levels(kept, v), merges) << "trial " << trial;
    for (std::size_t k = 0; k < kept.size(); ++k)
      ASSERT_EQ(std::pair(rows_of(kept[k]), kept[k].width), std::pair(rows_of(plain[k]), plain[k].width))
          << "trial " << trial << " level " << k + 1;
  }
}

// Spread values of 14 floppy residues in 5 conformers; the core atoms are the CAs.
TEST(Clustering, SpreadOfALevelIsTheMeanRmsdOfItsClusters) {
  Session s;
  VokanData& v = s.vokandata;
  ensemble(v, std::string(14, 'f'), 5);
  std::vector<int> core;
  for (int r = 1; r <= 14; ++r) core.push_back(3 * r - 1);
  FArray<bool> all(Dim(v.na)), ca(Dim(v.na));
  all.fill(true);
  for (int a : core) ca(a) = true;
  FArray<double, 2> var;
  fill_variance_matrix(v, var, span_of(1, 5), core);
  std::vector<LevelRecord> levels(core.size());
  std::vector<double> spread(core.size());
  perform_clustering(s, levels, spread, core, all, var);
  EXPECT_EQ(spread[0], 10000.0);
  for (std::size_t k = 1; k < core.size(); ++k)  // from the clusters' additive statistics: armsd's values
    EXPECT_NEAR(spread[k], avrg_cluster_rmsd(s, core, levels[k], all), 1e-12 * spread[k]) << "level " << k + 1;
  auto rmsd_of = [&](std::initializer_list<int> atoms) {
    FArray<bool> sel(Dim(v.na));
    for (int a : atoms) sel(a) = true;
    return armsd(s, sel);
  };
  // The sum of the clusters' RMSDs over the number of items in them; single items take no part.
  EXPECT_DOUBLE_EQ(avrg_cluster_rmsd(s, core, level_of({{2, 5}, {1}, {3}}), all), rmsd_of({4, 5, 6, 13, 14, 15}) / 2);
  // With only CAs as axis atoms a pair has two atoms: no RMSD, -1.0 enters the sum.
  EXPECT_EQ(avrg_cluster_rmsd(s, core, level_of({{1, 2}, {3}}), ca), -0.5);
  // The working structure decides which atoms count: an unknown coordinate drops the atom.
  set_xyz(v, 0, 4, unknown_value, 0.0, 0.0);
  EXPECT_DOUBLE_EQ(avrg_cluster_rmsd(s, core, level_of({{2, 3}}), all), rmsd_of({5, 6, 7, 8, 9}) / 2);
}

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

TEST(Domains, SizesRangesAndTheLevelChoice) {
  const FArray<int, 2> m = range_matrix(4, {{3, 3}, {3, 5, 7, 7}, {3, 5, 7, 9}, {}});
  EXPECT_EQ(
      Ints({get_avrg_domain_size(m, 4, false), get_avrg_domain_size(m, 4, true), get_avrg_domain_size(m, 7, false)}),
      Ints({5, 3, 0}));  // small core: every size, (1 + 4 + 6) / 3 truncated
  EXPECT_EQ(Ints({domain_limit(16), domain_limit(17), domain_limit(24), domain_limit(25)}), Ints({2, 3, 3, 4}));

  Session s;
  VokanData& v = s.vokandata;
  make_molecule(v, 7, 1, 2);
  // Residues 2 and 3 share number 10 (insertion code); residue 4 repeats it in chain 2.
  for (int r = 1; r <= 7; ++r) {
    v.rnum(r) = std::vector<std::string>{"A9", "A10", "A10A", "B10", "B11", "B12", "B13"}[std::size_t(r - 1)];
    v.ichain(r) = r <= 3 ? 1 : 2;
  }
  FArray<int, 2> r(Dim(32), Dim(32));
  get_domains(v, level_of({{1, 2, 3, 4}, {5}, {5, 7}}), span_of(1, 7), r);
  EXPECT_EQ(std::vector<Ints>({row_values(r, 1), row_values(r, 2), row_values(r, 3)}),
            std::vector<Ints>({{1, 1, 2, 3, 4, 4}, {5, 5, 7, 7}, {}}));  // a single item gives no row

  make_molecule(v, 16, 1, 2);
  std::vector<Ints> l1, l2{{1, 2}, {3, 4}}, l3{{1, 2, 3}, {4, 5, 6}};
  for (int i = 1; i <= 16; ++i) l1.push_back({i});
  for (int i = 5; i <= 16; ++i) l2.push_back({i});
  for (int i = 7; i <= 16; ++i) l3.push_back({i});
  const std::vector<LevelRecord> levels{level_of(l1), level_of(l2), level_of(l3), level_of({span_of(1, 16)})};
  // Scores 10016, 14, 17, 21: level 2 is best, but its mean size 2 equals the
  // limit for 16 core atoms, so the best of levels 3..4 is taken.
  EXPECT_EQ(get_best_clustering(v, r, O{10000.0, 0.0, 5.0, 20.0}, levels, span_of(1, 16), 1, false), 3);
  EXPECT_EQ(row_values(r, 2), Ints({4, 4, 5, 5, 6, 6}));
  EXPECT_EQ(get_best_clustering(v, r, O{10000.0, 0.0, 5.0, 20.0}, levels, span_of(1, 16), 1, true), 4);
  // The search runs out at the last level: no ranges at all.
  EXPECT_EQ(get_best_clustering(v, r, O{10000.0, 0.0}, std::span(levels).first(2), span_of(1, 16), 1, false), 2);
  EXPECT_EQ(r(1, 1), -1000);
}

TEST(Domains, WidenedRangesTheirAtomsAndOverlaps) {
  Session s;
  VokanData& v = s.vokandata;
  make_molecule(v, 10, 3, 2);  // residue r: atoms 3r-2 .. 3r
  EXPECT_EQ(widen_ranges(range_matrix(3, {{2, 2, 9, 9}}), 1, 3, v.nr), Ints({1, 5, 6, 10}));  // clipped to 1..nr
  auto selected = [&v] {
    Ints out;
    for (int a = 1; a <= v.na; ++a)
      if (v.asel(a)) out.push_back(a);
    return out;
  };
  v.asel(5) = false;
  modify_atom_selection(v, Ints{2, 3, 5, 5});
  // Residue 2 whole but for the atom already off; the end residues 3 and 5 keep
  // only their first atom; nothing outside the ranges.
  EXPECT_EQ(selected(), Ints({4, 6, 7, 13}));
  v.asel.fill(true);
  modify_atom_selection(v, Ints{1, 4, 3, 6});  // overlapping ranges
  EXPECT_EQ(selected(), span_of(1, 16));

  make_molecule(v, 6, 2, 2);
  FArray<bool, 2> res(Dim(3), Dim(7)), atoms(Dim(3), Dim(12));
  FArray<bool> used(Dim(7));
  FArray<int, 2> overlaps(Dim(3), Dim(6));
  overlaps.fill(-1000);
  int noverlap = 0;
  const std::vector<Ints> claims{{1, 2, 3}, {3, 4}, {2, 5}};
  for (int d = 1; d <= 3; ++d) {
    FArray<bool> flags(Dim(7));
    for (int r : claims[std::size_t(d - 1)]) flags(r) = res(d, r) = atoms(d, 2 * r - 1) = atoms(d, 2 * r) = true;
    determine_overlap(flags, used, noverlap, overlaps, d, 6);
  }
  EXPECT_EQ(noverlap, 2);
  remove_overlap(v, res, atoms, overlaps, 3);
  // Residue 3 leaves domain 1 and stays in domain 2. Residue 2 was claimed by
  // domain 1 before domain 3: only domain 2 is cleared, so domain 1 keeps it.
  EXPECT_EQ(std::vector<Ints>({set_in_row(res, 1), set_in_row(atoms, 1), set_in_row(res, 2), set_in_row(res, 3)}),
            std::vector<Ints>({{1, 2}, {1, 2, 3, 4}, {3, 4}, {2, 5}}));
}

// The search at one level on 16 residues in identical conformers (so each domain's
// RMSD is 0 and the overlay keeps every residue with a selected atom); the core atoms
// are the CAs of residues 5, 6, 9, 10. Mask rows start out set when `stale`.
struct Search {
  int chosen = -1, ndomains = -1, noverlap = -1;
  std::vector<Ints> res, atoms;
};
Search search(const O& spread, const std::vector<LevelRecord>& levels, int minimum, bool small_core,
              bool stale = false) {
  Session s;
  VokanData& v = s.vokandata;
  ensemble(v, std::string(16, 'r'), 3, 0.0);
  if (stale) v.asel.fill(false);
  FArray<int, 2> ranges(Dim(8), Dim(8));
  FArray<bool, 2> res(Dim(4), Dim(v.nr + 1)), atoms(Dim(4), Dim(v.na));
  res.fill(stale);
  atoms.fill(stale);
  Search r;
  get_non_overlapping_domains(s, Ints{14, 17, 26, 29}, ranges, r.noverlap, FArray<bool>(Dim(v.nr)), r.ndomains, res,
                              atoms, Options{.gapwidth = 3, .buffer = 3, .minimum = minimum}, spread, levels, r.chosen,
                              small_core);
  for (int d = 1; d <= 2; ++d) {
    r.res.push_back(set_in_row(res, d));
    r.atoms.push_back(set_in_row(atoms, d));
  }
  return r;
}

TEST(DomainSearch, OverlapsSmallDomainsAndStaleRows) {
  // Clusters {5, 6} and {9, 10} widened by 3: residues 2..9 and 6..13 (the end residue keeps
  // one atom), sharing 6..9; the overlap is removed at the sections' first level only.
  const std::vector<LevelRecord> pairs{level_of({{1, 2}, {3, 4}}), level_of({{1, 2, 3, 4}})};
  Search s = search({0.0, 100.0}, pairs, 1, false);
  EXPECT_EQ(Ints({s.chosen, s.ndomains, s.noverlap}), Ints({1, 2, 0}));
  EXPECT_EQ(std::vector<Ints>({s.res[0], s.res[1], s.atoms[0]}),
            std::vector<Ints>({span_of(2, 5), span_of(6, 13), span_of(4, 15)}));
  s = search({100.0, 0.0}, {level_of({{1}, {2}, {3}, {4}}), pairs[0]}, 1, false);
  EXPECT_EQ(Ints({s.chosen, s.ndomains, s.noverlap}), Ints({2, 2, 4}));
  EXPECT_EQ(s.res[0], span_of(2, 9));
  // Domains of two residues fall below minimum 3, so the level's mean size is 0
  // and the search moves on to the last level with its one domain of four.
  s = search({0.0, 100.0}, pairs, 3, false);
  EXPECT_EQ(Ints({s.chosen, s.ndomains}), Ints({2, 1}));
  EXPECT_EQ(s.res[0], span_of(2, 13));
  s = search({0.0, 100.0}, pairs, 8, true);  // the small-core flag takes the last level
  EXPECT_EQ(Ints({s.chosen, s.ndomains}), Ints({2, 1}));
  // With nothing selected the overlay leaves its flags as handed in: rows left
  // from an earlier search must not survive.
  s = search({0.0}, {pairs[1]}, 8, true, true);
  EXPECT_EQ(s.ndomains, 1);
  EXPECT_EQ(std::vector<Ints>({s.res[0], s.res[1], s.atoms[0], s.atoms[1]}), std::vector<Ints>(4));
}

TEST(Output, DomainsReportedInOrderOfTheirFirstResidue) {
  Session s;
  VokanData& v = s.vokandata;
  FArray<bool, 2> res, atoms;
  auto report = [&](const std::vector<Ints>& list, int rows, bool small_core) {
    res.allocate(Dim(rows), Dim(v.nr + 1));
    atoms.allocate(Dim(rows), Dim(v.na));
    for (std::size_t d = 0; d < list.size(); ++d)
      for (int r : list[d]) {
        res(int(d) + 1, r) = true;
        for (int a = v.ifira(r); a < v.ifira(r + 1); ++a) atoms(int(d) + 1, a) = true;
      }
    const int n = prepare_dom_for_output(s, int(list.size()), res, atoms, 8, small_core);
    std::vector<Ints> out;
    for (int d = 1; d <= rows; ++d) out.push_back(set_in_row(res, d));
    return std::pair(n, out);
  };
  ensemble(v, std::string(60, 'r'), 4);
  const Ints a = span_of(3, 12), b = span_of(20, 30), c = span_of(40, 50);
  EXPECT_EQ(report({c, a, {7, 8}, b, {}}, 6, false), std::pair(3, std::vector<Ints>({a, b, c, {}, {}, {}})));
  EXPECT_EQ(set_in_row(atoms, 1), span_of(7, 36));
  // Residues 3..12 lack coordinates in conformer 2: their RMSD cannot be computed.
  for (int at = v.ifira(3); at < v.ifira(13); ++at) set_xyz(v, 2, at, unknown_value, unknown_value, unknown_value);
  EXPECT_EQ(report({a, b}, 2, false), std::pair(1, std::vector<Ints>({b, {}})));
}

using Labels = std::vector<std::string>;

Labels chain(char c, int from, int to) {
  Labels l;
  for (int i = from; i <= to; ++i) l.push_back(std::string(1, c) + std::to_string(i));
  return l;
}

// Range list and gap count of the listed residues of a molecule with the given labels.
std::pair<std::string, int> ranges(const Labels& labels, const Ints& in_mask, int length = 2000) {
  Session s;
  make_molecule(s.vokandata, int(labels.size()), 1, 2);
  for (std::size_t r = 0; r < labels.size(); ++r) s.vokandata.rnum(int(r) + 1) = labels[r];
  FArray<bool> mask(Dim(int(labels.size()) + 1));
  for (int r : in_mask) mask(r) = true;
  std::pair<std::string, int> out{"", -1};
  rrstr(s.vokandata, mask, out.first, out.second, length);
  return out;
}

TEST(RangeText, ListsGapsChainLettersAndLength) {
  Ints two = span_of(1, 10), more = span_of(20, 30);
  two.insert(two.end(), more.begin(), more.end());
  Labels ab = chain('A', 1, 50), b = chain('B', 1, 50);
  ab.insert(ab.end(), b.begin(), b.end());
  const std::vector<std::pair<std::pair<std::string, int>, std::pair<std::string, int>>> cases = {
      {ranges(chain('A', 1, 30), two), {"1..10, 20..30", 1}},
      {ranges(chain('A', 1, 30), {5}), {"5", 0}},
      {ranges(chain('A', 1, 30), {}), {"", 0}},
      {ranges({"A10", "A11", "A13"}, {1, 2, 3}), {"10..11, 13", 1}},
      // A number with an insertion code is no integer: it neither continues nor is continued.
      {ranges({"A9", "A10", "A10A", "A11", "A12"}, span_of(1, 5)), {"9..10, 10A, 11..12", 2}},
      {ranges(ab, span_of(1, 100)), {"A1..A50, B1..B50", 1}},
      // First and last residue in chain A: no letters at all, chain B's included.
      {ranges({"A1", "A2", "B1", "B2", "A3"}, span_of(1, 5)), {"1..2, 1..2, 3", 2}},
      {ranges(chain('A', 1, 9), {1, 3, 5, 7, 9}, 8), {"1, 3, 5,", 4}},
  };
  for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
}

const std::string tails_and_core = std::string(8, 'f') + std::string(24, 'r') + std::string(8, 'f');

std::string analyse(Session& s, int minimum = 8) {
  find_best_superpos_ranges(s, FArray<bool>(Dim(s.vokandata.nr)), Options{.minimum = minimum});
  return printed(s);
}

TEST(Analysis, IdenticalConformersFormOneDomainNearlyIdenticalOnesAreAnalysed) {
  Session s;
  ensemble(s.vokandata, std::string(12, 'r'), 4, 0.0);
  for (int a : {1, 2, 3, 4, 5, 6, 30}) s.vokandata.asel(a) = false;  // residues 1, 2 and one atom of 10
  EXPECT_EQ(analyse(s), "    Optimal range 3..12: RMSD 0.00 A, 0 gaps, 10 residues.\n");
  s.printdata.lines.clear();
  EXPECT_EQ(analyse(s, 11), "*** WARNING: Only domains with < 11 residues could be identified.\n");
  // A tail moving by thousandths of an A: nearly identical conformers, analysed (1..20 ordered, buffer 3).
  Session near;
  VokanData& v = near.vokandata;
  ensemble(v, std::string(20, 'r') + std::string(10, 'f'), 4, 0.0);
  for (int k = 1; k <= 4; ++k)
    for (int a = 61; a <= 90; ++a) set_xyz(v, k, a, 0.001 * k + a, 0.0, 0.1 * a * a);
  EXPECT_EQ(analyse(near), "    Optimal range 1..23: RMSD 0.00 A, 0 gaps, 23 residues.\n");
}

TEST(Analysis, SmallCoreWarnsAndReportsDomainsOfAnySize) {
  Session small;
  ensemble(small.vokandata, std::string(8, 'f') + std::string(6, 'r') + std::string(8, 'f'), 10);
  EXPECT_TRUE(std::regex_match(
      analyse(small, 12),
      std::regex(
          R"(\*\*\* WARNING: The number of core atoms \(  [1-6]\) was below the domain threshold value \( 12\)\.\n)"
          R"(    Optimal range (8|9)\.\.(14|15): RMSD 0\.[0-4]\d A, 0 gaps, [6-8] residues\.\n)")))
      << printed(small);
  EXPECT_EQ(small.printdata.warnings.size(), 1u);
}

TEST(Analysis, UndefinedAngleValuesCountAsDisorderAndFatalEnds) {
  Session clean, spoiled, none, one;
  ensemble(clean.vokandata, tails_and_core, 10);
  ensemble(spoiled.vokandata, tails_and_core, 10);
  spoiled.vokandata.dval(spoiled.vokandata.dix(4, 3)) = NAN;  // angles of floppy residues
  spoiled.vokandata.dval(spoiled.vokandata.dix(2, 77)) = INFINITY;
  EXPECT_EQ(analyse(spoiled), analyse(clean));
  ensemble(none.vokandata, "ffff" + std::string(10, 'r'), 8);
  none.vokandata.ndfree = 0;  // no free angle: nothing can be well ordered
  EXPECT_EQ(fatal_of([&] { analyse(none); }), "No core atoms could be determined.");
  ensemble(one.vokandata, "ffrfffff", 8);  // one core atom: no cluster of two
  EXPECT_EQ(fatal_of([&] { analyse(one); }), "No domains could be identified");
}

TEST(StructuresCommand, ReadsEveryParameterOfTheOverlay) {
  Session s;
  make_molecule(s.vokandata, 6, 3, 2);
  FArray<bool> keep;
  std::vector<std::string> words{"overlay",     "gap=0.12",  "decrease=1.30", "absdecrease=1.70",
                                 "gapwidth=04", "buffer=02", "minimum=10",    "upper_rmsd=0.30"};
  const std::optional<Options> o = read_structures_command(s, words, keep);
  ASSERT_TRUE(o);
  EXPECT_EQ(std::tuple(o->gap, o->decrease, o->absdecrease, o->upper_rmsd, o->gapwidth, o->buffer, o->minimum),
            std::tuple(0.12, 1.3, 1.7, 0.3, 4, 2, 10));
}

}  // namespace
}  // namespace veldrix::testing

// Domains of a level: residue ranges, level choice, widened selections, overlaps, the search at one level,
// which domains are reported and their range lists.
#include <gtest/gtest.h>

#include "rmsd_var/domain_search.hpp"
#include "rmsd_var/domains.hpp"
#include "rmsd_var/output.hpp"
#include "rmsd_var/range_text.hpp"
#include "support.hpp"

namespace veldrix::testing {
namespace {

using Ints = std::vector<int>;
using O = std::vector<std::optional<double>>;

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
  EXPECT_EQ(Ints({filled_entries(m, 1), filled_entries(m, 2), filled_entries(m, 3)}), Ints({2, 4, 4}));
  EXPECT_EQ(Ints({get_domain_size(m, 1), get_domain_size(m, 2), get_domain_size(m, 3), get_domain_size(m, 4)}),
            Ints({1, 4, 6, 0}));
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
  bool selection_kept = false;
};
Search search(const O& spread, const std::vector<LevelRecord>& levels, int minimum, bool small_core,
              bool stale = false) {
  Session s;
  VokanData& v = s.vokandata;
  ensemble(v, std::string(16, 'r'), 3, 0.0);
  if (stale) v.asel.fill(false);
  const FArray<bool> before = v.asel;
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
  r.selection_kept = std::equal(before.begin(), before.end(), v.asel.begin());
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
  EXPECT_TRUE(s.selection_kept);
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
  EXPECT_EQ(report({{7, 8}, b, {}}, 3, true),
            std::pair(2, std::vector<Ints>({{7, 8}, b, {}})));  // small core: any size
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

}  // namespace
}  // namespace veldrix::testing

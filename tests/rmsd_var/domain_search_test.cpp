// The domain search at one level: cleared masks, restored selection, overlap removal.
#include <gtest/gtest.h>

#include <vector>

#include "rmsd_var/domains.hpp"
#include "support.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

using testing::level_of;
using testing::set_in_row;
using testing::span_of;
using O = std::vector<std::optional<double>>;

struct Search {
  FArray<int, 2> ranges;
  FArray<bool, 2> res, atoms;
  int noverlap = -1, ndomains = -1, chosen = -1;
};

// Core atoms are the CAs of residues 5, 6, 9, 10 of 16 residues in conformers of
// one shape, so each domain's RMSD is far below upper_rmsd and the overlay keeps
// every residue that has a selected atom. Mask rows start out set when `stale`.
Search run(const O& spread, const std::vector<LevelRecord>& levels, int minimum, bool small_core,
           bool stale = false, bool nothing_selected = false) {
  testing::reset_all();
  testing::ensemble(testing::layout({{testing::Kind::rigid, 16}}), 3, 0.0);
  const VokanData& v = vokandata;
  if (nothing_selected) vokandata.asel.fill(false);
  const std::vector<int> core{14, 17, 26, 29};
  Search s{FArray<int, 2>(Dim(8), Dim(8)), FArray<bool, 2>(Dim(4), Dim(v.nr + 1)), FArray<bool, 2>(Dim(4), Dim(v.na))};
  s.res.fill(stale);
  s.atoms.fill(stale);
  FArray<bool> keep(Dim(v.nr));
  get_non_overlapping_domains(core, s.ranges, s.noverlap, keep, 1, s.ndomains, s.res, s.atoms,
                              UserParams{3, 3, minimum, 0.4, 1.2, 1.6, 0.1}, spread, levels, s.chosen, small_core);
  return s;
}

TEST(DomainSearch, OverlapRemovedOnlyAtTheSectionsFirstLevel) {
  // Clusters {5, 6} and {9, 10} widened by 3: residues 2..9 and 6..13 (the end
  // residue keeps one atom), sharing 6..9.
  Search s = run({0.0, 100.0}, {level_of({{1, 2}, {3, 4}}), level_of({{1, 2, 3, 4}})}, 1, false);
  EXPECT_EQ(std::vector<int>({s.chosen, s.ndomains, s.noverlap}), std::vector<int>({1, 2, 0}));
  EXPECT_EQ(set_in_row(s.res, 1), span_of(2, 5));
  EXPECT_EQ(set_in_row(s.res, 2), span_of(6, 13));
  EXPECT_EQ(set_in_row(s.atoms, 1), span_of(4, 15));
  EXPECT_EQ(set_in_row(s.atoms, 2), span_of(16, 37));
  for (int a = 1; a <= vokandata.na; ++a) EXPECT_TRUE(vokandata.asel(a));  // selection restored

  s = run({100.0, 0.0}, {level_of({{1}, {2}, {3}, {4}}), level_of({{1, 2}, {3, 4}})}, 1, false);
  EXPECT_EQ(std::vector<int>({s.chosen, s.ndomains, s.noverlap}), std::vector<int>({2, 2, 4}));
  EXPECT_EQ(set_in_row(s.res, 1), span_of(2, 9));
}

TEST(DomainSearch, SmallDomainsSkippedUnlessTheCoreIsSmall) {
  const std::vector<LevelRecord> levels{level_of({{1, 2}, {3, 4}}), level_of({{1, 2, 3, 4}})};
  // Domains of two residues fall below minimum 3, so the level's mean size is 0
  // and the search moves on to the last level with its one domain of four.
  Search s = run({0.0, 100.0}, levels, 3, false);
  EXPECT_EQ(std::vector<int>({s.chosen, s.ndomains}), std::vector<int>({2, 1}));
  EXPECT_EQ(set_in_row(s.res, 1), span_of(2, 13));
  s = run({0.0, 100.0}, levels, 8, true);  // the small-core flag takes the last level
  EXPECT_EQ(std::vector<int>({s.chosen, s.ndomains}), std::vector<int>({2, 1}));
}

TEST(DomainSearch, NoStaleDomainRows) {
  // With nothing selected the overlay leaves its flags as handed in: rows left
  // from an earlier search must not survive.
  const Search s = run({0.0}, {level_of({{1, 2, 3, 4}})}, 8, true, true, true);
  EXPECT_EQ(s.ndomains, 1);
  for (int d = 1; d <= 4; ++d) EXPECT_TRUE(set_in_row(s.res, d).empty() && set_in_row(s.atoms, d).empty()) << d;
}

}  // namespace
}  // namespace veldrix

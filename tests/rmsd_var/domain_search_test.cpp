// The domain search at one level: cleared masks, restored selection, overlap removal.
#include <gtest/gtest.h>

#include <vector>

#include "ensemble.hpp"
#include "rmsd_var/domains.hpp"
#include "rmsd_var/state.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

// Every conformer the same shape: each domain's RMSD is far below upper_rmsd, so
// the overlay keeps every residue that has a selected atom.
void rigid_backbone(int nr, int nstr) {
  testing::build_backbone(nr, nstr, [nr](int) {
    testing::Torsions t;
    t.phi.assign(std::size_t(nr) + 1, -1.1);
    t.psi.assign(std::size_t(nr) + 1, -0.8);
    return t;
  });
}

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

struct Search {
  FArray<int, 2> ranges;
  FArray<bool, 2> res, atoms;
  int noverlap = -1, ndomains = -1, chosen = -1;
};

Search run(const std::vector<int>& core, const std::vector<std::optional<double>>& spread,
           const std::vector<LevelRecord>& levels, const UserParams& p, bool small_core, bool stale = false) {
  const VokanData& v = vokandata;
  const int n = int(core.size());
  Search s{FArray<int, 2>(Dim(2 * n), Dim(2 * n)), FArray<bool, 2>(Dim(n), Dim(v.nr + 1)),
           FArray<bool, 2>(Dim(n), Dim(v.na))};
  if (stale) {
    s.res.fill(true);
    s.atoms.fill(true);
  }
  FArray<bool> keep(Dim(v.nr));
  get_non_overlapping_domains(core, s.ranges, s.noverlap, keep, 1, s.ndomains, s.res, s.atoms, p, spread, levels,
                              s.chosen, small_core);
  return s;
}

UserParams defaults(int minimum) { return UserParams{3, 3, minimum, 0.4, 1.2, 1.6, 0.1}; }

class DomainSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::reset_all();
    reset_rmsd_var();
    rigid_backbone(16, 3);
  }
};

TEST_F(DomainSearch, OverlapRemovedAtTheFirstLevelOfTheSection) {
  // Core atoms are the CAs of residues 5, 6, 9, 10; clusters {5, 6} and {9, 10},
  // widened by 3: residues 2..9 and 6..13 (the end residue keeps one atom).
  const std::vector<int> core{14, 17, 26, 29};
  const std::vector<LevelRecord> levels{level_of({{1, 2}, {3, 4}}), level_of({{1, 2, 3, 4}})};
  const Search s = run(core, {0.0, 100.0}, levels, defaults(1), false);
  EXPECT_EQ(s.chosen, 1);
  EXPECT_EQ(s.ndomains, 2);
  EXPECT_EQ(s.noverlap, 0);  // 4 shared residues, then removed from the first domain
  EXPECT_EQ(residues_of(s.res, 1), span_of(2, 5));
  EXPECT_EQ(residues_of(s.res, 2), span_of(6, 13));
  for (int a = 16; a <= 27; ++a) EXPECT_FALSE(s.atoms(1, a)) << a;
  EXPECT_TRUE(s.atoms(1, 4) && s.atoms(1, 15));
  EXPECT_TRUE(s.atoms(2, 16) && s.atoms(2, 37) && !s.atoms(2, 38));
  for (int a = 1; a <= vokandata.na; ++a) EXPECT_TRUE(vokandata.asel(a));  // selection restored
}

TEST_F(DomainSearch, OverlapKeptAtALaterLevel) {
  const std::vector<int> core{14, 17, 26, 29};
  const std::vector<LevelRecord> levels{level_of({{1}, {2}, {3}, {4}}), level_of({{1, 2}, {3, 4}})};
  const Search s = run(core, {100.0, 0.0}, levels, defaults(1), false);
  EXPECT_EQ(s.chosen, 2);
  EXPECT_EQ(s.ndomains, 2);
  EXPECT_EQ(s.noverlap, 4);
  EXPECT_EQ(residues_of(s.res, 1), span_of(2, 9));
  EXPECT_EQ(residues_of(s.res, 2), span_of(6, 13));
}

TEST_F(DomainSearch, SmallDomainsSkippedUnlessTheCoreIsSmall) {
  const std::vector<int> core{14, 17, 26, 29};
  const std::vector<LevelRecord> levels{level_of({{1, 2}, {3, 4}}), level_of({{1, 2, 3, 4}})};
  // Domains of two residues fall below minimum 3: the level's mean size is 0,
  // so the search moves on to the last level with its one domain of four.
  Search s = run(core, {0.0, 100.0}, levels, defaults(3), false);
  EXPECT_EQ(s.chosen, 2);
  EXPECT_EQ(s.ndomains, 1);
  EXPECT_EQ(residues_of(s.res, 1), span_of(2, 13));
  // With the small-core flag the last level is taken and every domain counts.
  s = run(core, {0.0, 100.0}, levels, defaults(8), true);
  EXPECT_EQ(s.chosen, 2);
  EXPECT_EQ(s.ndomains, 1);
}

TEST_F(DomainSearch, NoStaleDomainRows) {
  // Nothing selected: the overlay has nothing to refine and leaves its flags as
  // handed in. Rows left from an earlier search must not survive.
  for (int a = 1; a <= vokandata.na; ++a) vokandata.asel(a) = false;
  const std::vector<int> core{14, 17, 26, 29};
  const std::vector<LevelRecord> levels{level_of({{1, 2, 3, 4}})};
  const Search s = run(core, {0.0}, levels, defaults(8), true, true);
  EXPECT_EQ(s.ndomains, 1);
  for (int d = 1; d <= 4; ++d) {
    EXPECT_TRUE(residues_of(s.res, d).empty()) << d;
    for (int a = 1; a <= vokandata.na; ++a) EXPECT_FALSE(s.atoms(d, a));
  }
}

}  // namespace
}  // namespace veldrix

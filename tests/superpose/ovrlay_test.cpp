// The overlay refinement: the displaced residue goes, isolated residues first, the end residue on ties,
// kept residues stay, the thresholds decide, short gaps are closed again.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

#include "geometry.hpp"
#include "superpose/overlay.hpp"

namespace veldrix::testing {
namespace {

using Set = std::set<int>;

struct Options {
  double gap = 0.4, decrease = 1.2, absdecrease = 1.6;
  int gapwidth = 1;
  double upper_rmsd = 0.1;
  Set keep = {};
};

// Runs the refinement; returns the flagged residues. `selected` gets the residues with a selected atom.
Set run(SuperposeState& s, const Options& o, Set* selected = nullptr) {
  VokanData& v = s.vokandata;
  FArray<bool> keep(Dim(v.nr)), f;
  for (int r = 1; r <= v.nr; ++r) keep(r) = o.keep.count(r) > 0;
  ovrlay(s, keep, o.gap, o.decrease, o.absdecrease, o.gapwidth, f, o.upper_rmsd);
  Set flagged;
  for (int r = 1; r <= v.nr + 1; ++r)
    if (f(r)) flagged.insert(r);
  if (selected) {
    selected->clear();
    for (int a = 1; a <= v.na; ++a)
      if (v.asel(a)) selected->insert(v.iar(a));
  }
  return flagged;
}

void select_residues(VokanData& v, const Set& residues) {
  for (int a = 1; a <= v.na; ++a) v.asel(a) = residues.count(v.iar(a)) > 0;
}

Set range(int from, int to, const Set& without = {}) {
  Set s;
  for (int r = from; r <= to; ++r)
    if (!without.count(r)) s.insert(r);
  return s;
}

TEST(Ovrlay, TheDisplacedResidueIsTheOneRemovedUnlessKept) {
  for (const int bad : {1, 14, 30}) {
    SuperposeState s;
    build_ensemble(s.vokandata, {.displaced = bad, .seed = 500u + unsigned(bad)});
    Set selected;
    EXPECT_EQ(run(s, {}, &selected), range(1, 30, {bad})) << bad;
    EXPECT_EQ(selected, range(1, 30, {bad}));
    SuperposeState kept;
    build_ensemble(kept.vokandata, {.displaced = bad, .seed = 500u + unsigned(bad)});
    EXPECT_EQ(run(kept, {.keep = {bad}}, &selected), range(1, 30)) << bad;
  }
  // With every residue kept there is nothing to remove: the loop ends cleanly.
  SuperposeState all;
  build_ensemble(all.vokandata, {.nres = 10, .nstr = 4, .noise = 0.5, .seed = 6});
  EXPECT_EQ(run(all, {.keep = range(1, 10)}), range(1, 10));
}

TEST(Ovrlay, ShortGapsAreClosedWithTheAtomsSelectedBefore) {
  // A removal inside is closed again when the gap is short enough, with the atoms asel had.
  SuperposeState s;
  VokanData& v = s.vokandata;
  build_ensemble(v, {.nres = 20, .nstr = 5, .displaced = 9, .seed = 12});
  v.asel(v.ifira(9)) = v.asel(v.ifira(9) + 2) = false;
  const FArray<bool> before = v.asel;
  EXPECT_EQ(run(s, {.gapwidth = 2}), range(1, 20));
  for (int a = 1; a <= v.na; ++a) EXPECT_EQ(v.asel(a), before(a)) << a;
  // One structure: no ensemble RMSD, so nothing is removed and only gaps are closed; 6..7 is two
  // residues long, 11..13 three; the open ends stay open, and closing flags residues without atoms.
  const Set chosen = range(3, 18, {6, 7, 11, 12, 13});
  for (const auto& [width, flagged] : std::vector<std::pair<int, Set>>{
           {2, chosen}, {3, range(3, 18, {11, 12, 13})}, {4, range(3, 18)}}) {
    SuperposeState one;
    make_molecule(one.vokandata, 20, 2, 1);
    select_residues(one.vokandata, chosen);
    Set selected;
    EXPECT_EQ(run(one, {.gapwidth = width}, &selected), flagged) << width;
    EXPECT_EQ(selected, chosen);
  }
}

TEST(Ovrlay, IsolatedResiduesGoFirstAndThePassStartsAfresh) {
  // Residues 1, 8 and 20 have no selected neighbour: they go although they fit; 5 is displaced.
  const Set chosen = range(1, 20, {2, 7, 9, 19});
  for (const auto& [options, remaining] : std::vector<std::pair<Options, Set>>{
           {{}, range(1, 20, {2, 7, 9, 19, 1, 8, 20, 5})}, {{.keep = {8}}, range(1, 20, {2, 7, 9, 19, 1, 20, 5})},
           {{.upper_rmsd = 100.0}, chosen}}) {  // already below the target: left alone
    SuperposeState s;
    build_ensemble(s.vokandata, {.nres = 20, .nstr = 5, .displaced = 5, .seed = 41});
    select_residues(s.vokandata, chosen);
    Set selected;
    EXPECT_EQ(run(s, options, &selected), remaining);
    EXPECT_EQ(selected, remaining);
  }
  // Only the isolated residue 12 is displaced; once it is gone the rest is below the target, so the
  // pass must be judged afresh instead of on the RMSD measured with residue 12 still in.
  SuperposeState s;
  build_ensemble(s.vokandata, {.nres = 20, .nstr = 5, .displaced = 12, .seed = 19});
  select_residues(s.vokandata, range(1, 20, {11, 13}));
  EXPECT_EQ(run(s, {}), range(1, 20, {11, 12, 13}));
}

TEST(Ovrlay, TheEndResidueWinsATieAndAnEmptySlotNever) {
  // Three residues of two atoms; atom 2 (residue 1) has no coordinates. Removing residue 2 (inside)
  // or residue 3 (an end) leaves the same three usable atoms: with gap = 1 the candidates tie.
  for (const double gap : {1.0, 1.5}) {
    SuperposeState s;
    build_ensemble(s.vokandata,
                   {.nres = 3, .per = 2, .nstr = 4, .noise = 0.05, .displaced = 3, .shift = 1.0, .seed = 2});
    set_xyz(s.vokandata, 2, 2, unknown_value, unknown_value, unknown_value);
    EXPECT_EQ(run(s, {.gap = gap}), range(1, 3, {gap == 1.0 ? 3 : 2})) << gap;
  }
  // Segments 1-2 and 4-5 (kept, noisy): removing a steady residue raises the RMSD, so the only
  // candidate has a negative value, and the empty slot must not win over it.
  SuperposeState s;
  VokanData& v = s.vokandata;
  make_molecule(v, 5, 4, 5);
  std::mt19937 rng(13);
  std::normal_distribution<double> g(0.0, 1.0);
  for (int k = 1; k <= 5; ++k)
    for (int a = 1; a <= 20; ++a) {
      const double noise = v.iar(a) >= 4 ? 1.0 : 0.01;
      set_xyz(v, k, a, 3.0 * a + noise * g(rng), 2.0 * (a % 3) + noise * g(rng), 1.5 * (a % 5) + noise * g(rng));
    }
  select_residues(v, {1, 2, 4, 5});
  EXPECT_EQ(run(s, {.keep = {4, 5}}), (Set{1, 2, 4, 5}));
}

// Residue 30 of a quiet ensemble is displaced; the value of removing it is measured, and the
// thresholds set just either side of it (wide of the single-precision rounding of the atom fraction).
TEST(Ovrlay, RelativeAndAbsoluteThresholdsDecide) {
  for (const bool relative : {true, false})
    for (const double margin : {-1e-4, 1e-4}) {
      SuperposeState s;
      VokanData& v = s.vokandata;
      build_ensemble(v, {.nres = 30, .nstr = 5, .displaced = 30, .shift = 1.0, .seed = 23});
      FArray<bool> sel = v.asel;
      const double r0 = armsd(s, sel);
      for (int a = v.ifira(30); a <= v.na; ++a) sel(a) = false;
      const double dec = r0 - armsd(s, sel), frac = 4.0 / 120.0;
      ASSERT_GT(dec, 0.0);
      // Removal when dec / r0 >= (3 / nres + decrease) * frac, or dec >= absdecrease * frac.
      Options o{.decrease = 1e9, .absdecrease = 1e9};
      (relative ? o.decrease : o.absdecrease) = relative ? dec / r0 / frac - 3.0 / 30 + margin : dec / frac + margin;
      EXPECT_EQ(run(s, o).count(30), margin > 0) << relative << " " << margin;
    }
}

TEST(Ovrlay, RefusesWithoutStructuresAndLeavesAnEmptySelectionAlone) {
  SuperposeState s;
  make_molecule(s.vokandata, 4, 2, 0);
  s.vokandata.nsstr = 0;
  EXPECT_EQ(fatal_of([&] { run(s, {}); }), "No structures selected.");
  SuperposeState e;
  build_ensemble(e.vokandata, {.nres = 6, .per = 2, .nstr = 3, .noise = 0.5});
  e.vokandata.asel.fill(false);
  FArray<bool> keep(Dim(6)), f(Dim(7));
  keep.fill(false);
  for (int r = 1; r <= 7; ++r) f(r) = r % 2 == 0;
  ovrlay(e, keep, 0.4, 1.2, 1.6, 3, f, 0.1);
  for (int r = 1; r <= 7; ++r) EXPECT_EQ(f(r), r % 2 == 0);
}

}  // namespace
}  // namespace veldrix::testing

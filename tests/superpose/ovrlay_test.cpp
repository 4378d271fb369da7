// The overlay refinement: the displaced residue goes, isolated residues first, keep, gaps, ties, refusals.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

#include "geometry.hpp"
#include "superpose/overlay.hpp"

namespace veldrix::testing {
namespace {

struct Params {
  double gap = 0.4, decrease = 1.2, absdecrease = 1.6;
  int gapwidth = 3;
  double upper_rmsd = 0.1;
};

FArray<bool> no_keep() {
  FArray<bool> keep(Dim(vokandata.nr));
  keep.fill(false);
  return keep;
}

FArray<bool> run(const FArray<bool>& keep, const Params& p = {}) {
  FArray<bool> f;
  ovrlay(keep, p.gap, p.decrease, p.absdecrease, p.gapwidth, f, p.upper_rmsd);
  return f;
}

// Residues by flag value, and the residues that have a selected atom.
std::set<int> flagged(const FArray<bool>& f, bool value) {
  std::set<int> out;
  for (int r = 1; r <= vokandata.nr; ++r)
    if (f(r) == value) out.insert(r);
  return out;
}

std::set<int> selected_residues() {
  std::set<int> out;
  for (int a = 1; a <= vokandata.na; ++a)
    if (vokandata.asel(a)) out.insert(vokandata.iar(a));
  return out;
}

void select_residues(const std::set<int>& residues) {
  for (int a = 1; a <= vokandata.na; ++a) vokandata.asel(a) = residues.count(vokandata.iar(a)) > 0;
}

std::set<int> range(int from, int to) {
  std::set<int> s;
  for (int r = from; r <= to; ++r) s.insert(r);
  return s;
}

std::set<int> minus(std::set<int> s, const std::set<int>& out) {
  for (int r : out) s.erase(r);
  return s;
}

TEST(Ovrlay, DisplacedResidueIsTheOneRemoved) {
  std::mt19937 rng(77);
  std::uniform_int_distribution<int> pick(1, 30);
  for (int rep = 0; rep < 8; ++rep) {
    const int bad = pick(rng);
    SCOPED_TRACE(::testing::Message() << "displaced residue " << bad);
    reset_all();
    build_ensemble({.nres = 30, .per = 4, .nstr = 6, .noise = 0.01, .displaced = bad, .seed = 500u + unsigned(rep)});
    const FArray<bool> f = run(no_keep(), {.gapwidth = 1});
    EXPECT_EQ(flagged(f, false), std::set<int>{bad});
    EXPECT_FALSE(f(31));
    EXPECT_EQ(selected_residues(), minus(range(1, 30), {bad}));
  }
}

TEST(Ovrlay, ShortGapLeftByARemovalIsClosedAgain) {
  reset_all();
  build_ensemble({.nres = 30, .per = 4, .nstr = 6, .noise = 0.01, .displaced = 14, .seed = 9});
  const FArray<bool> f = run(no_keep(), {.gapwidth = 2});
  EXPECT_TRUE(flagged(f, false).empty());
  EXPECT_EQ(selected_residues(), range(1, 30));
}

TEST(Ovrlay, ClosingRestoresOnlyTheAtomsSelectedBefore) {
  reset_all();
  build_ensemble({.nres = 20, .per = 4, .nstr = 5, .noise = 0.01, .displaced = 9, .seed = 12});
  // Residue 9 enters with two of its four atoms.
  vokandata.asel(vokandata.ifira(9)) = false;
  vokandata.asel(vokandata.ifira(9) + 2) = false;
  const FArray<bool> before = vokandata.asel;

  run(no_keep(), {.gapwidth = 1});
  EXPECT_FALSE(vokandata.asel(vokandata.ifira(9) + 1));
  EXPECT_FALSE(vokandata.asel(vokandata.ifira(9) + 3));

  vokandata.asel = before;
  run(no_keep(), {.gapwidth = 3});
  for (int a = 1; a <= vokandata.na; ++a) EXPECT_EQ(vokandata.asel(a), before(a)) << "atom " << a;
}

TEST(Ovrlay, IsolatedResiduesGoBeforeAnyFit) {
  reset_all();
  // Residues 1, 8 and 20 have no selected neighbour; residue 5 is displaced.
  build_ensemble({.nres = 20, .per = 4, .nstr = 5, .noise = 0.01, .displaced = 5, .seed = 41});
  const std::set<int> chosen = minus(range(1, 20), {2, 7, 9, 19});
  select_residues(chosen);
  FArray<bool> f = run(no_keep(), {.gapwidth = 1});
  // Residues 1, 8 and 20 fit perfectly, yet go for lack of neighbours.
  EXPECT_EQ(selected_residues(), minus(chosen, {1, 8, 20, 5}));

  // Kept, an isolated residue stays.
  select_residues(chosen);
  FArray<bool> keep = no_keep();
  keep(8) = true;
  f = run(keep, {.gapwidth = 1});
  EXPECT_EQ(selected_residues(), minus(chosen, {1, 20, 5}));
  EXPECT_TRUE(f(8));

  // An ensemble already below the target is left alone, isolated residues included.
  select_residues(chosen);
  f = run(no_keep(), {.gapwidth = 1, .upper_rmsd = 100.0});
  EXPECT_EQ(selected_residues(), chosen);
  EXPECT_EQ(flagged(f, true), chosen);
}

TEST(Ovrlay, PassRestartsAfterIsolatedRemovals) {
  // Only the isolated residue 12 is displaced. Once it is gone the rest is below the
  // target, so nothing else may go: the pass must start afresh after the removal
  // instead of judging candidates on the RMSD measured with residue 12 still in.
  reset_all();
  build_ensemble({.nres = 20, .per = 4, .nstr = 5, .noise = 0.01, .displaced = 12, .seed = 19});
  const std::set<int> chosen = minus(range(1, 20), {11, 13});
  select_residues(chosen);
  const FArray<bool> f = run(no_keep(), {.gapwidth = 1});
  EXPECT_EQ(selected_residues(), minus(chosen, {12}));
  EXPECT_EQ(flagged(f, true), minus(chosen, {12}));
}

// Residue 30 of a quiet ensemble is displaced: the value of removing it is measured
// here, and the parameters are set just either side of what the thresholds need
// (the margin is wide of the single-precision rounding of the atom fraction).
struct ThresholdCase {
  double r0, dec, frac;
  int nres;
};

ThresholdCase prepare_threshold_case() {
  reset_all();
  build_ensemble({.nres = 30, .per = 4, .nstr = 5, .noise = 0.01, .displaced = 30, .shift = 1.0, .seed = 23});
  FArray<bool> sel = vokandata.asel;
  const double r0 = armsd(sel, 0);
  for (int a = vokandata.ifira(30); a <= vokandata.na; ++a) sel(a) = false;
  return {r0, r0 - armsd(sel, 0), 4.0 / 120.0, 30};
}

TEST(Ovrlay, RelativeThresholdDecidesTheRemoval) {
  for (double margin : {-1e-4, 1e-4}) {
    SCOPED_TRACE(::testing::Message() << "margin " << margin);
    const ThresholdCase c = prepare_threshold_case();
    ASSERT_GT(c.dec, 0.0);
    // rel >= (3 / nres + decrease) * frac removes; the absolute test never does.
    const double decrease = c.dec / c.r0 / c.frac - 3.0 / c.nres + margin;
    const FArray<bool> f = run(no_keep(), {.decrease = decrease, .absdecrease = 1e9, .gapwidth = 1});
    EXPECT_EQ(flagged(f, false), margin < 0 ? std::set<int>{30} : std::set<int>{});
  }
}

TEST(Ovrlay, AbsoluteThresholdDecidesTheRemoval) {
  for (double margin : {-1e-4, 1e-4}) {
    SCOPED_TRACE(::testing::Message() << "margin " << margin);
    const ThresholdCase c = prepare_threshold_case();
    // dec >= absdecrease * frac removes; the relative test never does.
    const double absdecrease = c.dec / c.frac + margin;
    const FArray<bool> f = run(no_keep(), {.decrease = 1e9, .absdecrease = absdecrease, .gapwidth = 1});
    EXPECT_EQ(flagged(f, false), margin < 0 ? std::set<int>{30} : std::set<int>{});
  }
}

TEST(Ovrlay, KeptResiduesAreNeverRemoved) {
  reset_all();
  build_ensemble({.nres = 20, .per = 4, .nstr = 5, .noise = 0.01, .displaced = 11, .seed = 5});
  FArray<bool> keep = no_keep();
  keep(11) = true;
  const FArray<bool> f = run(keep, {.gapwidth = 1});
  EXPECT_TRUE(f(11));
  for (int a = vokandata.ifira(11); a < vokandata.ifira(12); ++a) EXPECT_TRUE(vokandata.asel(a));

  // With every residue kept there is nothing to remove: the loop ends cleanly.
  reset_all();
  build_ensemble({.nres = 10, .per = 4, .nstr = 4, .noise = 0.5, .seed = 6});
  FArray<bool> all(Dim(10));
  all.fill(true);
  const FArray<bool> g = run(all);
  EXPECT_EQ(flagged(g, true), range(1, 10));
  EXPECT_EQ(selected_residues(), range(1, 10));
}

TEST(Ovrlay, GapsShorterThanTheWidthAreClosed) {
  // One structure: no ensemble RMSD, so nothing is removed and only gaps are closed.
  reset_all();
  make_molecule(20, 2, 1);
  const std::set<int> chosen = minus(range(3, 18), {6, 7, 11, 12, 13});
  select_residues(chosen);
  const FArray<bool> f = run(no_keep(), {.gapwidth = 3});
  // 6..7 (two residues) is closed, 11..13 (three) is not; the open ends stay open.
  EXPECT_EQ(flagged(f, true), minus(range(3, 18), {11, 12, 13}));
  EXPECT_EQ(selected_residues(), chosen);  // closing flags residues, atoms come only from asel
  EXPECT_FALSE(f(21));

  select_residues(chosen);
  const FArray<bool> g = run(no_keep(), {.gapwidth = 4});
  EXPECT_EQ(flagged(g, true), range(3, 18));

  select_residues(chosen);
  const FArray<bool> h = run(no_keep(), {.gapwidth = 2});
  EXPECT_EQ(flagged(h, true), chosen);
}

TEST(Ovrlay, EqualCandidatesChooseTheEndResidue) {
  // Three residues of two atoms; the second atom of residue 1 has no coordinates.
  // Removing residue 2 (inside) or residue 3 (an end) leaves three usable atoms,
  // so both trials yield the same value; with gap = 1 the two candidates tie.
  for (double gap : {1.0, 1.5}) {
    SCOPED_TRACE(::testing::Message() << "gap " << gap);
    reset_all();
    build_ensemble({.nres = 3, .per = 2, .nstr = 4, .noise = 0.05, .displaced = 3, .shift = 1.0, .seed = 2});
    set_xyz(2, 2, unknown_value, unknown_value, unknown_value);
    const FArray<bool> f = run(no_keep(), {.gap = gap, .gapwidth = 1});
    EXPECT_EQ(flagged(f, false), std::set<int>{gap == 1.0 ? 3 : 2});
  }
}

TEST(Ovrlay, EmptyCandidateSlotIsNeverChosen) {
  // Two segments of two residues each: every candidate ends a segment. The kept
  // residues 4 and 5 are noisy, 1 and 2 steady, so removing either steady residue
  // raises the RMSD and the only candidate has a negative value.
  reset_all();
  make_molecule(5, 4, 5);
  std::mt19937 rng(13);
  std::normal_distribution<double> g(0.0, 1.0);
  for (int s = 1; s <= 5; ++s)
    for (int a = 1; a <= 20; ++a) {
      const double noise = vokandata.iar(a) >= 4 ? 1.0 : 0.01;
      set_xyz(s, a, 3.0 * a + noise * g(rng), 2.0 * (a % 3) + noise * g(rng), 1.5 * (a % 5) + noise * g(rng));
    }
  select_residues({1, 2, 4, 5});
  FArray<bool> keep = no_keep();
  keep(4) = keep(5) = true;

  const FArray<bool> sel = vokandata.asel;
  const double r0 = armsd(sel, 0);
  for (int r : {1, 2}) {
    FArray<bool> trial = sel;
    for (int a = vokandata.ifira(r); a < vokandata.ifira(r + 1); ++a) trial(a) = false;
    ASSERT_GT(armsd(trial, 0), r0) << "removing residue " << r << " must raise the RMSD";
  }

  const FArray<bool> f = run(keep, {.gapwidth = 1});
  EXPECT_EQ(flagged(f, true), (std::set<int>{1, 2, 4, 5}));
  for (int a = 1; a <= vokandata.na; ++a) EXPECT_EQ(vokandata.asel(a), sel(a));
}

TEST(Ovrlay, RefusesWithoutStructuresAndIgnoresAnEmptySelection) {
  {
    Captured out;
    make_molecule(4, 2, 0);
    vokandata.nsstr = 0;
    FArray<bool> f;
    EXPECT_EQ(stop_status([&] { ovrlay(no_keep(), 0.4, 1.2, 1.6, 3, f, 0.1); }), 1);
    EXPECT_NE(out.text().find("No structures selected."), std::string::npos) << out.text();
  }
  reset_all();
  build_ensemble({.nres = 6, .per = 2, .nstr = 3, .noise = 0.5});
  vokandata.asel.fill(false);
  FArray<bool> f(Dim(7));
  for (int r = 1; r <= 7; ++r) f(r) = r % 2 == 0;
  ovrlay(no_keep(), 0.4, 1.2, 1.6, 3, f, 0.1);
  for (int r = 1; r <= 7; ++r) EXPECT_EQ(f(r), r % 2 == 0);
  EXPECT_TRUE(selected_residues().empty());
}

}  // namespace
}  // namespace veldrix::testing

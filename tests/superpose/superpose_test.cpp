// Superposition: the SVD, pairwise fits and the reflection guard, the ensemble RMSD to the mean, and the
// overlay refinement with its ties, thresholds, kept residues and gap closing.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "superpose/moments.hpp"
#include "superpose/overlay.hpp"
#include "superpose/rmsd.hpp"
#include "test_support.hpp"

namespace veldrix::testing {
namespace {

using Points = std::vector<double>;  // x, y, z of each point
using Set = std::set<int>;
using Mat3 = std::array<double, 9>;  // column by column: (i, j) is [i + 3 j], 0-based
const std::span<double> none;

// A uniformly distributed proper rotation (from a random unit quaternion).
Mat3 random_rotation(std::mt19937& rng) {
  std::normal_distribution<double> g(0.0, 1.0);
  double w = g(rng), x = g(rng), y = g(rng), z = g(rng);
  const double n = std::sqrt(w * w + x * x + y * y + z * z);
  w /= n, x /= n, y /= n, z /= n;
  return {1 - 2 * (y * y + z * z), 2 * (x * y + w * z),     2 * (x * z - w * y),
          2 * (x * y - w * z),     1 - 2 * (x * x + z * z), 2 * (y * z + w * x),
          2 * (x * z + w * y),     2 * (y * z - w * x),     1 - 2 * (x * x + y * y)};
}

Points random_points(std::mt19937& rng, int n, double scale) {
  std::uniform_real_distribution<double> u(-scale, scale);
  Points p(3 * std::size_t(n));
  for (double& c : p) c = u(rng);
  return p;
}

// Every point p mapped to r p + t.
Points moved(const Points& p, const Mat3& r, const Points& t) {
  Points q(p.size());
  for (std::size_t k = 0; k < p.size(); k += 3)
    for (std::size_t i = 0; i < 3; ++i) q[k + i] = r[i] * p[k] + r[i + 3] * p[k + 1] + r[i + 6] * p[k + 2] + t[i];
  return q;
}

double rms(const Points& a, const Points& b) {
  double sq = 0.0;
  for (std::size_t k = 0; k < a.size(); ++k) sq += (a[k] - b[k]) * (a[k] - b[k]);
  return std::sqrt(sq / double(a.size() / 3));
}

// Determinant of the steps from point 0 to points 1, 2 and 3: its sign tells the handedness of the set.
double handedness(const Points& p) {
  const auto d = [&](std::size_t i, std::size_t c) { return p[3 * i + c] - p[c]; };
  return d(1, 0) * (d(2, 1) * d(3, 2) - d(3, 1) * d(2, 2)) - d(2, 0) * (d(1, 1) * d(3, 2) - d(3, 1) * d(1, 2)) +
         d(3, 0) * (d(1, 1) * d(2, 2) - d(2, 1) * d(1, 2));
}

TEST(Svd, NegligibilityIsAbsoluteAndNonConvergenceIsFatal) {
  // [[1, 1], [0, 1]] times f has the singular values f (sqrt 5 +- 1) / 2; for f = 1e-15 the super-diagonal
  // lies below the absolute threshold 2e-14: the matrix counts as split, its diagonal comes back.
  for (const auto& [f, low, high] : std::vector<std::array<double, 3>>{
           {1.0, (std::sqrt(5.0) - 1) / 2, (std::sqrt(5.0) + 1) / 2}, {1e-15, 1e-15, 1e-15}}) {
    std::vector<double> a = {f, 0, f, f}, w(2), v(4);
    svd(a, 2, 2, 2, 2, w, v);
    EXPECT_NEAR(std::min(w[0], w[1]), low, 1e-14);
    EXPECT_NEAR(std::max(w[0], w[1]), high, f * 1e-14);
  }
  std::vector<double> a = {1, 2, 3, 4, std::numeric_limits<double>::quiet_NaN(), 6, 7, 8, 9}, w(3), v(9);
  EXPECT_EQ(fatal_of([&] { svd(a, 3, 3, 3, 3, w, v); }), "SVDCMP: No convergence in 30 iterations");
}

// Rigid motions of random points are recovered exactly. Their mirror images still get a proper rotation, the
// value returned is that of the rotation applied, and a nearly flat set (|z| <= 0.01) turned over by a half turn
// is its mirror image within 0.02. Only mode -1 moves x, only mode +1 the extra points.
TEST(Rmsd, FitsModesReflectionGuardAndTooFewPoints) {
  std::mt19937 rng(2024);
  for (int rep = 0; rep < 100; ++rep) {
    const int n = 4 + rep % 50;
    Points x0 = random_points(rng, n, 10.0);
    const Points z0 = random_points(rng, 5, 6.0);
    for (std::size_t k = 2; k < x0.size() && rep % 2 == 0; k += 3) x0[k] *= 0.001;
    const Mat3 r = random_rotation(rng);
    const Points t = random_points(rng, 1, 50.0), y = moved(x0, r, t);
    Points x = x0, z = z0, fitted = x0, copy = x0, mirror = y;
    EXPECT_NEAR(rmsd(x, y, n, 0, z, 5) + rmsd(copy, y, n, 1, z, 5) + rmsd(fitted, y, n, -1, none, 0), 0.0, 1e-8);
    EXPECT_TRUE(x == x0 && copy == x0 && z != z0);
    EXPECT_LT(rms(fitted, y) + rms(z, moved(z0, r, t)), 1e-8);
    for (std::size_t k = 0; k < mirror.size(); k += 3) mirror[k] = -mirror[k];
    fitted = x0;
    const double value = rmsd(fitted, mirror, n, -1, none, 0);
    EXPECT_GT(handedness(fitted) * handedness(x0), 0.0);
    EXPECT_LT(value, rep % 2 == 0 ? 0.02 : 1e9);
    EXPECT_NEAR(rms(fitted, mirror), value, 1e-10);
  }
  // Six points on the axes, inverted: three tied values and a negative determinant. A half turn about
  // one axis matches four of the six points: RMSD sqrt(8 / 6), far below the 2 of no turn.
  const Points octahedron = {1, 0, 0, 0, 1, 0, 0, 0, 1, -1, 0, 0, 0, -1, 0, 0, 0, -1};
  Points turned = octahedron, inverted = octahedron;
  for (double& c : inverted) c = -c;
  EXPECT_NEAR(rmsd(turned, inverted, 6, -1, none, 0), std::sqrt(8.0 / 6.0), 1e-12);
  EXPECT_NEAR(handedness(turned) / handedness(octahedron), 1.0, 1e-12);
  Points a = octahedron, c = octahedron;  // three points touch nothing
  EXPECT_EQ(rmsd(a, inverted, 3, -1, c, 4) + rmsd(a, inverted, 3, 1, c, 4), 0.0);
  EXPECT_TRUE(a == octahedron && c == octahedron);
}

// nstr structures of nres residues with `per` atoms each: random rigid motions of one irregular helix with
// Gaussian noise on every coordinate; residue `displaced` (0: none) is shifted in every structure by its own
// random vector of length `shift`.
struct Ensemble {
  int nres = 30, per = 4, nstr = 6;
  double noise = 0.01;
  int displaced = 0;
  double shift = 3.0;
  unsigned seed = 1;
};

void build(VokanData& v, const Ensemble& e) {
  make_molecule(v, e.nres, e.per, e.nstr);
  std::mt19937 rng(e.seed);
  std::normal_distribution<double> g(0.0, 1.0);
  Points base;
  for (int a = 1; a <= v.na; ++a) {
    const double t = 1.7 * a / e.per;
    base.insert(base.end(), {5 * std::cos(t) + 0.3 * g(rng), 5 * std::sin(t) + 0.3 * g(rng), t + 0.3 * g(rng)});
  }
  for (int s = 1; s <= e.nstr; ++s) {
    const Mat3 r = random_rotation(rng);
    const Points t = random_points(rng, 1, 20.0);
    double d[3] = {g(rng), g(rng), g(rng)};
    const double len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    Points p = base;
    for (std::size_t k = 0; k < p.size(); ++k)
      p[k] += e.noise * g(rng) + (v.iar(int(k / 3) + 1) == e.displaced ? d[k % 3] / len * e.shift : 0.0);
    p = moved(p, r, t);
    for (std::size_t a = 1; a <= std::size_t(v.na); ++a)
      set_xyz(v, s, int(a), p[3 * a - 3], p[3 * a - 2], p[3 * a - 1]);
  }
}

Points structure(const VokanData& v, int s) {
  Points p;
  for (int a = v.col(s, 1); a <= v.col(s, v.na); ++a) p.insert(p.end(), {v.coo(1, a), v.coo(2, a), v.coo(3, a)});
  return p;
}

TEST(Armsd, RefusalsAtomsWithoutCoordinatesAndMembers) {
  SuperposeState s;
  VokanData& v = s.vokandata;
  build(v, {.nres = 6, .per = 3, .nstr = 4, .noise = 0.5, .seed = 3});
  FArray<bool> without = v.asel, four = v.asel;
  without(5) = without(11) = false;
  const double expected = armsd(s, without);
  // A magnitude of 1e8 or more in any member, in any coordinate, excludes the atom.
  set_xyz(v, 3, 5, 1.0, -1.0e8, 2.0);
  set_xyz(v, 2, 11, 0.0, 0.0, unknown_value);
  EXPECT_EQ(armsd(s, v.asel), expected);
  EXPECT_EQ(v.adisp(5) + v.adisp(11), 0.0);
  // Fewer than four usable atoms or two members: refused, adisp left alone.
  const double kept = v.adisp(4);
  four.fill(false);
  four(2) = four(5) = four(9) = four(11) = four(14) = true;
  EXPECT_EQ(armsd(s, four), -1.0);
  v.nsstr = 1;
  EXPECT_EQ(armsd(s, v.asel), -1.0);
  EXPECT_EQ(v.adisp(4), kept);
  // Members come through isstr: the pair (3, 1). Optimally superimposed, two members have their mean halfway
  // between them: the result is half the pairwise RMSD, and every displacement half the distance after the fit.
  v.nsstr = 2;
  v.isstr(1) = 3;
  v.isstr(2) = 1;
  set_xyz(v, 3, 5, 1.0, 0.0, 2.0);
  const Points x3 = structure(v, 3), stored = structure(v, 1);
  Points x1 = stored;
  EXPECT_NEAR(rmsd(x1, x3, v.na, -1, none, 0) / 2.0, armsd(s, v.asel), 1e-10);
  for (std::size_t a = 1; a <= std::size_t(v.na); ++a)
    EXPECT_NEAR(
        v.adisp(int(a)),
        std::hypot(x1[3 * a - 3] - x3[3 * a - 3], x1[3 * a - 2] - x3[3 * a - 2], x1[3 * a - 1] - x3[3 * a - 1]) / 2.0,
        1e-10);
  EXPECT_EQ(structure(v, 1), stored) << "the stored coordinates are never moved";
}

// The RMSD from additive statistics is armsd's on any atom set, and so are the displacements: sets built
// atom by atom, and as the difference of two sets, on ensembles from 2 to 64 members, tight and loose.
TEST(Moments, EnsembleRmsdAndDisplacementsAreArmsds) {
  for (const auto& [nstr, noise, seed] : std::vector<std::tuple<int, double, unsigned>>{
           {2, 0.5, 1}, {3, 0.01, 2}, {20, 0.3, 3}, {20, 1e-4, 4}, {64, 1.0, 5}, {7, 3.0, 6}}) {
    SuperposeState s;
    VokanData& v = s.vokandata;
    build(v, {.nres = 12, .per = 4, .nstr = nstr, .noise = noise, .seed = seed});
    set_xyz(v, nstr, 7, 0.0, unknown_value, 0.0);  // an atom no statistics may take
    EnsembleMoments em;
    em.prepare(v, v.asel);
    std::mt19937 rng(seed);
    for (int trial = 0; trial < 12; ++trial) {
      FArray<bool> sel(Dim(v.na)), rest(Dim(v.na));
      std::vector<double> block(em.size(), 0.0), all(em.size(), 0.0), part(em.size(), 0.0);
      std::vector<int> atoms;
      for (int a = 1; a <= v.na; ++a) {
        if (em.usable(a)) em.add_atom(all, a);
        sel(a) = rng() % 3 != 0 || trial == 0;
        rest(a) = !sel(a);
        if (!em.usable(a)) continue;
        em.add_atom(sel(a) ? block : part, a);
        if (sel(a)) atoms.push_back(a);
      }
      for (std::size_t k = 0; k < all.size(); ++k) all[k] -= part[k];
      const double expected = armsd(s, sel);
      const FArray<double> adisp = v.adisp;
      FArray<double> got_adisp;
      // Given where the RMSD is at least a thousandth of the spread (all but the tightest ensemble).
      const std::optional<double> got = em.rmsd(block), got_all = em.rmsd(all);
      const std::optional<double> got_with = em.rmsd(block, atoms, got_adisp);
      ASSERT_EQ(std::tuple(got.has_value(), got_all.has_value(), got_with.has_value()),
                std::tuple(noise > 1e-3, noise > 1e-3, noise > 1e-3));
      if (!got) continue;
      EXPECT_NEAR(*got, expected, 1e-9 * expected) << nstr << " " << trial;
      EXPECT_NEAR(*got_all, expected, 1e-9 * expected) << nstr << " " << trial;
      EXPECT_EQ(*got_with, *got) << "the RMSD must not depend on whether the displacements are asked for";
      for (int a = 1; a <= v.na; ++a) EXPECT_NEAR(got_adisp(a), adisp(a), 1e-9 * expected) << a;
    }
    std::vector<double> three(em.size(), 0.0);
    for (int a : {1, 2, 3}) em.add_atom(three, a);
    EXPECT_EQ(em.rmsd(three), -1.0);  // too few atoms
  }
}

struct Options {
  double gap = 0.4, decrease = 1.2, absdecrease = 1.6;
  int gapwidth = 1;
  double upper_rmsd = 0.1;
  Set keep = {};
};

Set range(int from, int to, const Set& without = {}) {
  Set s;
  for (int r = from; r <= to; ++r)
    if (!without.count(r)) s.insert(r);
  return s;
}

// Runs the refinement on the residues `chosen` (all when empty); the flagged residues. Those with a selected
// atom go to `selected`; without it they must be the flagged ones.
Set run(SuperposeState& s, const Options& o, const Set& chosen = {}, Set* selected = nullptr) {
  VokanData& v = s.vokandata;
  FArray<bool> keep(Dim(v.nr)), f;
  for (int r = 1; r <= v.nr; ++r) keep(r) = o.keep.count(r) > 0;
  for (int a = 1; a <= v.na && !chosen.empty(); ++a) v.asel(a) = chosen.count(v.iar(a)) > 0;
  ovrlay(s, keep, o.gap, o.decrease, o.absdecrease, o.gapwidth, f, o.upper_rmsd);
  Set flagged, with_atoms;
  for (int r = 1; r <= v.nr + 1; ++r)
    if (f(r)) flagged.insert(r);
  for (int a = 1; a <= v.na; ++a)
    if (v.asel(a)) with_atoms.insert(v.iar(a));
  if (selected)
    *selected = with_atoms;
  else
    EXPECT_EQ(with_atoms, flagged);
  return flagged;
}

TEST(Ovrlay, ShortGapsAreClosedWithTheAtomsSelectedBefore) {
  // One structure: no ensemble RMSD, so nothing is removed and only gaps are closed; 6..7 is two
  // residues long, 11..13 three; the open ends stay open, and closing flags residues without atoms.
  const Set chosen = range(3, 18, {6, 7, 11, 12, 13});
  for (const auto& [width, flagged] :
       std::vector<std::pair<int, Set>>{{2, chosen}, {3, range(3, 18, {11, 12, 13})}, {4, range(3, 18)}}) {
    SuperposeState one;
    make_molecule(one.vokandata, 20, 2, 1);
    Set selected;
    EXPECT_EQ(run(one, {.gapwidth = width}, chosen, &selected), flagged) << width;
    EXPECT_EQ(selected, chosen);
  }
}

TEST(Ovrlay, IsolatedResiduesGoFirstAndThePassStartsAfresh) {
  // Residues 1, 8 and 20 have no selected neighbour: they go although they fit; 5 is displaced.
  const Set chosen = range(1, 20, {2, 7, 9, 19});
  for (const auto& [options, remaining] :
       std::vector<std::pair<Options, Set>>{{{}, range(1, 20, {2, 7, 9, 19, 1, 8, 20, 5})},
                                            {{.keep = {8}}, range(1, 20, {2, 7, 9, 19, 1, 20, 5})},
                                            {{.upper_rmsd = 100.0}, chosen}}) {  // already below the target: left alone
    SuperposeState s;
    build(s.vokandata, {.nres = 20, .nstr = 5, .displaced = 5, .seed = 41});
    EXPECT_EQ(run(s, options, chosen), remaining);
  }
  // Only the isolated residue 12 is displaced; once it is gone the rest is below the target, so the
  // pass must be judged afresh instead of on the RMSD measured with residue 12 still in.
  SuperposeState s;
  build(s.vokandata, {.nres = 20, .nstr = 5, .displaced = 12, .seed = 19});
  EXPECT_EQ(run(s, {}, range(1, 20, {11, 13})), range(1, 20, {11, 12, 13}));
}

TEST(Ovrlay, TheEndResidueWinsATieAndAnEmptySlotNever) {
  // Three residues of two atoms; atom 2 (residue 1) has no coordinates. Removing residue 2 (inside)
  // or residue 3 (an end) leaves the same three usable atoms: with gap = 1 the candidates tie.
  for (const double gap : {1.0, 1.5}) {
    SuperposeState s;
    build(s.vokandata, {.nres = 3, .per = 2, .nstr = 4, .noise = 0.05, .displaced = 3, .shift = 1.0, .seed = 2});
    set_xyz(s.vokandata, 2, 2, unknown_value, unknown_value, unknown_value);
    EXPECT_EQ(run(s, {.gap = gap}), range(1, 3, {gap == 1.0 ? 3 : 2})) << gap;
  }
  // Segments 1-2 and 4-5 (kept, noisy): removing a steady residue raises the RMSD, so the only candidates
  // have a negative value, and the empty slot (inside a segment) must not win over them, not even with no
  // absolute threshold.
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
  EXPECT_EQ(run(s, {.absdecrease = 0.0, .keep = {4, 5}}, {1, 2, 4, 5}), (Set{1, 2, 4, 5}));
}

// Residues 1 and 5 have no coordinates, so their mean displacement is 0 and they tie for the end slot: the
// later one takes it. A removal of residue 5 leaves the RMSD exactly as it was, with the additive statistics
// (6 members) as with armsd (65), so with no gap weight and no absolute threshold residue 5 wins the trials
// at a decrease of 0 and goes first; residues 4 and 3 then go from the end. Were the slot left empty on the
// tie, residue 3 would go first and end the refinement with 5 still in.
TEST(Ovrlay, TheLaterEndResidueTakesATiedSlot) {
  for (const int members : {6, 65}) {
    SuperposeState s;
    VokanData& v = s.vokandata;
    build(v, {.nres = 5, .per = 3, .nstr = members, .noise = 0.02, .displaced = 3, .shift = 2.0, .seed = 5});
    for (int k = 1; k <= members; ++k)
      for (int a = 1; a <= v.na; ++a)
        if (v.iar(a) == 1 || v.iar(a) == 5) set_xyz(v, k, a, unknown_value, unknown_value, unknown_value);
    Set selected;
    EXPECT_EQ(run(s, {.gap = 0.0, .absdecrease = 0.0, .upper_rmsd = 0.3}, {}, &selected), (Set{1, 2})) << members;
  }
}

// Residues 1..30 of 31 are selected, residue 30 is displaced; the value of removing it is measured, and the
// thresholds set just either side of it (wide of the single-precision rounding of the atom fraction).
TEST(Ovrlay, RelativeAndAbsoluteThresholdsDecide) {
  for (const bool relative : {true, false})
    for (const double margin : {-1e-4, 1e-4}) {
      SuperposeState s;
      VokanData& v = s.vokandata;
      build(v, {.nres = 31, .nstr = 5, .displaced = 30, .shift = 1.0, .seed = 23});
      FArray<bool> sel = v.asel;
      for (int a = 1; a <= v.na; ++a) sel(a) = v.iar(a) <= 30;
      const double r0 = armsd(s, sel);
      for (int a = 1; a <= v.na; ++a) sel(a) = v.iar(a) < 30;
      const double dec = r0 - armsd(s, sel), frac = 4.0 / 120.0;
      ASSERT_GT(dec, 0.0);
      // Removal when dec / r0 >= (3 / selected residues + decrease) * frac, or dec >= absdecrease * frac.
      Options o{.decrease = 1e9, .absdecrease = 1e9};
      (relative ? o.decrease : o.absdecrease) = relative ? dec / r0 / frac - 3.0 / 30 + margin : dec / frac + margin;
      EXPECT_EQ(run(s, o, range(1, 30)).count(30), margin > 0) << relative << " " << margin;
    }
}

}  // namespace
}  // namespace veldrix::testing

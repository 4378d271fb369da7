// Tests for the torsion-angle tree: units, generation from angles, measurement of angles.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <sstream>

#include "input/mini_library.hpp"
#include "molecule/sequence.hpp"
#include "molecule/tree.hpp"
#include "test_support.hpp"

namespace veldrix::testing {
namespace {

// Poly-alanine (with a linker in the middle when asked) built and initialised.
void make_chain(int n, bool linker = false) {
  load_library();
  std::vector<SeqEntry> seq;
  for (int i = 1; i <= n; ++i) seq.push_back({linker && i == n / 2 + 1 ? "PL" : "ALA", 'A', i});
  std::istringstream in(sequence_text(seq));
  extseq(in, 3, "*", 2);
  iniseq();
}

std::vector<Vec3> coordinates(int s = 0) {
  const VokanData& v = vokandata;
  std::vector<Vec3> c;
  for (int a = 0; a <= v.na; ++a) {
    const int col = v.col(s, a);
    c.push_back({v.coo(1, col), v.coo(2, col), v.coo(3, col)});
  }
  return c;
}

double distance(const Vec3& a, const Vec3& b) {
  return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
}

// Difference of two angles, wrapped to -pi..pi.
double angle_gap(double a, double b) { return std::remainder(a - b, 2.0 * std::numbers::pi); }

void random_angles(unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> angle(-std::numbers::pi, std::numbers::pi);
  for (int k = 1; k <= vokandata.ndfree; ++k) vokandata.dval(k) = angle(rng);
}

// Is unit u, or one of its ancestors, the unit w?
bool below(int u, int w) {
  for (; u >= 0; u = vokandata.iprev(u))
    if (u == w) return true;
  return false;
}

TEST(Tree, UnitsParentsAndGenerations) {
  Captured out;
  make_chain(2);
  const VokanData& v = vokandata;
  // Free angles in construction order: PHI1 CHI1 PSI1 PHI2 CHI1 PSI2; the fixed OMEGA last.
  ASSERT_EQ(v.ndfree, 6);
  const std::vector<int> unit = {-1, -1, 0, 0, 1, 1, 1, 2, 2, 2, 1, 3, 3, 3, 3, 4, 4, 4, 5, 5, 5, 4, 6};
  for (int a = 0; a <= v.na; ++a) EXPECT_EQ(v.iaunit(a), unit[std::size_t(a)]) << a;
  const std::vector<int> parent = {-1, 0, 1, 1, 3, 4, 4};
  for (int u = 0; u <= 6; ++u) EXPECT_EQ(v.iprev(u), parent[std::size_t(u)]) << u;
  EXPECT_EQ(v.iprev(-1), -2);
  // Side chains are one generation below the backbone, after every backbone unit.
  EXPECT_EQ(v.ngen, 2);
  EXPECT_EQ(v.ndgen(1), 4);
  EXPECT_EQ(v.ndgen(2), 2);
  EXPECT_EQ(v.idgen(5), 2);
  EXPECT_EQ(v.idgen(6), 5);
}

TEST(Tree, NoFreeAngleIsFatal) {
  Captured out;
  make_chain(2);
  FArray<bool> none{Dim(vokandata.nd)};
  EXPECT_EQ(stop_status([&] { tree(none); }), 1);
  EXPECT_EQ(out.text(), "*** FATAL ERROR: No rotatable dihedral angles.\n");
}

TEST(Tree, GenerationReproducesTheAssemblyAndItsAngles) {
  Captured out;
  for (bool linker : {false, true}) {
    make_chain(6, linker);
    for (unsigned seed : {1u, 2u, 3u}) {
      random_angles(seed);
      gener();  // frames of the previous assembly
      const std::vector<Vec3> before = coordinates();
      gencor(1);  // assembled at these angles
      gener();
      const std::vector<Vec3> after = coordinates();
      for (std::size_t a = 1; a < after.size(); ++a) EXPECT_LT(distance(before[a], after[a]), 1e-9) << a;
      for (int k = 1; k <= vokandata.ndfree; ++k)
        EXPECT_NEAR(angle_gap(calang(k, 0), vokandata.dval(k)), 0.0, 1e-7) << "angle " << k << " seed " << seed;
      // The fixed peptide bonds keep their value.
      for (int k = vokandata.ndfree + 1; k <= vokandata.nd; ++k)
        EXPECT_NEAR(std::cos(calang(k, 0)), -1.0, 1e-12) << k;
    }
  }
}

TEST(Tree, OneAngleMovesExactlyItsUnitAndTheUnitsBelow) {
  Captured out;
  make_chain(4);
  random_angles(7);
  gener();
  const VokanData& v = vokandata;
  const std::vector<Vec3> before = coordinates();
  const double delta = 0.7;
  for (int u = 1; u <= v.ndfree; ++u) {
    const double keep = vokandata.dval(u);
    vokandata.dval(u) = keep + delta;
    gener();
    const std::vector<Vec3> after = coordinates();
    vokandata.dval(u) = keep;
    const Vec3 p2 = before[std::size_t(v.ida(2, u))], p3 = before[std::size_t(v.ida(3, u))];
    for (int a = 0; a <= v.na; ++a) {
      const Vec3& b = before[std::size_t(a)];
      const Vec3& c = after[std::size_t(a)];
      if (!below(v.iaunit(a), u)) {
        EXPECT_EQ(b, c) << "atom " << a << " unit " << u;
        continue;
      }
      // Rotated about the axis by delta: same distances to both axis atoms, and the
      // torsion of the axis with any fixed reference point turns by delta.
      EXPECT_NEAR(distance(b, p2), distance(c, p2), 1e-9);
      EXPECT_NEAR(distance(b, p3), distance(c, p3), 1e-9);
      const Vec3 off = {p2[0] + 3.0, p2[1] - 2.0, p2[2] + 1.0};
      const std::optional<double> tb = tor(off, p2, p3, b), tc = tor(off, p2, p3, c);
      if (tb && tc && distance(b, p3) > 1e-3 && distance(b, p2) > 1e-3) {
        EXPECT_NEAR(angle_gap(*tc, *tb), delta, 1e-9) << "atom " << a << " unit " << u;
      }
    }
  }
}

TEST(Tree, BasePoseMovesTheWholeMolecule) {
  Captured out;
  make_chain(3);
  random_angles(11);
  gener();
  const std::vector<Vec3> plain = coordinates();
  const double theta = 0.9;
  VokanData& v = vokandata;
  v.dval(0) = std::cos(theta / 2);
  v.dval(-3) = std::sin(theta / 2);  // about z
  v.dval(-4) = 1.0, v.dval(-5) = -2.0, v.dval(-6) = 3.0;
  gener();
  const std::vector<Vec3> moved = coordinates();
  for (std::size_t a = 0; a < plain.size(); ++a) {
    const Vec3& p = plain[a];
    const Vec3 expect = {std::cos(theta) * p[0] - std::sin(theta) * p[1] + 1.0,
                         std::sin(theta) * p[0] + std::cos(theta) * p[1] - 2.0, p[2] + 3.0};
    EXPECT_LT(distance(moved[a], expect), 1e-9) << a;
  }
  // A rigid working structure is left alone.
  v.i0styp = 2;
  v.dval(-4) = 50.0;
  gener();
  EXPECT_EQ(coordinates(), moved);
}

TEST(Tree, FirstAngleThroughItsSubstituteAfterInitialisation) {
  Captured out;
  make_chain(3);
  const VokanData& v = vokandata;
  ASSERT_EQ(v.ida(1, 1), 0);
  EXPECT_EQ(v.ida1, 2);  // the amide H of residue 1 stands in for the missing carbonyl C
  EXPECT_EQ(v.ida4, v.na);
  EXPECT_NEAR(calang(1, 0), v.dval(1), 1e-7);
  EXPECT_NEAR(calang(v.ndfree, 0), v.dval(v.ndfree), 1e-7);
  // Bond lengths of the library survive generation: N-CA of residue 2.
  const double lib = std::hypot(2.0929 - 1.3290, -0.0011, -1.2414);
  EXPECT_NEAR(std::sqrt(cdist2(v.ifira(2), v.ifira(2) + 2, 0)), lib, 1e-9);
}

TEST(Calang, MissingOrAbsurdCoordinatesGiveTheMarker) {
  Captured out;
  make_chain(3);
  VokanData& v = vokandata;
  const int k = 2;
  const double good = calang(k, 0);
  ASSERT_LT(std::abs(good), 4.0);
  const int a3 = v.ida(3, k);
  const double x = v.coo(1, a3);
  v.coo(1, a3) = unknown_value;
  EXPECT_EQ(calang(k, 0), unknown_value);
  v.coo(1, a3) = x;
  v.coo(3, a3) = 1.0e30;
  EXPECT_EQ(calang(k, 0), unknown_value);
  v.coo(3, a3) = std::nan("");
  EXPECT_EQ(calang(k, 0), unknown_value);
  // Coincident atoms leave the angle undefined.
  for (int c = 1; c <= 3; ++c) v.coo(c, a3) = v.coo(c, v.ida(2, k));
  EXPECT_EQ(calang(k, 0), unknown_value);
  EXPECT_EQ(calang(0, 0), unknown_value);
  EXPECT_EQ(calang(v.nd + 1, 0), unknown_value);
}

}  // namespace
}  // namespace veldrix::testing

// Sequence construction on the built-in library, chains, the torsion-angle tree (units, coordinates
// from angles and back through calang, fixed peptide bonds, chain ends) and the structure arrays.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "molecule/library.hpp"
#include "molecule/sequence.hpp"
#include "molecule/tree.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

using testing::fatal_of;
using Ints = std::vector<int>;
constexpr double pi = std::numbers::pi;

// Builds and initialises residues A1, A2, ... of the given types, on the built-in library unless one is loaded.
void make(MoleculeState& s, const std::vector<std::string>& types, int cis = 0) {
  VokanData& v = s.vokandata;
  if (v.naa == 0) getlib(s, nullptr);
  v.nr = int(types.size());
  v.rnam.allocate(Dim(v.nr));
  v.rnum.allocate(Dim(v.nr));
  v.cis.allocate(Dim(v.nr));
  for (int i = 1; i <= v.nr; ++i) {
    v.rnam(i) = types[std::size_t(i - 1)];
    v.rnum(i) = "A" + std::to_string(i);
    v.cis(i) = i == cis;
  }
  build(s);
  iniseq(s);
}

std::vector<Vec3> coordinates(const VokanData& v) {
  std::vector<Vec3> c;
  for (int a = 0; a <= v.na; ++a) c.push_back({v.coo(1, v.col(0, a)), v.coo(2, v.col(0, a)), v.coo(3, v.col(0, a))});
  return c;
}

double distance(const Vec3& a, const Vec3& b) { return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]); }
double angle_gap(double a, double b) { return std::remainder(a - b, 2.0 * pi); }

TEST(Tor, RightHandedSignAndUndefinedGeometry) {
  const Vec3 a = {0, 0, -1}, b = {0, 0, 0}, c = {1, 0, 0};
  for (double phi : {0.0, 0.3, 1.5, 2.9, -0.4, -2.2, pi})
    EXPECT_NEAR(tor(a, b, c, {1, std::sin(phi), -std::cos(phi)}).value_or(9), phi, 1e-12);
  for (const auto& [p1, p2, p3, p4] : std::vector<std::array<Vec3, 4>>{
           {b, b, c, {1, 1, 0}}, {a, b, b, {1, 1, 0}}, {a, b, c, {2, 0, 0}}, {a, b, c, {1e300, 1e300, 0}}})
    EXPECT_FALSE(tor(p1, p2, p3, p4));
}

TEST(Build, TwoAlaninesLayoutTreeAndFixedPeptideBond) {
  MoleculeState s;
  make(s, {"ALA", "ALA"});
  const VokanData& v = s.vokandata;
  EXPECT_EQ(Ints({v.nr, v.na, v.nd, v.ndfree, v.ifira(2), v.iar(12), v.mdihat}), Ints({2, 22, 7, 6, 12, 2, 1}));
  EXPECT_EQ(v.anam(12), "N");
  // Worked out from the ALA block: atoms and last atom of each angle in construction order, through idord.
  const std::vector<std::string> names = {"PHI", "CHI1", "PSI", "OMEGA", "PHI", "CHI1", "PSI"};
  const std::vector<Ints> atoms = {{0, 1, 3, 10, 23},    {1, 3, 6, 7, 9},      {1, 3, 10, 12, 23},
                                   {11, 10, 12, 13, 23}, {10, 12, 14, 21, 23}, {12, 14, 17, 18, 20},
                                   {12, 14, 21, 23, 23}};
  for (int k = 1; k <= 7; ++k) {
    const int t = v.idord(k);
    EXPECT_EQ(v.dnam(t), names[std::size_t(k - 1)]) << k;
    EXPECT_EQ(Ints({v.ida(1, t), v.ida(2, t), v.ida(3, t), v.ida(4, t), v.lda(t)}), atoms[std::size_t(k - 1)]) << k;
    EXPECT_EQ(v.idr(t), k <= 3 ? 1 : 2);
  }
  // The peptide bond is the only fixed angle and goes behind the free ones, trans.
  EXPECT_EQ(v.idord(4), 7);
  EXPECT_DOUBLE_EQ(v.dval(7), pi);
  EXPECT_NEAR(std::cos(calang(v, 7, 0)), -1.0, 1e-12);
  // Units: each atom in the innermost unit that moves it; the parents of units -1..6.
  const Ints unit = {-1, -1, 0, 0, 1, 1, 1, 2, 2, 2, 1, 3, 3, 3, 3, 4, 4, 4, 5, 5, 5, 4, 6};
  for (int a = 0; a <= v.na; ++a) EXPECT_EQ(v.iaunit(a), unit[std::size_t(a)]) << a;
  const Ints parent = {-2, -1, 0, 1, 1, 3, 4, 4};
  for (int u = -1; u <= 6; ++u) EXPECT_EQ(v.iprev(u), parent[std::size_t(u + 1)]) << u;
  // Chain ends: the amide H of residue 1 stands in for the missing carbonyl C, the last atom for the next N.
  EXPECT_EQ(Ints({v.ida1, v.ida4}), Ints({2, v.na}));
  EXPECT_NEAR(calang(v, 1, 0), v.dval(1), 1e-7);
  EXPECT_NEAR(calang(v, 6, 0), v.dval(6), 1e-7);
  const std::vector<Vec3> c = coordinates(v);  // a library bond length survives: N-CA of residue 2
  EXPECT_NEAR(distance(c[12], c[14]), std::hypot(2.0929 - 1.3290, -0.0011, -1.2414), 1e-9);
  EXPECT_TRUE(s.printdata.lines.empty());
  MoleculeState cis;
  make(cis, {"ALA", "ALA"}, 2);
  EXPECT_EQ(cis.vokandata.dval(7), 0.0);
  EXPECT_NEAR(calang(cis.vokandata, 7, 0), 0.0, 1e-7);
}

TEST(Build, SingleResiduesLinkersAndRefusals) {
  MoleculeState one;
  make(one, {"ALA"});
  const VokanData& v = one.vokandata;
  EXPECT_EQ(Ints({v.nd, v.ndfree}), Ints({3, 3})) << "PHI, CHI1, PSI: no angle reaches two atoms outside";
  EXPECT_GT(v.ida1 * v.ida4, 0);
  for (int k = 1; k <= v.nd; ++k) EXPECT_NEAR(calang(v, k, 0), v.dval(k), 1e-9) << k;
  MoleculeState nucleotide;  // neither ZETA (second atom before its own) nor EPSI (third atom its last own)
  make(nucleotide, {"ADE"});
  EXPECT_EQ(nucleotide.vokandata.nd, 9 - 2);
  // ALA -> PL by name (C, O, N); PL -> ALA by the dummy atoms Q1, Q2, Q3 counted from the end.
  MoleculeState linked;
  make(linked, {"ALA", "PL", "ALA"});
  const VokanData& w = linked.vokandata;
  EXPECT_EQ(linked.printdata.warnings,
            std::vector<std::string>{"Differently named overlap atoms for residues \"PL\" and \"ALA\"."});
  const int q = w.ifira(2) - w.ifirat(w.irlib(2));
  EXPECT_EQ(Ints({w.na, w.joffst(1, 2), w.joffst(3, 2), w.joffst(1, 3), w.joffst(3, 3), w.ifira(3)}),
            Ints({11 + 3 + 11, 10, 12, 4 + q, 6 + q, 6 + q}));
  // X: four own atoms, the last moved by its only angle; no rule finds a following X's leading atoms.
  // Y: no overlap atoms; only the positional rule places a following Y, out of step with its own atoms.
  const std::string types = "ATOMTYPES 1\n 1 C_ALI 1.6 0 6\n";
  const std::string x = "RESIDUE X 1 4 1 4\n 1 T 0 0 0 1 2 3 4 4\n 1 X1 C_ALI 0 0 0 0 0\n"
                        " 2 X2 C_ALI 0 0 0 0 -1\n 3 X3 C_ALI 0 0 1 0 0\n 4 X4 C_ALI 0 0 1 1 0\n";
  const std::string y = "RESIDUE Y 1 5 1 5\n 1 T 0 0 0 1 2 3 4 0\n 1 A C_ALI 0 0 0 0 0\n 2 B C_ALI 0 0 0 0 -1\n"
                        " 3 C C_ALI 0 0 1 0 0\n 4 D C_ALI 0 0 1 1 0\n 5 E C_ALI 0 0 2 1 0\n";
  for (const auto& [library, residue, message] : std::vector<std::array<std::string, 3>>{
           {x, "X", "Overlap atoms X1, X2, X3 not found for residue \"X\"."},
           {y, "Y", "Mismatch between residue Y A2 and its predecessor."},
           {x, "ALA", "Illegal residue type \"ALA\"."}}) {
    MoleculeState s;
    std::istringstream in(types + library);
    getlib(s, &in);
    EXPECT_EQ(fatal_of([&] { make(s, {residue, residue}); }), message);
  }
  MoleculeState none;
  EXPECT_EQ(fatal_of([&] { make(none, {}); }), "No amino acid residues in sequence.");
}

TEST(Chains, LettersDecideOtherwiseNumberGaps) {
  for (const auto& [ids, chains] : std::vector<std::pair<std::vector<std::string>, Ints>>{
           {{"1", "2", "4", "3", "4"}, {1, 1, 2, 3, 3}},
           {{"A1", "A5", "B2", "B3", "A4"}, {1, 1, 2, 2, 3}},
           {{"A1", "A2", "B5", "B6", "B7"}, {1, 1, 2, 2, 2}}}) {
    VokanData v;
    testing::make_molecule(v, 5, 1, 0);
    for (int i = 1; i <= 5; ++i) v.rnum(i) = ids[std::size_t(i - 1)];
    setcha(v);
    EXPECT_EQ(Ints(v.ichain.begin(), v.ichain.end()), chains) << ids[1];
    FArray<std::string> prefixes;
    FArray<int> numbers;
    bool any = false;
    msplit(v, prefixes, numbers, any);
    EXPECT_EQ(any, ids[0] == "A1");
    EXPECT_EQ(prefixes(3) + std::to_string(numbers(3)), ids[2]);
  }
}

TEST(Tree, GenerationReproducesTheAssemblyAndItsAngles) {
  for (const std::vector<std::string>& chain : {std::vector<std::string>(6, "ALA"),
                                                std::vector<std::string>{"ALA", "ALA", "ALA", "PL", "ALA", "ALA"}}) {
    MoleculeState s;
    make(s, chain);
    VokanData& v = s.vokandata;
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> angle(-pi, pi);
    for (int rep = 0; rep < 3; ++rep) {
      for (int k = 1; k <= v.ndfree; ++k) v.dval(k) = angle(rng);
      gener(v);  // on the frames of the previous assembly
      const std::vector<Vec3> before = coordinates(v);
      gencor(v);  // assembled at these angles
      gener(v);
      const std::vector<Vec3> after = coordinates(v);
      for (std::size_t a = 1; a < after.size(); ++a) EXPECT_LT(distance(before[a], after[a]), 1e-9) << a;
      for (int k = 1; k <= v.ndfree; ++k) EXPECT_NEAR(angle_gap(calang(v, k, 0), v.dval(k)), 0.0, 1e-7) << k;
      for (int k = v.ndfree + 1; k <= v.nd; ++k) EXPECT_NEAR(std::cos(calang(v, k, 0)), -1.0, 1e-12) << k;
    }
    FArray<bool> none{Dim(v.nd)};
    none.fill(false);
    EXPECT_EQ(fatal_of([&] { tree(v, none); }), "No rotatable dihedral angles.");
  }
}

TEST(Calang, MissingOrAbsurdCoordinatesGiveTheMarker) {
  MoleculeState s;
  make(s, {"ALA", "ALA", "ALA"});
  VokanData& v = s.vokandata;
  const int a2 = v.ida(2, 2), a3 = v.ida(3, 2);
  ASSERT_LT(std::abs(calang(v, 2, 0)), 4.0);
  for (const Vec3& bad : std::vector<Vec3>{{unknown_value, 0, 0}, {0, 0, 1.0e8}, {0, -1.0e30, 0}, {0, 0, std::nan("")},
                                           {v.coo(1, a2), v.coo(2, a2), v.coo(3, a2)}}) {
    for (int x = 1; x <= 3; ++x) v.coo(x, a3) = bad[std::size_t(x - 1)];
    EXPECT_EQ(calang(v, 2, 0), unknown_value) << bad[0] << " " << bad[1] << " " << bad[2];
  }
  EXPECT_EQ(calang(v, 0, 0) + calang(v, v.nd + 1, 0), 2 * unknown_value);
}

TEST(Structures, CopiesGrowTheArraysAndKeepTheirValues) {
  VokanData v;
  testing::make_molecule(v, 2, 2, 1);
  v.nd = 2;
  alostr(v, 1, 0);
  for (int a = 1; a <= v.na; ++a) testing::set_xyz(v, 0, a, a, 10 * a, 100 * a);
  v.dval(2) = -0.5, v.i0styp = 2;
  copstr(v, 0, 2);  // appends a structure with one spare slot
  EXPECT_EQ(Ints({v.structure_capacity(), v.istyp(2)}), Ints({3, 2}));
  for (int a = 1; a <= v.na; ++a) EXPECT_EQ(v.coo(2, v.col(2, a)), 10 * a);
  EXPECT_EQ(v.dval(v.dix(2, 2)), -0.5);
  v.istyp(1) = 1;
  copstr(v, 1, 0);
  testing::set_xyz(v, 0, 1, 42, 0, 0);
  copstr(v, 7, 0);  // beyond the capacity: nothing happens
  EXPECT_EQ(Ints({v.i0styp, int(v.coo(1, v.col(0, 1)))}), Ints({1, 42}));
  alostr(v, 5, 0);
  EXPECT_EQ(Ints({v.structure_capacity(), int(v.coo(3, v.col(2, 3)))}), Ints({5, 300}));
  FArray<std::string> names(Dim(2));
  names(2) = "CA";
  salo(names, 3, 500);  // too small: grown with room for 500 more
  salo(names, 400, 500);
  EXPECT_EQ(names.extent() + names(2).size(), 503u + 2u);
}

}  // namespace
}  // namespace veldrix

// Tests for sequence construction: reading residues, atom map, angle layout, initialisation, chains.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>

#include "input/mini_library.hpp"
#include "molecule/sequence.hpp"
#include "molecule/tree.hpp"
#include "test_support.hpp"

namespace veldrix::testing {
namespace {

constexpr double pi = std::numbers::pi;

// Builds and initialises the molecule of the given PDB text.
void make(const std::string& pdb, const std::string& chains = "*", int unknown = 0) {
  std::istringstream in(pdb);
  extseq(in, 3, chains, unknown);
  iniseq();
}

std::vector<std::string> residue_ids() {
  std::vector<std::string> ids;
  for (int i = 1; i <= vokandata.nr; ++i) ids.push_back(vokandata.rnum(i));
  return ids;
}

// Fatal message of f (without its prefix), or "" when f returns.
std::string fatal_of(const std::function<void()>& f, Captured& out) {
  out.clear();
  if (!stop_status(f)) return "";
  return out.text();
}

TEST(Tor, SignAndRangeFollowTheRightHandedConvention) {
  const Vec3 a = {0, 0, -1}, b = {0, 0, 0}, c = {1, 0, 0};
  for (double phi : {0.0, 0.3, 1.5, 2.9, -0.4, -2.2, pi}) {
    const Vec3 d = {1.0, std::sin(phi), -std::cos(phi)};
    const std::optional<double> t = tor(a, b, c, d);
    ASSERT_TRUE(t.has_value());
    EXPECT_NEAR(*t, phi, 1e-12) << phi;
  }
}

TEST(Tor, DegenerateGeometryIsUndefinedNotNaN) {
  const Vec3 a = {0, 0, -1}, b = {0, 0, 0}, c = {1, 0, 0}, d = {1, 1, 0};
  EXPECT_FALSE(tor(b, b, c, d).has_value());            // first bond of no length
  EXPECT_FALSE(tor(a, b, b, d).has_value());            // no axis
  EXPECT_FALSE(tor(a, b, c, Vec3{2, 0, 0}).has_value());  // last atom on the axis
  EXPECT_FALSE(tor(a, b, c, Vec3{1e300, 1e300, 0}).has_value());  // overflow
}

TEST(Build, TwoAlanineLayout) {
  Captured out;
  load_library();
  make(sequence_text({{"ALA", 'A', 1}, {"ALA", 'A', 2}}));
  const VokanData& v = vokandata;
  EXPECT_EQ(v.nr, 2);
  EXPECT_EQ(v.na, 22);
  EXPECT_EQ(v.ifira(2), 12);
  EXPECT_EQ(v.anam(12), "N");
  EXPECT_EQ(v.iar(12), 2);
  EXPECT_EQ(v.nd, 7);
  EXPECT_EQ(v.mdihat, 1);
  EXPECT_EQ(v.ndihat, 14);
  // Construction order, mapped through idord to the tree order.
  const std::vector<std::string> names = {"PHI", "CHI1", "PSI", "OMEGA", "PHI", "CHI1", "PSI"};
  const std::vector<std::array<int, 4>> atoms = {{0, 1, 3, 10},   {1, 3, 6, 7},     {1, 3, 10, 12}, {11, 10, 12, 13},
                                                 {10, 12, 14, 21}, {12, 14, 17, 18}, {12, 14, 21, 23}};
  const std::vector<int> last = {23, 9, 23, 23, 23, 20, 23};
  for (int k = 1; k <= 7; ++k) {
    const int t = v.idord(k);
    EXPECT_EQ(v.dnam(t), names[std::size_t(k - 1)]) << k;
    for (int m = 1; m <= 4; ++m) EXPECT_EQ(v.ida(m, t), atoms[std::size_t(k - 1)][std::size_t(m - 1)]) << k << " " << m;
    EXPECT_EQ(v.lda(t), last[std::size_t(k - 1)]) << k;
    EXPECT_EQ(v.idr(t), k <= 3 ? 1 : 2);
  }
  // The peptide bond is the only fixed angle; it goes behind the free ones.
  EXPECT_EQ(v.ndfree, 6);
  EXPECT_EQ(v.idord(4), 7);
  EXPECT_DOUBLE_EQ(v.dval(7), pi);
  EXPECT_NEAR(std::cos(calang(7, 0)), -1.0, 1e-12);
  EXPECT_EQ(out.text(), "");
}

TEST(Build, CisPeptideBondGetsZero) {
  Captured out;
  load_library();
  std::istringstream in(sequence_text({{"ALA", 'A', 1}, {"ALA", 'A', 2}}));
  extseq(in, 3, "*", 0);
  vokandata.cis(2) = true;
  iniseq();
  const int omega = vokandata.idord(4);
  EXPECT_EQ(vokandata.dval(omega), 0.0);
  EXPECT_NEAR(calang(omega, 0), 0.0, 1e-7);
}

TEST(Build, LinkerJoinsByDummyAtomsWithOneWarning) {
  Captured out;
  load_library();
  make(sequence_text({{"ALA", 'A', 1}, {"PL", 'A', 2}, {"ALA", 'A', 3}}));
  const VokanData& v = vokandata;
  // ALA -> PL by name (C, O, N); PL -> ALA by the dummy atoms Q1, Q2, Q3 counted from the end.
  EXPECT_EQ(out.text(),
            "*** WARNING: Differently named overlap atoms for residues \"PL\" and \"ALA\".\n");
  EXPECT_EQ(v.na, 11 + 3 + 11);
  EXPECT_EQ(v.joffst(1, 2), 10);  // C of residue 1
  EXPECT_EQ(v.joffst(3, 2), 12);  // N, the linker's own first atom
  const int q = v.ifira(2) - v.ifirat(v.irlib(2));
  EXPECT_EQ(v.joffst(1, 3), 4 + q);
  EXPECT_EQ(v.joffst(3, 3), 6 + q);
  EXPECT_EQ(v.joffst(3, 3), v.ifira(3));  // Q3 of the linker is the next residue's N
}

TEST(Build, OverlapAtomsNotFoundAndMismatchAreFatal) {
  Captured out;
  // Residue type X: four own atoms, the last one moved by its only angle; no rule finds
  // the leading atoms of a following X among the atoms of X.
  load_library(std::string(mini_atom_types) + R"(
RESIDUE   X        1    4    1    4
   1 T        0    0    0.0000    1    2    3    4    4
   1 X1   C_ALI    0    0.0000    0.0000    0.0000    0.0000
   2 X2   C_ALI    0    0.0000    0.0000    0.0000   -1.0000
   3 X3   C_ALI    0    0.0000    1.0000    0.0000    0.0000
   4 X4   C_ALI    0    0.0000    1.0000    1.0000    0.0000
)");
  EXPECT_EQ(fatal_of([] { make(sequence_text({{"X", 'A', 1}, {"X", 'A', 2}})); }, out),
            "*** FATAL ERROR: Overlap atoms X1, X2, X3 not found for residue \"X\".\n");
}

TEST(Build, OwnAtomsOutOfStepAreAMismatch) {
  Captured out;
  // Y has no overlap atoms: only the positional rule places a following Y's first atoms,
  // inside the preceding residue, so the own atoms are out of step.
  load_library(std::string(mini_atom_types) + R"(
RESIDUE   Y        1    5    1    5
   1 T        0    0    0.0000    1    2    3    4    0
   1 A    C_ALI    0    0.0000    0.0000    0.0000    0.0000
   2 B    C_ALI    0    0.0000    0.0000    0.0000   -1.0000
   3 C    C_ALI    0    0.0000    1.0000    0.0000    0.0000
   4 D    C_ALI    0    0.0000    1.0000    1.0000    0.0000
   5 E    C_ALI    0    0.0000    2.0000    1.0000    0.0000
)");
  EXPECT_EQ(fatal_of([] { make(sequence_text({{"Y", 'A', 1}, {"Y", 'A', 2}})); }, out),
            "*** WARNING: Differently named overlap atoms for residues \"Y\" and \"Y\".\n"
            "*** FATAL ERROR: Mismatch between residue Y A2 and its predecessor.\n");
}

TEST(Extseq, ModelsChainsAndRecordKinds) {
  Captured out;
  load_library();
  const std::string two = sequence_text({{"ALA", 'A', 1}, {"ALA", 'A', 2}});
  struct Case {
    std::string text, chains;
    std::vector<std::string> ids;
  };
  const std::vector<Case> cases = {
      {"MODEL 1\n" + two + "ENDMDL\nMODEL 2\n" + sequence_text({{"ALA", 'A', 3}}) + "ENDMDL\n", "*", {"A1", "A2"}},
      {two + sequence_text({{"ALA", 'A', 1}, {"ALA", 'A', 7}}), "*", {"A1", "A2"}},  // repeated model, no ENDMDL
      {"HETATM    1  N   ALA A   5       0.000   0.000   0.000\n" + two, "*", {"A1", "A2"}},
      {sequence_text({{"ALA", ' ', 1}, {"ALA", ' ', 2}}), "*", {"A1", "A2"}},  // blank chain counts as A
      {sequence_text({{"ALA", 'A', 1}, {"ALA", 'B', 1}, {"ALA", 'A', 2}}), "first", {"A1"}},
      {sequence_text({{"ALA", 'A', 1}, {"ALA", 'B', 1}, {"ALA", 'B', 2}}), "B", {"B1", "B2"}},
      {sequence_text({{"ALA", 'A', 1}, {"ALA", 'B', 1}, {"ALA", 'C', 2}}), "all", {"A1", "B1", "C2"}},
      {"ATOM      1  N   ALA A   1 # a comment\n" + two, "*", {"A1", "A2"}},
  };
  for (const Case& c : cases) {
    reset_all();
    load_library();
    std::istringstream in(c.text);
    extseq(in, 3, c.chains, 0);
    EXPECT_EQ(residue_ids(), c.ids) << c.text;
  }
}

TEST(Extseq, UnknownResidueNamesFollowTheUnknownChoice) {
  Captured out;
  load_library();
  const std::string text = sequence_text({{"ALA", 'A', 1}, {"GLY", 'A', 2}}) +
                           atom_record(3, "CA", "GLY", 'A', 2, 0, 0, 0) + "\n" +
                           sequence_text({{"ALA", 'A', 3}});
  EXPECT_EQ(fatal_of([&] { make(text, "*", 0); }, out), "*** FATAL ERROR: Illegal residue name \"GLY\".\n");
  // Warning once per record: the unknown residue never becomes the last residue taken.
  EXPECT_EQ(fatal_of([&] { make(text, "*", 1); }, out), "");
  EXPECT_EQ(out.text(),
            "*** WARNING: Illegal residue name \"GLY\".\n"
            "*** WARNING: Illegal residue name \"GLY\".\n");
  EXPECT_EQ(residue_ids(), (std::vector<std::string>{"A1", "A3"}));
  EXPECT_EQ(fatal_of([&] { make(text, "*", 2); }, out), "");
  EXPECT_EQ(out.text(), "");
}

TEST(Extseq, UnreadableRecordsAndEmptySequences) {
  Captured out;
  load_library();
  const std::string good = sequence_text({{"ALA", 'A', 1}});
  EXPECT_EQ(fatal_of([&] { make("REMARK x\nATOM      1  N   ALA A  x1       0.000   0.000   0.000\n"); }, out),
            "*** FATAL ERROR: Cannot read line 2:\n"
            "                 ATOM      1  N   ALA A  x1       0.000   0.000   0.000\n");
  EXPECT_EQ(fatal_of([&] { make("ATOM      1  N   ALA %   1       0.000   0.000   0.000\n"); }, out),
            "*** FATAL ERROR: Cannot read line 1:\n"
            "                 ATOM      1  N   ALA %   1       0.000   0.000   0.000\n");
  EXPECT_EQ(fatal_of([&] { make(good, "AB"); }, out), "*** FATAL ERROR: No amino acid residues in sequence.\n");
  EXPECT_EQ(fatal_of([&] { make(""); }, out), "*** FATAL ERROR: No amino acid residues in sequence.\n");
  EXPECT_EQ(fatal_of([&] {
              std::istringstream in(good);
              extseq(in, 1, "*", 0);
            }, out),
            "*** FATAL ERROR: Illegal file format.\n");
}

TEST(Iniseq, SingleResidueHasOnlyAnglesWithinIt) {
  Captured out;
  load_library();
  make(sequence_text({{"ALA", 'A', 7}}));
  const VokanData& v = vokandata;
  EXPECT_EQ(v.nd, 3);  // PHI, CHI1, PSI: no angle reaches two atoms outside the residue
  EXPECT_EQ(v.ndfree, 3);
  EXPECT_GT(v.ida1, 0);
  EXPECT_GT(v.ida4, 0);
  for (int a = 0; a <= v.na; ++a)
    for (int x = 1; x <= 3; ++x) EXPECT_TRUE(std::isfinite(v.coo(x, a))) << a;
  for (int k = 1; k <= v.nd; ++k) EXPECT_NEAR(calang(k, 0), v.dval(k), 1e-9) << k;
}

TEST(Iniseq, SelectsEverythingAndAssignsChains) {
  Captured out;
  load_library();
  make(sequence_text({{"ALA", 'A', 1}, {"ALA", 'A', 2}, {"ALA", 'B', 5}, {"ALA", 'B', 6}, {"ALA", 'B', 7}}));
  const VokanData& v = vokandata;
  for (int a = 1; a <= v.na; ++a) EXPECT_TRUE(v.asel(a));
  for (int k = 1; k <= v.nd; ++k) EXPECT_TRUE(v.dsel(k));
  EXPECT_FALSE(selectdata.slinit);
  EXPECT_EQ(v.leveli, 3);
  const std::vector<int> chain = {1, 1, 2, 2, 2};
  for (int i = 1; i <= 5; ++i) {
    EXPECT_EQ(v.ichain(i), chain[std::size_t(i - 1)]);
    EXPECT_EQ(v.irlev(i), i + chain[std::size_t(i - 1)] * 4);
  }
  EXPECT_EQ(v.level, v.irlev(5) - v.irlev(1));
}

TEST(Setcha, NumberGapsSplitChainsWithoutPrefixes) {
  Captured out;
  make_molecule(5, 1, 0);
  const std::vector<std::string> ids = {"1", "2", "4", "5", "6"};
  for (int i = 1; i <= 5; ++i) vokandata.rnum(i) = ids[std::size_t(i - 1)];
  setcha();
  const std::vector<int> chain = {1, 1, 2, 2, 2};
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(vokandata.ichain(i), chain[std::size_t(i - 1)]);
  EXPECT_EQ(vokandata.leveli, 3);
  // With chain letters the letters decide, whatever the numbers.
  const std::vector<std::string> lettered = {"A1", "A5", "B2", "B3", "A4"};
  for (int i = 1; i <= 5; ++i) vokandata.rnum(i) = lettered[std::size_t(i - 1)];
  setcha();
  const std::vector<int> chain2 = {1, 1, 2, 2, 3};
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(vokandata.ichain(i), chain2[std::size_t(i - 1)]);
}

}  // namespace
}  // namespace veldrix::testing

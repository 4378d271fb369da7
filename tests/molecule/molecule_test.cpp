// The residue library reader (text rules, standard frame, check, damaged libraries), sequence construction,
// chains, the torsion-angle tree and the structure arrays.
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
using Strings = std::vector<std::string>;
using Edits = std::vector<std::pair<std::string, std::string>>;
constexpr double pi = std::numbers::pi;

// Three atom types and one residue type "TRI": two angles, five atoms, the last a pseudo atom.
// Line numbers: 1 header, 2-4 types, 5 residue header, 6-7 angles, 8-12 atoms.
const std::string kMini = R"(ATOMTYPES 3 0.25
  1 PSEUD -10.0 0 0
  2 C_ALI 1.6 0 6
  3 H_ALI 1.0 1 1
RESIDUE TRI 2 5 1 5
  1 T1 0 0 0.0 1 2 3 4
  2 T2 0 0 0.0 2 3 4 5 5
  1 A C_ALI 0 0.0 0.0 0.0 0.0 2
  2 B C_ALI 0 0.0 1.0 1.0 0.0 3 1
  3 C C_ALI 0 0.0 2.0 0.0 0.0 4 2
  4 D H_ALI 0 0.0 3.0 1.0 0.0 3 0 0 0 5
  5 Q PSEUD 0 0.0 3.0 1.0 0.5
)";

// The text with the first occurrence of each `from` replaced by its `to`.
std::string with(std::string text, const Edits& edits) {
  for (const auto& [from, to] : edits) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
  }
  return text;
}

// Reads a library in place of the loaded one, as the read command does; the fatal message, empty when it was read.
std::string load(MoleculeState& s, const std::string& text) {
  s.vokandata.nattyp = s.vokandata.naa = s.vokandata.maxdih = s.vokandata.maxat = 0;
  std::istringstream in(text);
  return fatal_of([&] { getlib(s, &in); });
}

TEST(Getlib, ReadsTypesAndBlocksIntoTheStandardFrame) {
  // TRI with its atoms turned (x, y, z) -> (y, z, x) and shifted by (5, -2, 1); the frame undoes both.
  MoleculeState s;
  ASSERT_EQ(load(s, with(kMini, {{"0.0 0.0 0.0 0.0 2", "0.0 5 -2 1 2"},
                                 {"1.0 1.0 0.0 3 1", "6 -2 2 3 1"},
                                 {"2.0 0.0 0.0 4 2", "5 -2 3 4 2"},
                                 {"3.0 1.0 0.0 3", "6 -2 4 3"},
                                 {"3.0 1.0 0.5", "6 -1.5 4"}})),
            "");
  const VokanData& v = s.vokandata;
  EXPECT_EQ(v.attyp(2) + v.aanam(1) + v.aatyp(1) + v.dihnam(2, 1) + v.atnam(4, 1), "C_ALITRIRESIDT2D");
  EXPECT_EQ(Ints({v.nattyp, v.iatel(2), v.naa, v.ndih(1), v.nat(1), v.ifirat(1), v.lasat(1), v.iattyp(4, 1)}),
            Ints({3, 6, 1, 2, 5, 1, 5, 3}));
  EXPECT_EQ(
      Ints({v.idihat(1, 2, 1), v.idihat(4, 2, 1), v.ldihat(1, 1), v.ldihat(2, 1), v.ipatom(4, 1), v.ipatom(5, 1)}),
      Ints({2, 5, 0, 5, 5, 0}));
  // By hand from the untouched block: atom 1 at the origin, atom 3 on +x, atom 2 in the x-z plane below.
  const double expected[5][3] = {{0, 0, 0}, {1, 0, -1}, {2, 0, 0}, {3, 0, -1}, {3, 0.5, -1}};
  for (int j = 1; j <= 5; ++j)
    for (int x = 1; x <= 3; ++x) EXPECT_NEAR(v.coord(x, j, 1), expected[j - 1][x - 1], 1e-12) << j;
}

TEST(Getlib, TextRules) {
  MoleculeState s;
  const VokanData& v = s.vokandata;
  ASSERT_EQ(load(s, "# only comments\n\n      \n   # indented\n#RESIDUE TRI 2 5 1 5\n"), "");
  EXPECT_EQ(v.nattyp + v.naa, 0);
  // A header indented by 3 blanks is a header; by 8 it is blank, and its block lines pass as unknown lines.
  for (const auto& [indent, residues] : std::vector<std::pair<std::string, int>>{{"   ", 1}, {"        ", 0}}) {
    ASSERT_EQ(load(s, with(kMini, {{"RESIDUE", indent + "RESIDUE"}})), "");
    EXPECT_EQ(v.naa, residues);
  }
  // Blank and comment lines inside lists and blocks are no records; other sections pass; CR LF line ends.
  std::string text =
      "CSTABLE 2\n   1 ALA  N    21679  123.24\n\t\t\n" +
      with(kMini,
           {{"  1 PSEUD", "\n  # nothing\n  1 PSEUD"}, {"  2 T2", "\n\n  2 T2"}, {"  5 Q", "           \n  5 Q"}}) +
      "FOO BAR\n";
  std::string crlf;
  for (char ch : text) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  ASSERT_EQ(load(s, crlf), "");
  EXPECT_EQ(v.atnam(5, 1) + v.atnam(4, 1) + std::to_string(v.ipatom(4, 1)), "QD5");
  // Column 100 is read (also before a carriage return); what follows it and a comment are not.
  const std::string d = "  4 D H_ALI 0 0.0 3.0 1.0 0.0 3 0 0 0";
  for (const auto& [tail, pointer] : std::vector<std::pair<std::string, int>>{
           {std::string(99 - d.size(), ' ') + "5\r", 5}, {std::string(100 - d.size(), ' ') + " 5", 0}, {" # 5", 0}}) {
    ASSERT_EQ(load(s, with(kMini, {{d + " 5", d + tail}})), "");
    EXPECT_EQ(v.ipatom(4, 1), pointer) << tail.size();
  }
  // Names keep 5 characters, also when a type is looked up; integers are read from a token's first 10.
  ASSERT_EQ(load(s, with(kMini, {{"1.6 0 6", "1.6 0 000000000612345"},
                                 {"  3 C C_ALI", "  3 CARBON C_ALIPHATIC"},
                                 {"3.0 1.0 0.5", "3.0000000000000000000x99 1.0 0.5"}})),
            "");
  EXPECT_EQ(std::to_string(v.iatel(2)) + v.atnam(3, 1) + std::to_string(v.iattyp(3, 1)), "6CARBO2");
  // In one text the first definition of a type name wins; counts never size memory by themselves.
  ASSERT_EQ(load(s, "ATOMTYPES 2\n 1 X 1.0 0 1\n 2 X 2.0 0 2\nATOMTYPES 2\n 1 Y 1.0 0 3\n 2 Z 1.0 0 4\n"), "");
  EXPECT_EQ(Ints({v.nattyp, v.naa, v.iatel(1), v.iatel(2), v.iatel(3)}), Ints({3, 0, 1, 3, 4}));
  ASSERT_EQ(load(s, "ATOMTYPES 2000000000\n 1 C_ALI 1.6 0 6\n"), "");
  EXPECT_EQ(v.attyp.extent(), 1u);
}

TEST(Getlib, EveryDamagedLibraryHasItsMessage) {
  const std::string atom_of = " is not an atom of residue \"TRI\" (1..5):", wrong = "Wrong pseudoatom pointer";
  const std::string frame = "Residue type \"TRI\" has no standard frame: ";
  const std::string line = "its atoms 1, 2 and 3 lie on one line.";
  const std::string range = "Residue \"TRI\" has an invalid range of own atoms ", cannot = "Cannot read line ";
  for (const auto& [edits, first, second] : std::vector<std::tuple<Edits, std::string, std::string>>{
           // Too few tokens in a type line, a header (pass 2 and pass 1), an angle and an atom line.
           {{{"1.6 0 6", "1.6 0"}}, cannot + "3:", "  2 C_ALI 1.6 0"},
           {{{"TRI 2 5 1 5", "TRI 2 5 1"}}, cannot + "5:", "RESIDUE TRI 2 5 1"},
           {{{"TRI 2 5 1 5", "TRI 2"}}, cannot + "5:", "RESIDUE TRI 2"},
           {{{"0.0 1 2 3 4", "0.0 1 2 3"}}, cannot + "6:", "  1 T1 0 0 0.0 1 2 3"},
           {{{"0.0 0.0 0.0 0.0 2", "0.0 0.0 0.0"}}, cannot + "8:", "  1 A C_ALI 0 0.0 0.0 0.0"},
           {{{"ATOMTYPES 3 0.25", "ATOMTYPES 3 x"}}, cannot + "1:", "ATOMTYPES 3 x"},
           {{{"ATOMTYPES 3", "ATOMTYPES -3"}}, cannot + "1:", "ATOMTYPES -3 0.25"},
           {{{"1.0 1 1", "1.0 1 9999999999"}}, cannot + "4:", "  3 H_ALI 1.0 1 9999999999"},
           {{{"4 2\n", "-4 2\n"}}, cannot + "10:", "  3 C C_ALI 0 0.0 2.0 0.0 0.0 -4 2"},
           // Empty and comment lines count in a type list; in a block the kept lines are numbered from the header.
           {{{"  1 PSEUD -10.0 0 0\n", "\n\n  1 PSEUD -10.0 0 0\n# note\n"}, {"1.0 1 1", "1.0 one 1"}},
            cannot + "7:",
            "  3 H_ALI 1.0 one 1"},
           {{{"  1 T1", "\n# note\n  1 T1"}, {"2.0 0.0 0.0", "2.O 0.0 0.0"}},
            cannot + "10:",
            "  3 C C_ALI 0 0.0 2.O 0.0 0.0 4 2"},
           // A library that ends inside a block is rejected at its last line, whatever its announced size.
           {{{"  4 D H_ALI 0 0.0 3.0 1.0 0.0 3 0 0 0 5\n  5 Q PSEUD 0 0.0 3.0 1.0 0.5\n", ""}},
            cannot + "10:",
            "  3 C C_ALI 0 0.0 2.0 0.0 0.0 4 2"},
           {{{"TRI 2 5 1 5", "TRI 2 2000000000 1 5"}}, cannot + "12:", "  5 Q PSEUD 0 0.0 3.0 1.0 0.5"},
           {{{"  2 B C_ALI", "  2 B C_AL_LONGER"}}, "Illegal atom type \"C_AL_LONGER\".", ""},
           {{{"0.0 1 2 3 4", "0.0 1 2 3 9"}}, "Atom reference 9 in line 6" + atom_of, "  1 T1 0 0 0.0 1 2 3 9"},
           {{{"0.0 1 2 3 4", "0.0 - 2 3 4"}}, "Atom reference 0 in line 6" + atom_of, "  1 T1 0 0 0.0 - 2 3 4"},
           {{{"2 3 4 5 5", "2 3 4 5 6"}}, "Atom reference 6 in line 7" + atom_of, "  2 T2 0 0 0.0 2 3 4 5 6"},
           {{{"0.0 0.0 0.0 0.0 2", "0.0 0.0 0.0 0.0 123456"}},
            "Atom reference 12345 in line 8" + atom_of,
            "  1 A C_ALI 0 0.0 0.0 0.0 0.0 123456"},
           {{{"TRI 2 5 1 5", "TRI 2 5 0 5"}}, range + "0..5 for its 5 atoms in line 5:", "RESIDUE TRI 2 5 0 5"},
           {{{"TRI 2 5 1 5", "TRI 2 5 4 3"}}, range + "4..3 for its 5 atoms in line 5:", "RESIDUE TRI 2 5 4 3"},
           {{{"TRI 2 5 1 5", "TRI 2 5 1 6"}}, range + "1..6 for its 5 atoms in line 5:", "RESIDUE TRI 2 5 1 6"},
           {{{"3 0 0 0 5", "3 0 0 0 6"}}, wrong, ""},
           {{{"3 0 0 0 5", "3 0 0 0 3"}}, wrong, ""},
           {{{"1.0 0.5\n", "1.0 0.5 - - - - 4\n"}}, wrong, ""},
           {{{"1.0 0.5\n", "1.0 0.5 - - - - 6\n"}}, wrong, ""},
           // Atoms 1, 2, 3 on one line (within 0.001 A) or coincident, or so far apart that the frame overflows.
           {{{"1.0 1.0 0.0 3 1", "1.0 0.0005 0.0 3 1"}}, frame + line, ""},
           {{{"2.0 0.0 0.0 4 2", "0.0 0.0 0.0 4 2"}}, frame + line, ""},
           {{{"0.0 0.0 0.0 0.0 2", "0.0 1e308 0.0 0.0 2"}, {"2.0 0.0 0.0 4", "-1e308 0.0 0.0 4"}},
            frame + "its coordinates are out of range.",
            ""},
           {{{"TRI 2 5 1 5", "TRI 0 2 1 2"},
             {"  1 T1 0 0 0.0 1 2 3 4\n  2 T2 0 0 0.0 2 3 4 5 5\n", ""},
             {"1.0 1.0 0.0 3 1", "1.0 1.0 0.0"}},
            frame + "it has fewer than 3 atoms.",
            ""}}) {
    MoleculeState s;
    const std::string message = first.find("Wrong") == 0 ? first + " in residue \"TRI\"." : first;
    EXPECT_EQ(load(s, with(kMini, edits)), message + (second.empty() ? "" : "\n" + std::string(17, ' ') + second))
        << edits[0].second;
  }
}

TEST(Libchk, ReportsEachFinding) {
  const std::string affects = "Angle \"T2\" in residue \"TRI\" affects preceding angle(s).";
  for (const auto& [text, message] : std::vector<std::pair<std::string, std::string>>{
           {kMini + kMini.substr(kMini.find("RESIDUE")), "Duplicate residue name \"TRI\"."},
           {with(kMini, {{"2 T2", "2 T1"}}), "Duplicate angle name \"T1\" in residue \"TRI\"."},
           {with(kMini, {{"  2 B", "  2 A"}}), "Duplicate atom name \"A\" in residue \"TRI\"."},
           // Angle 2 turns the atoms after its third atom up to its last atom (0: to the end).
           {with(kMini, {{"2 3 4 5 5", "1 2 3 5 5"}}), affects},
           {with(kMini, {{"2 3 4 5 5", "1 2 3 5 4"}}), affects},
           {with(kMini, {{"2 3 4 5 5", "1 2 3 5 0"}}), affects},
           {kMini, ""},
           // Overlap atoms (outside own atoms 2..5) may repeat the names of own atoms.
           {with(kMini, {{"  1 A", "  1 B"}, {"TRI 2 5 1 5", "TRI 2 5 2 5"}}), ""}}) {
    MoleculeState s;
    ASSERT_EQ(load(s, text), "");
    EXPECT_EQ(fatal_of([&] { libchk(s); }), message);
  }
}

// A stream whose text changes when it is rewound; without a second text it cannot seek back.
class Rewound : public std::stringbuf {
 public:
  explicit Rewound(const std::string& first, std::string second) : std::stringbuf(first), second_(std::move(second)) {}

 protected:
  pos_type seekpos(pos_type pos, std::ios_base::openmode which) override {
    if (second_.empty()) return pos_type(off_type(-1));
    str(second_);
    return std::stringbuf::seekpos(pos, which);
  }

 private:
  std::string second_;
};

TEST(Getlib, InputThatCannotBeReadTwiceTheSameIsRejected) {
  const std::string changed = "The residue library input changed while it was being read.";
  for (const auto& [second, message] : std::vector<std::pair<std::string, std::string>>{
           {"", "The residue library input cannot be rewound for its second reading."},
           {with(kMini, {{"TRI 2 5 1 5\n", "TRI 3 5 1 5\n  0 T0 0 0 0.0 1 2 3 4\n"}}), changed}}) {
    MoleculeState s;
    Rewound buffer(kMini, second);
    std::istream in(&buffer);
    EXPECT_EQ(fatal_of([&] { getlib(s, &in); }), message);
  }
}

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

TEST(Build, TwoAlaninesLayoutTreeAndFixedPeptideBond) {
  MoleculeState s, cis;
  make(s, {"ALA", "ALA"});
  make(cis, {"ALA", "ALA"}, 2);
  const VokanData& v = s.vokandata;
  // Worked out from the ALA block. The chain ends: the amide H of residue 1 stands in for the missing carbonyl
  // C, the last atom for the next N.
  EXPECT_EQ(Ints({v.nr, v.na, v.nd, v.ndfree, v.ifira(2), v.iar(12), v.mdihat, v.ida1, v.ida4}),
            Ints({2, 22, 7, 6, 12, 2, 1, 2, 22}));
  // Name, atoms, last atom and residue of each angle in construction order, through idord; the peptide
  // bond is the only fixed angle and goes behind the free ones.
  const std::vector<std::string> names = {"PHI", "CHI1", "PSI", "OMEGA", "PHI", "CHI1", "PSI"};
  const std::vector<Ints> atoms = {{0, 1, 3, 10, 23, 1},    {1, 3, 6, 7, 9, 1},      {1, 3, 10, 12, 23, 1},
                                   {11, 10, 12, 13, 23, 2}, {10, 12, 14, 21, 23, 2}, {12, 14, 17, 18, 20, 2},
                                   {12, 14, 21, 23, 23, 2}};
  for (int k = 1; k <= 7; ++k) {
    const int t = v.idord(k);
    EXPECT_EQ(v.dnam(t), names[std::size_t(k - 1)]);
    EXPECT_EQ(Ints({v.ida(1, t), v.ida(2, t), v.ida(3, t), v.ida(4, t), v.lda(t), v.idr(t)}), atoms[std::size_t(k - 1)])
        << k;
  }
  EXPECT_EQ(v.idord(4), 7);
  // The angles at the chain ends are measured as they were built; the peptide bond is trans unless cis.
  EXPECT_NEAR(calang(v, 1, 0) - v.dval(1) + calang(v, 6, 0) - v.dval(6), 0.0, 1e-7);
  EXPECT_EQ(v.dval(7) + cis.vokandata.dval(7), pi);
  EXPECT_NEAR(std::cos(calang(v, 7, 0)) - std::cos(calang(cis.vokandata, 7, 0)), -2.0, 1e-12);
  const std::vector<Vec3> c = coordinates(v);  // a library bond length survives: N-CA of residue 2
  EXPECT_NEAR(distance(c[12], c[14]), std::hypot(2.0929 - 1.3290, -0.0011, -1.2414), 1e-9);
}

TEST(Build, SingleResiduesLinkersAndRefusals) {
  MoleculeState one, nucleotide, linked;
  make(one, {"ALA"});
  const VokanData& v = one.vokandata;
  EXPECT_EQ(Ints({v.nd, v.ndfree}), Ints({3, 3})) << "PHI, CHI1, PSI: no angle reaches two atoms outside";
  EXPECT_GT(v.ida1 * v.ida4, 0);
  for (int k = 1; k <= v.nd; ++k) EXPECT_NEAR(calang(v, k, 0), v.dval(k), 1e-9) << k;
  make(nucleotide, {"ADE"});  // neither ZETA (second atom before its own) nor EPSI (third atom its last own)
  EXPECT_EQ(nucleotide.vokandata.nd, 9 - 2);
  // ALA -> PL by name (C, O, N); PL -> ALA by the dummy atoms Q1, Q2, Q3 counted from the end.
  make(linked, {"ALA", "PL", "ALA"});
  const VokanData& w = linked.vokandata;
  EXPECT_EQ(linked.printdata.warnings, Strings{"Differently named overlap atoms for residues \"PL\" and \"ALA\"."});
  const int q = w.ifira(2) - w.ifirat(w.irlib(2));
  EXPECT_EQ(Ints({w.na, w.joffst(1, 2), w.joffst(3, 2), w.joffst(1, 3), w.joffst(3, 3), w.ifira(3)}),
            Ints({11 + 3 + 11, 10, 12, 4 + q, 6 + q, 6 + q}));
  // X: four own atoms, the last moved by its only angle; no rule finds a following X's leading atoms.
  // Y: no overlap atoms; only the positional rule places a following Y, out of step with its own atoms.
  const std::string types = "ATOMTYPES 1\n 1 C_ALI 1.6 0 6\n";
  const std::string x =
      "RESIDUE X 1 4 1 4\n 1 T 0 0 0 1 2 3 4 4\n 1 X1 C_ALI 0 0 0 0 0\n"
      " 2 X2 C_ALI 0 0 0 0 -1\n 3 X3 C_ALI 0 0 1 0 0\n 4 X4 C_ALI 0 0 1 1 0\n";
  const std::string y =
      "RESIDUE Y 1 5 1 5\n 1 T 0 0 0 1 2 3 4 0\n 1 A C_ALI 0 0 0 0 0\n 2 B C_ALI 0 0 0 0 -1\n"
      " 3 C C_ALI 0 0 1 0 0\n 4 D C_ALI 0 0 1 1 0\n 5 E C_ALI 0 0 2 1 0\n";
  for (const auto& [library, residues, message] : std::vector<std::tuple<std::string, Strings, std::string>>{
           {x, {"X", "X"}, "Overlap atoms X1, X2, X3 not found for residue \"X\"."},
           {y, {"Y", "Y"}, "Mismatch between residue Y A2 and its predecessor."},
           {x, {"X", "ALA"}, "Illegal residue type \"ALA\"."}}) {
    MoleculeState s;
    ASSERT_EQ(load(s, types + library), "");
    EXPECT_EQ(fatal_of([&] { make(s, residues); }), message);
  }
}

TEST(Chains, LettersDecideOtherwiseNumberGaps) {
  for (const auto& [ids, chains] :
       std::vector<std::pair<Strings, Ints>>{{{"1", "2", "4", "3", "4"}, {1, 1, 2, 3, 3}},
                                             {{"A1", "A5", "B2", "B3", "A4"}, {1, 1, 2, 2, 3}},
                                             {{"A1", "A2", "B5", "B6", "B7"}, {1, 1, 2, 2, 2}}}) {
    VokanData v;
    testing::make_molecule(v, 5, 1, 0);
    for (int i = 1; i <= 5; ++i) v.rnum(i) = ids[std::size_t(i - 1)];
    setcha(v);
    EXPECT_EQ(Ints(v.ichain.begin(), v.ichain.end()), chains) << ids[1];
  }
}

TEST(Tree, GenerationReproducesTheAssemblyAndItsAngles) {
  for (const Strings& chain : {Strings(6, "ALA"), Strings{"ALA", "ALA", "ALA", "PL", "ALA", "ALA"}}) {
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
      for (int k = 1; k <= v.ndfree; ++k) EXPECT_NEAR(std::remainder(calang(v, k, 0) - v.dval(k), 2 * pi), 0.0, 1e-7);
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
  // No coordinates, far out, or on the second atom (no axis): no angle.
  for (const Vec3& bad : std::vector<Vec3>{{unknown_value, 0, 0},
                                           {0, 0, 1.0e8},
                                           {0, -1.0e30, 0},
                                           {0, 0, std::nan("")},
                                           {v.coo(1, a2), v.coo(2, a2), v.coo(3, a2)}}) {
    for (int x = 1; x <= 3; ++x) v.coo(x, a3) = bad[std::size_t(x - 1)];
    EXPECT_EQ(calang(v, 2, 0), unknown_value) << bad[0] << " " << bad[1] << " " << bad[2];
  }
}

TEST(Structures, CopiesGrowTheArraysAndKeepTheirValues) {
  VokanData v;
  testing::make_molecule(v, 2, 2, 1);
  v.nd = 2;
  alostr(v, 1, 0);
  for (int a = 1; a <= v.na; ++a) testing::set_xyz(v, 0, a, a, 10 * a, 100 * a);
  v.dval(2) = -0.5, v.i0styp = 2;
  copstr(v, 0, 2);  // appends a structure with one spare slot
  EXPECT_EQ(Ints({v.structure_capacity(), v.istyp(2), int(v.coo(2, v.col(2, 3))), int(2 * v.dval(v.dix(2, 2)))}),
            Ints({3, 2, 30, -1}));
  v.istyp(3) = 1;
  copstr(v, 3, 0);  // the last structure
  testing::set_xyz(v, 0, 1, 42, 0, 0);
  copstr(v, 7, 0);  // beyond the capacity: nothing happens
  EXPECT_EQ(Ints({v.i0styp, int(v.coo(1, v.col(0, 1)))}), Ints({1, 42}));
  alostr(v, 5, 0);
  EXPECT_EQ(Ints({v.structure_capacity(), int(v.coo(3, v.col(2, 3)))}), Ints({5, 300}));
}

}  // namespace
}  // namespace veldrix

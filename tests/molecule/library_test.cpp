// Residue library reader: text rules, messages, standard frame and checks, on small inline libraries.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>

#include "molecule/library.hpp"
#include "molecule/vokandata.hpp"
#include "input/mini_library.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

using testing::Captured;
using testing::stop_status;

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

// The atom types of the built-in library that the "ALA" block uses.
const std::string kAlaTypes = R"(ATOMTYPES     7      0.10
   1 PSEUD    -10.00    0    0
   2 H_ALI      1.00    0    1
   3 H_AMI      0.95    1    1
   4 C_ALI      1.60    0    6
   5 C_BYL      1.50    0    6
   6 N_AMI      1.45   -1    7
   7 O_BYL      1.30   -1    8
)";

// The built-in "ALA" block as printed in the library layout.
const std::string kAla = testing::ala_block;

// The text with the first occurrence of `from` replaced by `to`.
std::string with(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// Reads a library text on top of the loaded one; the status of the stop, if it stopped.
std::optional<int> load(const std::string& text) {
  std::istringstream in(text);
  return stop_status([&] { getlib(&in); });
}

// Reads a library in place of the loaded one, as the read command does without "append".
std::optional<int> replace(const std::string& text) {
  VokanData& v = vokandata;
  v.nattyp = v.naa = v.maxdih = v.maxat = 0;
  return load(text);
}

// What a fatal message prints: its first line and an optional continuation line.
std::string fatal(const std::string& first, const std::string& second = "") {
  return "*** FATAL ERROR: " + first + "\n" + (second.empty() ? "" : std::string(17, ' ') + second + "\n");
}

// The output of reading a library from a clean state (and of libchk after it), which must stop.
std::string fatal_output(const std::string& text, bool check = false) {
  Captured c;
  if (check) {
    EXPECT_EQ(load(text), std::nullopt) << c.text();
    return stop_status([] { libchk(); }) == 1 ? c.text() : "libchk passed";
  }
  return load(text) == 1 ? c.text() : "read passed";
}

std::array<double, 3> xyz(int atom, int residue) {
  const VokanData& v = vokandata;
  return {v.coord(1, atom, residue), v.coord(2, atom, residue), v.coord(3, atom, residue)};
}

std::array<int, 4> bonds(int atom, int residue) {
  const VokanData& v = vokandata;
  return {v.icon(1, atom, residue), v.icon(2, atom, residue), v.icon(3, atom, residue), v.icon(4, atom, residue)};
}

TEST(Getlib, ReadsTypesAndResidueBlockIntoTheStandardFrame) {
  // "TRI" with its atoms turned (x, y, z) -> (y, z, x) and shifted by (5, -2, 1);
  // the frame undoes both.
  std::string moved = kMini;
  const char* shifts[][2] = {{"0.0 0.0 0.0 0.0 2", "0.0 5 -2 1 2"}, {"1.0 1.0 0.0 3 1", "6 -2 2 3 1"},
                             {"2.0 0.0 0.0 4 2", "5 -2 3 4 2"},     {"3.0 1.0 0.0 3", "6 -2 4 3"},
                             {"3.0 1.0 0.5", "6 -1.5 4"}};
  for (const auto& s : shifts) moved = with(moved, s[0], s[1]);
  Captured c;
  ASSERT_EQ(load(moved), std::nullopt) << c.text();
  EXPECT_EQ(c.text(), "");
  const VokanData& v = vokandata;
  EXPECT_EQ(v.nattyp, 3);
  EXPECT_DOUBLE_EQ(v.corr14, 0.25);
  EXPECT_EQ(v.attyp(2), "C_ALI");
  EXPECT_DOUBLE_EQ(v.atrad(1), -10.0);
  EXPECT_EQ(v.iathb(3), 1);
  EXPECT_EQ(v.iatel(2), 6);
  EXPECT_EQ(v.naa, 1);
  EXPECT_EQ(v.aanam(1), "TRI");
  EXPECT_EQ(v.aatyp(1), "RESID");
  EXPECT_EQ((std::array<int, 4>{v.ndih(1), v.nat(1), v.ifirat(1), v.lasat(1)}), (std::array<int, 4>{2, 5, 1, 5}));
  EXPECT_EQ(v.dihnam(2, 1), "T2");
  EXPECT_EQ(v.dinaml(2, 1), "T2");
  for (int m = 1; m <= 4; ++m) EXPECT_EQ(v.idihat(m, 2, 1), m + 1);
  EXPECT_EQ(v.ldihat(1, 1), 0);  // left out
  EXPECT_EQ(v.ldihat(2, 1), 5);
  EXPECT_EQ(v.atnam(4, 1), "D");
  EXPECT_EQ(v.iattyp(4, 1), 3);
  EXPECT_EQ(bonds(2, 1), (std::array<int, 4>{1, 3, 0, 0}));
  EXPECT_EQ(v.ipatom(4, 1), 5);
  EXPECT_EQ(v.ipatom(5, 1), 0);
  // The arrays end at exactly the final counts.
  EXPECT_EQ((std::array<std::size_t, 4>{v.attyp.extent(), v.aanam.extent(), v.dihnam.extent(0), v.atnam.extent(0)}),
            (std::array<std::size_t, 4>{3, 1, 2, 5}));
  // Worked out by hand from the untouched block: atom 1 at the origin, atom 3 on
  // +x, atom 2 in the x-z plane below it.
  const double expected[5][3] = {{0, 0, 0}, {1, 0, -1}, {2, 0, 0}, {3, 0, -1}, {3, 0.5, -1}};
  for (int j = 1; j <= 5; ++j)
    for (int x = 0; x < 3; ++x) EXPECT_NEAR(xyz(j, 1)[std::size_t(x)], expected[j - 1][x], 1e-12) << j;
}

TEST(Getlib, PrintedAlaBlockIsUnchangedByTheFrameAndPassesTheCheck) {
  Captured c;
  ASSERT_EQ(load(kAlaTypes + "\n" + kAla), std::nullopt) << c.text();
  EXPECT_EQ(stop_status([] { libchk(); }), std::nullopt);
  EXPECT_EQ(c.text(), "");  // the overlap atoms C and O repeat own atom names without complaint
  EXPECT_EQ(vokandata.ldihat(3, 1), 11);
  EXPECT_EQ(vokandata.ipatom(10, 1), 7);
  std::istringstream block(kAla);
  std::string line, skip;
  for (int k = 0; k <= 4; ++k) std::getline(block, line);
  for (int j = 1; j <= 14; ++j) {
    std::getline(block, line);
    std::istringstream fields(line);
    double x, y, z;
    fields >> skip >> skip >> skip >> skip >> skip >> x >> y >> z;
    EXPECT_NEAR(xyz(j, 1)[0], x, 1e-4) << j;
    EXPECT_NEAR(xyz(j, 1)[1], y, 1e-4) << j;
    EXPECT_NEAR(xyz(j, 1)[2], z, 1e-4) << j;
  }
}

TEST(Getlib, TextRules) {
  Captured c;
  const VokanData& v = vokandata;
  EXPECT_EQ(replace("# only comments\n\n      \n   # indented\n#RESIDUE TRI 2 5 1 5\n"), std::nullopt);
  EXPECT_EQ(v.nattyp + v.naa, 0);
  // A header indented by 3 blanks is a header; by 8 it is blank at top level, and
  // its block lines, whose first tokens are numbers, pass by as unknown lines.
  ASSERT_EQ(replace(with(kMini, "RESIDUE", "   RESIDUE")), std::nullopt);
  EXPECT_EQ(v.naa, 1);
  ASSERT_EQ(replace(with(kMini, "RESIDUE", "        RESIDUE")), std::nullopt);
  EXPECT_EQ(v.naa, 0);
  // Blank and comment lines inside a list or block are no records; other
  // sections and lines of control characters pass through.
  std::string text = with(kMini, "  1 PSEUD", "\n  # nothing\n  1 PSEUD");
  text = with(with(text, "  2 T2", "\n\n  2 T2"), "  5 Q", "           \n  5 Q");
  ASSERT_EQ(replace("CSTABLE 2\n   1 ALA  N    21679  123.24\n\t\t\n" + text + "FOO BAR\n"), std::nullopt) << c.text();
  EXPECT_EQ(v.nattyp, 3);
  EXPECT_EQ(v.atnam(5, 1), "Q");
  // Carriage returns before line breaks are not part of a line.
  std::string crlf;
  for (char ch : with(kMini, "  2 T2", "\n  2 T2")) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  ASSERT_EQ(replace(crlf), std::nullopt) << c.text();
  EXPECT_EQ(v.ipatom(4, 1), 5);
  // Column 100 is read (also before a carriage return), what follows it and a comment are not.
  const std::string d = "  4 D H_ALI 0 0.0 3.0 1.0 0.0 3 0 0 0";
  ASSERT_EQ(replace(with(kMini, d + " 5", d + std::string(99 - d.size(), ' ') + "5\r")), std::nullopt) << c.text();
  EXPECT_EQ(v.ipatom(4, 1), 5);
  ASSERT_EQ(replace(with(kMini, d + " 5", d + std::string(100 - d.size(), ' ') + " 5")), std::nullopt);
  EXPECT_EQ(v.ipatom(4, 1), 0);
  ASSERT_EQ(replace(with(kMini, d + " 5", d + " # 5")), std::nullopt);
  EXPECT_EQ(v.ipatom(4, 1), 0);
  // Names keep 5 characters, also when a type is looked up; a token keeps 20,
  // and integers are read from its first 10.
  text = with(with(kMini, "1.6 0 6", "1.6 0 000000000612345"), "  3 C C_ALI", "  3 CARBON C_ALIPHATIC");
  ASSERT_EQ(replace(with(text, "3.0 1.0 0.5", "3.0000000000000000000x99 1.0 0.5")), std::nullopt) << c.text();
  EXPECT_EQ(v.iatel(2), 6);
  EXPECT_EQ(v.atnam(3, 1), "CARBO");
  EXPECT_EQ(v.iattyp(3, 1), 2);
}

TEST(Getlib, AtomTypesKeepTheirFirstDefinition) {
  Captured c;
  const VokanData& v = vokandata;
  // Two announced types, a blank line, then both: the blank line does not count.
  ASSERT_EQ(load("ATOMTYPES 2\n\n  1 C_ALI 1.6 0 6\n  2 H_ALI 1.0 0 1\n"), std::nullopt) << c.text();
  EXPECT_EQ(v.nattyp, 2);
  // A later library adds only new names.
  ASSERT_EQ(load("ATOMTYPES 2\n  1 C_ALI 9.9 1 99\n  2 N_AMI 1.45 -1 7\n"), std::nullopt) << c.text();
  EXPECT_EQ(v.nattyp, 3);
  EXPECT_DOUBLE_EQ(v.atrad(1), 1.6);
  EXPECT_EQ(v.attyp(3), "N_AMI");
  // The same within one list; two lists in one library add up.
  ASSERT_EQ(replace("ATOMTYPES 2\n 1 X 1.0 0 1\n 2 X 2.0 0 2\nATOMTYPES 2\n 1 Y 1.0 0 3\n 2 Z 1.0 0 4\n"), std::nullopt);
  EXPECT_EQ(v.nattyp, 3);
  EXPECT_EQ((std::array<int, 3>{v.iatel(1), v.iatel(2), v.iatel(3)}), (std::array<int, 3>{1, 3, 4}));
}

TEST(Getlib, BondsAreOrderedAndReferencesRead) {
  const std::string ca = "   5 CA   C_ALI    0    0.0000    2.0929   -0.0011   -1.2414    3    6    8   12    0";
  const std::string head = "5 CA C_ALI 0 0 2.0929 -0.0011 -1.2414 ";
  Captured c;
  // Twelve tokens: no pseudo atom; bonds 12 0 3 6 are stored as 3 6 12 0.
  ASSERT_EQ(replace(kAlaTypes + with(kAla, ca, head + "12 0 3 6")), std::nullopt) << c.text();
  EXPECT_EQ(bonds(5, 1), (std::array<int, 4>{3, 6, 12, 0}));
  EXPECT_EQ(vokandata.ipatom(5, 1), 0);
  // "-" is no atom; leading zeros are fine.
  ASSERT_EQ(replace(kAlaTypes + with(kAla, ca, head + "- 00012 3 - -")), std::nullopt) << c.text();
  EXPECT_EQ(bonds(5, 1), (std::array<int, 4>{3, 12, 0, 0}));
  // Letters or a sign make a reference unreadable. The line is numbered from the
  // header at line 10 (8 type lines, an empty line) on: 4 angles, then atom 5.
  for (const std::string bad : {"3 6 x8 12", "3 6 -8 12"})
    EXPECT_EQ(fatal_output(kAlaTypes + "\n" + with(kAla, ca, head + bad)), fatal("Cannot read line 19:", head + bad));
}

TEST(Getlib, NumbersFollowOrdinaryDecimalNotation) {
  // Radius (real) and element (integer) of a type line.
  const std::pair<const char*, double> reals[] = {{"1.5e1", 15}, {"-.5", -0.5}, {"+2.", 2}, {"1E-2", 0.01}, {"7", 7}};
  const std::pair<const char*, int> integers[] = {{"+5", 5}, {"-12", -12}};
  Captured c;
  for (const auto& [token, value] : reals) {
    ASSERT_EQ(replace(std::string("ATOMTYPES 1\n 1 X ") + token + " 0 1\n"), std::nullopt) << token;
    EXPECT_DOUBLE_EQ(vokandata.atrad(1), value) << token;
  }
  for (const auto& [token, value] : integers) {
    ASSERT_EQ(replace(std::string("ATOMTYPES 1\n 1 X 1.0 0 ") + token + "\n"), std::nullopt) << token;
    EXPECT_EQ(vokandata.iatel(1), value) << token;
  }
  for (const std::string bad : {"1,5 0 1", "nan 0 1", "inf 0 1", "1e 0 1", "1e999 0 1", "0x10 0 1", "1.5d0 0 1",
                                ". 0 1", "1.0 0 5.0", "1.0 0 +", "1.0 0 1e3", "1.0 0 9999999999"})
    EXPECT_EQ(fatal_output("ATOMTYPES 1\n 1 X " + bad + "\n"), fatal("Cannot read line 2:", " 1 X " + bad)) << bad;
}

TEST(Getlib, EveryReaderErrorHasItsMessage) {
  struct Case {
    const char* from;
    const char* to;
    std::string first, second;
  };
  const std::string atom_of = " is not an atom of residue \"TRI\" (1..5):";
  const std::string wrong = "Wrong pseudoatom pointer in residue \"TRI\".";
  const std::string frame = "Residue type \"TRI\" has no standard frame: ";
  const Case cases[] = {
      // Too few tokens in a type line, a header (pass 2 and pass 1), an angle and an atom line.
      {"1.6 0 6", "1.6 0", "Cannot read line 3:", "  2 C_ALI 1.6 0"},
      {"TRI 2 5 1 5", "TRI 2 5 1", "Cannot read line 5:", "RESIDUE TRI 2 5 1"},
      {"TRI 2 5 1 5", "TRI 2", "Cannot read line 5:", "RESIDUE TRI 2"},
      {"0.0 1 2 3 4", "0.0 1 2 3", "Cannot read line 6:", "  1 T1 0 0 0.0 1 2 3"},
      {"0.0 0.0 0.0 0.0 2", "0.0 0.0 0.0", "Cannot read line 8:", "  1 A C_ALI 0 0.0 0.0 0.0"},
      {"ATOMTYPES 3 0.25", "ATOMTYPES", "Cannot read line 1:", "ATOMTYPES"},
      {"ATOMTYPES 3 0.25", "ATOMTYPES 3 x", "Cannot read line 1:", "ATOMTYPES 3 x"},
      // In a type list every line counts, empty and comment lines too; inside a
      // block the kept lines are numbered on from the header (atom C is kept
      // line 5 after header line 5).
      {"  1 PSEUD -10.0 0 0\n", "\n\n  1 PSEUD -10.0 0 0\n# note\n", "Cannot read line 7:", "  3 H_ALI 1.0 one 1"},
      {"  1 T1", "\n# note\n  1 T1", "Cannot read line 10:", "  3 C C_ALI 0 0.0 2.O 0.0 0.0 4 2"},
      // Negative counts are unreadable, huge ones run into the end of input.
      {"TRI 2 5 1 5", "TRI 2 -5 1 5", "Cannot read line 5:", "RESIDUE TRI 2 -5 1 5"},
      {"ATOMTYPES 3", "ATOMTYPES -3", "Cannot read line 1:", "ATOMTYPES -3 0.25"},
      {"TRI 2 5 1 5", "TRI 2 2000000000 1 5", "Cannot read line 12:", "  5 Q PSEUD 0 0.0 3.0 1.0 0.5"},
      {"  2 B C_ALI", "  2 B C_XYZ", "Illegal atom type \"C_XYZ\".", ""},
      {"  2 B C_ALI", "  2 B C_AL_LONGER", "Illegal atom type \"C_AL_LONGER\".", ""},
      // Atom references outside the type, also through the first 5 characters.
      {"0.0 1 2 3 4", "0.0 1 2 3 9", "Atom reference 9 in line 6" + atom_of, "  1 T1 0 0 0.0 1 2 3 9"},
      {"0.0 1 2 3 4", "0.0 - 2 3 4", "Atom reference 0 in line 6" + atom_of, "  1 T1 0 0 0.0 - 2 3 4"},
      {"2 3 4 5 5", "2 3 4 5 6", "Atom reference 6 in line 7" + atom_of, "  2 T2 0 0 0.0 2 3 4 5 6"},
      {"0.0 0.0 0.0 0.0 2", "0.0 0.0 0.0 0.0 123456", "Atom reference 12345 in line 8" + atom_of,
       "  1 A C_ALI 0 0.0 0.0 0.0 0.0 123456"},
      {"TRI 2 5 1 5", "TRI 2 5 0 5", "Residue \"TRI\" has an invalid range of own atoms 0..5 for its 5 atoms in line 5:",
       "RESIDUE TRI 2 5 0 5"},
      {"TRI 2 5 1 5", "TRI 2 5 4 3", "Residue \"TRI\" has an invalid range of own atoms 4..3 for its 5 atoms in line 5:",
       "RESIDUE TRI 2 5 4 3"},
      {"TRI 2 5 1 5", "TRI 2 5 1 6", "Residue \"TRI\" has an invalid range of own atoms 1..6 for its 5 atoms in line 5:",
       "RESIDUE TRI 2 5 1 6"},
      // Pseudo pointers beyond the type, to a real atom, through a pseudo atom to a
      // real atom or beyond (atom 4 is checked before atom 5).
      {"3 0 0 0 5", "3 0 0 0 6", wrong, ""},
      {"3 0 0 0 5", "3 0 0 0 3", wrong, ""},
      {"1.0 0.5\n", "1.0 0.5 - - - - 4\n", wrong, ""},
      {"1.0 0.5\n", "1.0 0.5 - - - - 6\n", wrong, ""},
      // With 4 atoms announced, the fifth atom line is an unknown top-level line.
      {"TRI 2 5 1 5\n  1 T1 0 0 0.0 1 2 3 4\n  2 T2 0 0 0.0 2 3 4 5 5", "TRI 2 4 1 4\n  1 T1 0 0 0.0 1 2 3 4\n  2 T2 0 0 0.0 1 2 3 4",
       wrong, ""},
      // Atoms 1, 2, 3 on one line, coincident, or so far apart that the frame overflows.
      {"1.0 1.0 0.0 3 1", "-1.0 0.0 0.0 3 1", frame + "its atoms 1, 2 and 3 lie on one line.", ""},
      {"2.0 0.0 0.0 4 2", "0.0 0.0 0.0 4 2", frame + "its atoms 1, 2 and 3 lie on one line.", ""},
      {"1.0 1.0 0.0 3 1", "0.0 0.0 0.0 3 1", frame + "its atoms 1, 2 and 3 lie on one line.", ""},
      {"0.0 0.0 0.0 0.0 2\n  2 B C_ALI 0 0.0 1.0 1.0 0.0 3 1\n  3 C C_ALI 0 0.0 2.0",
       "0.0 1e308 0.0 0.0 2\n  2 B C_ALI 0 0.0 1.0 1.0 0.0 3 1\n  3 C C_ALI 0 0.0 -1e308", frame + "its coordinates are out of range.", ""},
  };
  for (const Case& k : cases) {
    std::string text = with(kMini, k.from, k.to);
    if (k.second.find("one 1") != std::string::npos) text = with(text, "1.0 1 1", "1.0 one 1");
    if (k.second.find("2.O") != std::string::npos) text = with(text, "2.0 0.0 0.0", "2.O 0.0 0.0");
    EXPECT_EQ(fatal_output(text), fatal(k.first, k.second)) << k.to;
  }
  EXPECT_EQ(fatal_output("ATOMTYPES 1\n 1 C 1.0 0 6\nRESIDUE DUO 0 2 1 2\n 1 A C 0 0 0 0 0\n 2 B C 0 0 1 0 0\n"),
            fatal("Residue type \"DUO\" has no standard frame: it has fewer than 3 atoms."));
}

TEST(Getlib, EndOfInputInsideABlockIsRejectedAtTheLastLine) {
  const std::string cut = kMini.substr(0, kMini.find("  4 D"));
  EXPECT_EQ(fatal_output(cut), fatal("Cannot read line 10:", "  3 C C_ALI 0 0.0 2.0 0.0 0.0 4 2"));
  EXPECT_EQ(fatal_output(cut + "\n# comment\n"), fatal("Cannot read line 12:") + " \n");  // shown as read
  EXPECT_EQ(fatal_output("RESIDUE TRI 2 5 1 5"), fatal("Cannot read line 1:", "RESIDUE TRI 2 5 1 5"));
}

TEST(Getlib, AnnouncedCountsNeverSizeMemoryByThemselves) {
  Captured c;
  const VokanData& v = vokandata;
  EXPECT_EQ(load(with(kMini, "TRI 2 5 1 5", "TRI 2147483647 2147483647 1 5")), 1);
  EXPECT_EQ(v.maxdih + v.maxat, 0);
  EXPECT_EQ(v.atnam.size() + v.dihnam.size(), 0u);
  // A huge type count reads the types up to the end of input.
  ASSERT_EQ(replace("ATOMTYPES 2000000000\n 1 C_ALI 1.6 0 6\n"), std::nullopt) << c.text();
  EXPECT_EQ(v.nattyp, 1);
  EXPECT_EQ(v.attyp.extent(), 1u);
}

TEST(Libchk, ReportsEachFindingWithItsText) {
  const std::string affects = fatal("Angle \"T2\" in residue \"TRI\" affects preceding angle(s).");
  EXPECT_EQ(fatal_output(kMini + kMini.substr(kMini.find("RESIDUE")), true), fatal("Duplicate residue name \"TRI\"."));
  EXPECT_EQ(fatal_output(with(kMini, "2 T2", "2 T1"), true), fatal("Duplicate angle name \"T1\" in residue \"TRI\"."));
  EXPECT_EQ(fatal_output(with(kMini, "  2 B", "  2 A"), true), fatal("Duplicate atom name \"A\" in residue \"TRI\"."));
  // Angle 2 turns the atoms after its third atom up to its last atom, or to the end.
  EXPECT_EQ(fatal_output(with(kMini, "2 3 4 5 5", "1 2 3 5 5"), true), affects);
  EXPECT_EQ(fatal_output(with(kMini, "2 3 4 5 5", "1 2 3 5 4"), true), affects);
  EXPECT_EQ(fatal_output(with(kMini, "2 3 4 5 5", "1 2 3 5 0"), true), affects);
  // Its third atom does not move (the unchanged library), and overlap atoms may
  // repeat names of own atoms (own atoms 2..5).
  EXPECT_EQ(fatal_output(kMini, true), "libchk passed");
  EXPECT_EQ(fatal_output(with(with(kMini, "  1 A", "  1 B"), "TRI 2 5 1 5", "TRI 2 5 2 5"), true), "libchk passed");
}

TEST(Getlib, ReadsAgainWithAndWithoutAppending) {
  // A second library redefines H_ALI and TRI and brings N_AMI and a new type QUA.
  const std::string second = R"(ATOMTYPES 2
 1 H_ALI 9.0 0 1
 2 N_AMI 1.45 -1 7
RESIDUE TRI 0 3 1 3
 1 X N_AMI 0 0 0.0 0.0 0.0
 2 Y N_AMI 0 0 0.0 0.0 -1.0
 3 Z N_AMI 0 0 1.0 0.0 0.0
RESIDUE QUA 1 4 2 3
 1 W 0 0 0 1 2 3 4
 1 N N_AMI 0 0 0.0 0.0 0.0
 2 H H_ALI 0 0 0.0 0.0 -1.0
 3 X N_AMI 0 0 1.0 0.0 0.0
 4 Y H_ALI 0 0 2.0 1.0 0.0
)";
  Captured c;
  const VokanData& v = vokandata;
  // Appending: earlier definitions win, new names follow the old ones.
  ASSERT_EQ(load(kMini), std::nullopt);
  ASSERT_EQ(load(second), std::nullopt) << c.text();
  EXPECT_EQ(v.nattyp, 4);
  EXPECT_DOUBLE_EQ(v.atrad(3), 1.0);
  EXPECT_EQ(v.naa, 2);
  EXPECT_EQ(v.nat(1), 5);
  EXPECT_EQ(v.aanam(2), "QUA");
  EXPECT_EQ((std::array<int, 2>{v.iattyp(1, 2), v.iattyp(2, 2)}), (std::array<int, 2>{4, 3}));
  EXPECT_EQ(v.maxat, 5);
  EXPECT_EQ(v.dinaml(1, 2), "W");
  EXPECT_EQ(v.ipatom(4, 1), 5);  // the earlier type survives the resize
  EXPECT_NEAR(xyz(5, 1)[1], 0.5, 1e-12);
  // Replacing: the second library fills from slot 1.
  ASSERT_EQ(replace(second), std::nullopt) << c.text();
  EXPECT_EQ(v.nattyp, 2);
  EXPECT_DOUBLE_EQ(v.atrad(1), 9.0);
  EXPECT_EQ(v.naa, 2);
  EXPECT_EQ(v.atnam(1, 1), "X");
  EXPECT_EQ(v.iattyp(1, 2), 2);
  EXPECT_EQ(v.maxat, 4);
  EXPECT_EQ(v.atnam.extent(0), 4u);
  // A dropped type is not parsed: its unreadable line goes unnoticed.
  ASSERT_EQ(load(with(second, "0.0 0.0 -1.0", "0.0 zero -1.0")), std::nullopt) << c.text();
  EXPECT_EQ(v.naa, 2);
}

// A stream that cannot seek back.
class ForwardOnly : public std::stringbuf {
 public:
  using std::stringbuf::stringbuf;

 protected:
  pos_type seekpos(pos_type, std::ios_base::openmode) override { return pos_type(off_type(-1)); }
};

// A stream whose text changes when it is rewound.
class Changing : public std::stringbuf {
 public:
  Changing(const std::string& first, std::string second) : std::stringbuf(first), second_(std::move(second)) {}

 protected:
  pos_type seekpos(pos_type pos, std::ios_base::openmode which) override {
    str(second_);
    return std::stringbuf::seekpos(pos, which);
  }

 private:
  std::string second_;
};

TEST(Getlib, InputThatCannotBeReadTwiceTheSameIsRejected) {
  auto run = [](std::streambuf& buf) {
    Captured c;
    std::istream in(&buf);
    EXPECT_EQ(stop_status([&] { getlib(&in); }), 1);
    return c.text();
  };
  ForwardOnly forward(kMini);
  EXPECT_EQ(run(forward), fatal("The residue library input cannot be rewound for its second reading."));
  const std::string changed = fatal("The residue library input changed while it was being read.");
  Changing more_types(kMini, with(kMini, "ATOMTYPES 3 0.25", "ATOMTYPES 4\n 0 X 1.0 0 1"));
  EXPECT_EQ(run(more_types), changed);
  Changing more_residues(kMini, kMini + with(kMini.substr(kMini.find("RESIDUE")), "TRI", "TWO"));
  EXPECT_EQ(run(more_residues), changed);
  Changing more_angles(kMini, with(kMini, "TRI 2 5 1 5\n", "TRI 3 5 1 5\n  0 T0 0 0 0.0 1 2 3 4\n"));
  EXPECT_EQ(run(more_angles), changed);
}

TEST(Crossp, IsTheRightHandedCrossProduct) {
  EXPECT_EQ(crossp({1, 0, 0}, {0, 1, 0}), (std::array<double, 3>{0, 0, 1}));
  EXPECT_EQ(crossp({2, 3, 4}, {5, 6, 7}), (std::array<double, 3>{-3, 6, -3}));
}

}  // namespace
}  // namespace veldrix

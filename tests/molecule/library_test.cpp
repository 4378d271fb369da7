// The residue library reader: text rules, the standard frame, the check, and every damaged library's message.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "molecule/library.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

using testing::fatal_of;
using Ints = std::vector<int>;

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

// The text with the first occurrence of `from` replaced by `to`.
std::string with(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// Reads a library on top of the loaded one; the fatal message, empty when it was read.
std::string load(MoleculeState& s, const std::string& text) {
  std::istringstream in(text);
  return fatal_of([&] { getlib(s, &in); });
}

// Reads a library in place of the loaded one, as the read command does without "append".
std::string replace(MoleculeState& s, const std::string& text) {
  s.vokandata.nattyp = s.vokandata.naa = s.vokandata.maxdih = s.vokandata.maxat = 0;
  return load(s, text);
}

std::string fatal(const std::string& first, const std::string& second = "") {
  return second.empty() ? first : first + "\n" + std::string(17, ' ') + second;
}

TEST(Getlib, ReadsTypesAndBlocksIntoTheStandardFrame) {
  // TRI with its atoms turned (x, y, z) -> (y, z, x) and shifted by (5, -2, 1); the frame undoes both.
  std::string moved = kMini;
  for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
           {"0.0 0.0 0.0 0.0 2", "0.0 5 -2 1 2"}, {"1.0 1.0 0.0 3 1", "6 -2 2 3 1"}, {"2.0 0.0 0.0 4 2", "5 -2 3 4 2"},
           {"3.0 1.0 0.0 3", "6 -2 4 3"}, {"3.0 1.0 0.5", "6 -1.5 4"}})
    moved = with(moved, from, to);
  MoleculeState s;
  ASSERT_EQ(load(s, moved), "");
  const VokanData& v = s.vokandata;
  EXPECT_EQ(v.nattyp, 3);
  EXPECT_EQ(v.attyp(2) + v.aanam(1) + v.aatyp(1) + v.dihnam(2, 1) + v.atnam(4, 1), "C_ALITRIRESIDT2D");
  EXPECT_EQ(Ints({v.iatel(2), v.naa, v.ndih(1), v.nat(1), v.ifirat(1), v.lasat(1), v.iattyp(4, 1)}),
            Ints({6, 1, 2, 5, 1, 5, 3}));
  EXPECT_EQ(Ints({v.idihat(1, 2, 1), v.idihat(4, 2, 1), v.ldihat(1, 1), v.ldihat(2, 1), v.ipatom(4, 1),
                              v.ipatom(5, 1)}),
            Ints({2, 5, 0, 5, 5, 0}));
  EXPECT_EQ(std::vector<std::size_t>({v.attyp.extent(), v.aanam.extent(), v.dihnam.extent(0), v.atnam.extent(0)}),
            std::vector<std::size_t>({3, 1, 2, 5})) << "the arrays end at the final counts";
  // By hand from the untouched block: atom 1 at the origin, atom 3 on +x, atom 2 in the x-z plane below.
  const double expected[5][3] = {{0, 0, 0}, {1, 0, -1}, {2, 0, 0}, {3, 0, -1}, {3, 0.5, -1}};
  for (int j = 1; j <= 5; ++j)
    for (int x = 1; x <= 3; ++x) EXPECT_NEAR(v.coord(x, j, 1), expected[j - 1][x - 1], 1e-12) << j;
}

TEST(Getlib, TextRules) {
  MoleculeState s;
  const VokanData& v = s.vokandata;
  EXPECT_EQ(replace(s, "# only comments\n\n      \n   # indented\n#RESIDUE TRI 2 5 1 5\n"), "");
  EXPECT_EQ(v.nattyp + v.naa, 0);
  // A header indented by 3 blanks is a header; by 8 it is blank, and its block lines pass as unknown lines.
  ASSERT_EQ(replace(s, with(kMini, "RESIDUE", "   RESIDUE")), "");
  EXPECT_EQ(v.naa, 1);
  ASSERT_EQ(replace(s, with(kMini, "RESIDUE", "        RESIDUE")), "");
  EXPECT_EQ(v.naa, 0);
  // Blank and comment lines inside lists and blocks are no records; other sections pass; CR LF line ends.
  std::string text = with(with(kMini, "  1 PSEUD", "\n  # nothing\n  1 PSEUD"), "  2 T2", "\n\n  2 T2");
  text = "CSTABLE 2\n   1 ALA  N    21679  123.24\n\t\t\n" + with(text, "  5 Q", "           \n  5 Q") + "FOO BAR\n";
  std::string crlf;
  for (char ch : text) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  ASSERT_EQ(replace(s, crlf), "");
  EXPECT_EQ(v.atnam(5, 1) + v.atnam(4, 1), "QD");
  EXPECT_EQ(v.ipatom(4, 1), 5);
  // Column 100 is read (also before a carriage return); what follows it and a comment are not.
  const std::string d = "  4 D H_ALI 0 0.0 3.0 1.0 0.0 3 0 0 0";
  for (const auto& [tail, pointer] : std::vector<std::pair<std::string, int>>{
           {std::string(99 - d.size(), ' ') + "5\r", 5}, {std::string(100 - d.size(), ' ') + " 5", 0}, {" # 5", 0}}) {
    ASSERT_EQ(replace(s, with(kMini, d + " 5", d + tail)), "");
    EXPECT_EQ(v.ipatom(4, 1), pointer) << tail.size();
  }
  // Names keep 5 characters, also when a type is looked up; integers are read from a token's first 10.
  text = with(with(kMini, "1.6 0 6", "1.6 0 000000000612345"), "  3 C C_ALI", "  3 CARBON C_ALIPHATIC");
  ASSERT_EQ(replace(s, with(text, "3.0 1.0 0.5", "3.0000000000000000000x99 1.0 0.5")), "");
  EXPECT_EQ(v.iatel(2), 6);
  EXPECT_EQ(v.atnam(3, 1), "CARBO");
  EXPECT_EQ(v.iattyp(3, 1), 2);
}

TEST(Getlib, ReplacingStartsAfreshTheFirstTypeDefinitionWinsAndCountsNeverSizeMemory) {
  MoleculeState s;
  const VokanData& v = s.vokandata;
  ASSERT_EQ(load(s, kMini), "");
  ASSERT_EQ(replace(s, "ATOMTYPES 2\n 1 X 1.0 0 1\n 2 X 2.0 0 2\nATOMTYPES 2\n 1 Y 1.0 0 3\n 2 Z 1.0 0 4\n"), "");
  EXPECT_EQ(Ints({v.nattyp, v.naa, v.iatel(1), v.iatel(2), v.iatel(3)}), Ints({3, 0, 1, 3, 4}));
  ASSERT_EQ(replace(s, "ATOMTYPES 2000000000\n 1 C_ALI 1.6 0 6\n"), "") << "a huge count reads to the end";
  EXPECT_EQ(v.attyp.extent(), 1u);
  EXPECT_NE(replace(s, with(kMini, "TRI 2 5 1 5", "TRI 2147483647 2147483647 1 5")), "");
  EXPECT_EQ(v.atnam.size() + v.dihnam.size(), 0u);
}

TEST(Getlib, EveryDamagedLibraryHasItsMessage) {
  const std::string atom_of = " is not an atom of residue \"TRI\" (1..5):";
  const std::string wrong = "Wrong pseudoatom pointer in residue \"TRI\".";
  const std::string frame = "Residue type \"TRI\" has no standard frame: ";
  const std::string line = "its atoms 1, 2 and 3 lie on one line.";
  const std::string range = "Residue \"TRI\" has an invalid range of own atoms ";
  struct Case {
    std::vector<std::pair<std::string, std::string>> edits;
    std::string first, second;
  };
  const std::vector<Case> cases{
      // Too few tokens in a type line, a header (pass 2 and pass 1), an angle and an atom line.
      {{{"1.6 0 6", "1.6 0"}}, "Cannot read line 3:", "  2 C_ALI 1.6 0"},
      {{{"TRI 2 5 1 5", "TRI 2 5 1"}}, "Cannot read line 5:", "RESIDUE TRI 2 5 1"},
      {{{"TRI 2 5 1 5", "TRI 2"}}, "Cannot read line 5:", "RESIDUE TRI 2"},
      {{{"0.0 1 2 3 4", "0.0 1 2 3"}}, "Cannot read line 6:", "  1 T1 0 0 0.0 1 2 3"},
      {{{"0.0 0.0 0.0 0.0 2", "0.0 0.0 0.0"}}, "Cannot read line 8:", "  1 A C_ALI 0 0.0 0.0 0.0"},
      {{{"ATOMTYPES 3 0.25", "ATOMTYPES 3 x"}}, "Cannot read line 1:", "ATOMTYPES 3 x"},
      {{{"ATOMTYPES 3", "ATOMTYPES -3"}}, "Cannot read line 1:", "ATOMTYPES -3 0.25"},
      {{{"TRI 2 5 1 5", "TRI 2 -5 1 5"}}, "Cannot read line 5:", "RESIDUE TRI 2 -5 1 5"},
      {{{"TRI 2 5 1 5", "TRI 2 2000000000 1 5"}}, "Cannot read line 12:", "  5 Q PSEUD 0 0.0 3.0 1.0 0.5"},
      // Numbers: ordinary decimal notation only.
      {{{"1.0 1 1", "1,0 1 1"}}, "Cannot read line 4:", "  3 H_ALI 1,0 1 1"},
      {{{"1.0 1 1", "1.5d0 1 1"}}, "Cannot read line 4:", "  3 H_ALI 1.5d0 1 1"},
      {{{"1.0 1 1", "1e999 1 1"}}, "Cannot read line 4:", "  3 H_ALI 1e999 1 1"},
      {{{"1.0 1 1", "1.0 1 1e3"}}, "Cannot read line 4:", "  3 H_ALI 1.0 1 1e3"},
      {{{"1.0 1 1", "1.0 1 9999999999"}}, "Cannot read line 4:", "  3 H_ALI 1.0 1 9999999999"},
      {{{"4 2\n", "x4 2\n"}}, "Cannot read line 10:", "  3 C C_ALI 0 0.0 2.0 0.0 0.0 x4 2"},
      {{{"4 2\n", "-4 2\n"}}, "Cannot read line 10:", "  3 C C_ALI 0 0.0 2.0 0.0 0.0 -4 2"},
      // Empty and comment lines count in a type list; in a block the kept lines are numbered from the header.
      {{{"  1 PSEUD -10.0 0 0\n", "\n\n  1 PSEUD -10.0 0 0\n# note\n"}, {"1.0 1 1", "1.0 one 1"}},
       "Cannot read line 7:", "  3 H_ALI 1.0 one 1"},
      {{{"  1 T1", "\n# note\n  1 T1"}, {"2.0 0.0 0.0", "2.O 0.0 0.0"}},
       "Cannot read line 10:", "  3 C C_ALI 0 0.0 2.O 0.0 0.0 4 2"},
      // A library that ends inside a block is rejected at its last line.
      {{{"  4 D H_ALI 0 0.0 3.0 1.0 0.0 3 0 0 0 5\n  5 Q PSEUD 0 0.0 3.0 1.0 0.5\n", ""}},
       "Cannot read line 10:", "  3 C C_ALI 0 0.0 2.0 0.0 0.0 4 2"},
      {{{"  2 B C_ALI", "  2 B C_XYZ"}}, "Illegal atom type \"C_XYZ\".", ""},
      {{{"  2 B C_ALI", "  2 B C_AL_LONGER"}}, "Illegal atom type \"C_AL_LONGER\".", ""},
      {{{"0.0 1 2 3 4", "0.0 1 2 3 9"}}, "Atom reference 9 in line 6" + atom_of, "  1 T1 0 0 0.0 1 2 3 9"},
      {{{"0.0 1 2 3 4", "0.0 - 2 3 4"}}, "Atom reference 0 in line 6" + atom_of, "  1 T1 0 0 0.0 - 2 3 4"},
      {{{"2 3 4 5 5", "2 3 4 5 6"}}, "Atom reference 6 in line 7" + atom_of, "  2 T2 0 0 0.0 2 3 4 5 6"},
      {{{"0.0 0.0 0.0 0.0 2", "0.0 0.0 0.0 0.0 123456"}}, "Atom reference 12345 in line 8" + atom_of,
       "  1 A C_ALI 0 0.0 0.0 0.0 0.0 123456"},
      {{{"TRI 2 5 1 5", "TRI 2 5 0 5"}}, range + "0..5 for its 5 atoms in line 5:", "RESIDUE TRI 2 5 0 5"},
      {{{"TRI 2 5 1 5", "TRI 2 5 4 3"}}, range + "4..3 for its 5 atoms in line 5:", "RESIDUE TRI 2 5 4 3"},
      {{{"TRI 2 5 1 5", "TRI 2 5 1 6"}}, range + "1..6 for its 5 atoms in line 5:", "RESIDUE TRI 2 5 1 6"},
      // Pseudo pointers beyond the type, to a real atom, through a pseudo atom to a real atom or beyond.
      {{{"3 0 0 0 5", "3 0 0 0 6"}}, wrong, ""}, {{{"3 0 0 0 5", "3 0 0 0 3"}}, wrong, ""},
      {{{"1.0 0.5\n", "1.0 0.5 - - - - 4\n"}}, wrong, ""}, {{{"1.0 0.5\n", "1.0 0.5 - - - - 6\n"}}, wrong, ""},
      // Atoms 1, 2, 3 on one line (within 0.001 A) or coincident, or so far apart that the frame overflows.
      {{{"1.0 1.0 0.0 3 1", "1.0 0.0005 0.0 3 1"}}, frame + line, ""},
      {{{"2.0 0.0 0.0 4 2", "0.0 0.0 0.0 4 2"}}, frame + line, ""},
      {{{"1.0 1.0 0.0 3 1", "0.0 0.0 0.0 3 1"}}, frame + line, ""},
      {{{"0.0 0.0 0.0 0.0 2", "0.0 1e308 0.0 0.0 2"}, {"2.0 0.0 0.0 4", "-1e308 0.0 0.0 4"}},
       frame + "its coordinates are out of range.", ""},
  };
  for (const Case& c : cases) {
    std::string text = kMini;
    for (const auto& [from, to] : c.edits) text = with(text, from, to);
    MoleculeState s;
    EXPECT_EQ(load(s, text), fatal(c.first, c.second)) << c.edits[0].second;
  }
  MoleculeState s;
  EXPECT_EQ(load(s, "ATOMTYPES 1\n 1 C 1.0 0 6\nRESIDUE DUO 0 2 1 2\n 1 A C 0 0 0 0 0\n 2 B C 0 0 1 0 0\n"),
            "Residue type \"DUO\" has no standard frame: it has fewer than 3 atoms.");
  EXPECT_EQ(load(s, "RESIDUE TRI 2 5 1 5"), fatal("Cannot read line 1:", "RESIDUE TRI 2 5 1 5"));
  EXPECT_EQ(load(s, kMini.substr(0, kMini.find("  4 D")) + "\n# comment\n"), "Cannot read line 12:\n ");
}

TEST(Libchk, ReportsEachFinding) {
  const std::string affects = "Angle \"T2\" in residue \"TRI\" affects preceding angle(s).";
  for (const auto& [text, message] : std::vector<std::pair<std::string, std::string>>{
           {kMini + kMini.substr(kMini.find("RESIDUE")), "Duplicate residue name \"TRI\"."},
           {with(kMini, "2 T2", "2 T1"), "Duplicate angle name \"T1\" in residue \"TRI\"."},
           {with(kMini, "  2 B", "  2 A"), "Duplicate atom name \"A\" in residue \"TRI\"."},
           // Angle 2 turns the atoms after its third atom up to its last atom (0: to the end).
           {with(kMini, "2 3 4 5 5", "1 2 3 5 5"), affects}, {with(kMini, "2 3 4 5 5", "1 2 3 5 4"), affects},
           {with(kMini, "2 3 4 5 5", "1 2 3 5 0"), affects}, {kMini, ""},
           // Overlap atoms (outside own atoms 2..5) may repeat the names of own atoms.
           {with(with(kMini, "  1 A", "  1 B"), "TRI 2 5 1 5", "TRI 2 5 2 5"), ""}}) {
    MoleculeState s;
    ASSERT_EQ(load(s, text), "");
    EXPECT_EQ(fatal_of([&] { libchk(s); }), message);
  }
}

// A stream whose text changes when it is rewound; without a second text it cannot seek back.
class Rewound : public std::stringbuf {
 public:
  explicit Rewound(const std::string& first, std::string second = "")
      : std::stringbuf(first), second_(std::move(second)) {}

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
  const auto run = [](std::streambuf& buf) {
    MoleculeState s;
    std::istream in(&buf);
    return fatal_of([&] { getlib(s, &in); });
  };
  const std::string changed = "The residue library input changed while it was being read.";
  for (const auto& [second, message] : std::vector<std::pair<std::string, std::string>>{
           {"", "The residue library input cannot be rewound for its second reading."},
           {with(kMini, "ATOMTYPES 3 0.25", "ATOMTYPES 4\n 0 X 1.0 0 1"), changed},
           {kMini + with(kMini.substr(kMini.find("RESIDUE")), "TRI", "TWO"), changed},
           {with(kMini, "TRI 2 5 1 5\n", "TRI 3 5 1 5\n  0 T0 0 0 0.0 1 2 3 4\n"), changed}}) {
    Rewound buffer(kMini, second);
    EXPECT_EQ(run(buffer), message);
  }
  // A read error is fatal with its line number, not an early end (the two lines alone would be a library).
  for (const std::string text : {"# a comment\nATOMTYPES 0\n", "# one\n# two\n# thr"}) {
    testing::FailingBuffer failing(text);
    EXPECT_EQ(run(failing), "Cannot read line 3:\n ") << text;
  }
}

}  // namespace
}  // namespace veldrix

// Structure input: PDB lines and records, residue and atom look-up, model ends, the read command.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <sstream>

#include "input/extseq.hpp"
#include "input/getcor.hpp"
#include "input/pdbfields.hpp"
#include "molecule/sequence.hpp"
#include "molecule/tree.hpp"
#include "test_support.hpp"
#include "util/text.hpp"

namespace veldrix::testing {
namespace {

// One ATOM record in the PDB column layout, the name as given in columns 13-16.
std::string pdb_record(int serial, const std::string& name, char chain, int number, double x, double y = 0,
                       double z = 0, char altloc = ' ', const char* tail = "  1.00  0.00") {
  char buf[160];
  std::snprintf(buf, sizeof buf, "ATOM  %5d %-4s%cALA %c%4d    %8.3f%8.3f%8.3f%s\n", serial, name.c_str(), altloc,
                chain, number, x, y, z, tail);
  return buf;
}

// A sequence-only file: one ATOM record (atom N) of each alanine, chains and numbers as given.
std::string sequence_text(const std::vector<std::pair<char, int>>& seq) {
  std::string s;
  int serial = 0;
  for (const auto& [chain, number] : seq) s += pdb_record(++serial, "N", chain, number, 0);
  return s;
}

void build_sequence(Session& s, const std::string& text, const std::string& chains = "*") {
  load_library(s);
  PdbText in(text);
  extseq(s, in, 3, chains, 2);
  iniseq(s);
}

// Conformers of an alanine chain generated from random torsion angles: the text, the angles, each model's records.
struct Ensemble {
  std::string text;
  std::vector<std::vector<double>> angles;
  std::vector<std::vector<std::string>> models;
};

Ensemble make_ensemble(int nres, int models, bool with_model_records, unsigned seed = 5, char chain = 'A') {
  Session s;
  std::vector<std::pair<char, int>> seq;
  for (int i = 1; i <= nres; ++i) seq.emplace_back(chain, i);
  build_sequence(s, sequence_text(seq));
  VokanData& v = s.vokandata;
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> angle(-3.0, 3.0);
  Ensemble e;
  for (int m = 1; m <= models; ++m) {
    e.angles.emplace_back();
    for (int k = 1; k <= v.ndfree; ++k) e.angles.back().push_back(v.dval(k) = angle(rng));
    gener(v);
    e.models.emplace_back();
    for (int a = 1; a <= v.na; ++a)
      if (v.iael(a) != 0)
        e.models.back().push_back(pdb_record(a, v.anam(a), chain, v.iar(a), v.coo(1, v.col(0, a)),
                                             v.coo(2, v.col(0, a)), v.coo(3, v.col(0, a))));
    if (with_model_records) e.text += "MODEL     " + std::to_string(m) + "\n";
    for (const std::string& l : e.models.back()) e.text += l;
    if (with_model_records) e.text += "ENDMDL\n";
  }
  e.text += "END\n";
  return e;
}

// The reader's lines of the text in memory are those of the stream reader, a read error where the text
// ends included; its fields are those of the general number readers on the columns.
TEST(PdbLines, TextLinesAndFieldsAsTheStreamReadersGiveThem) {
  const std::string long_cr = std::string(199, 'y') + "\r";
  for (const std::string& text :
       {"ab\r\n" + std::string(250, 'x') + "\r\n\nlast", std::string(), std::string("\n"), std::string("one\ntwo\n"),
        std::string("\r"), long_cr + "\n" + long_cr + "z\n" + long_cr})
    for (const bool fails : {false, true}) {
      std::istringstream plain(text);
      FailingBuffer failing(text);
      std::istream stream_fails(&failing);
      std::istream& stream = fails ? stream_fails : plain;
      PdbText in(text, fails);
      std::vector<std::string> expected, got;
      for (std::string line; read_pdb_line(stream, line);) expected.push_back(line);
      for (std::string_view line; in.next(line);) got.emplace_back(line);
      EXPECT_EQ(std::pair(got, in.bad()), std::pair(expected, stream.bad())) << text << fails;
    }
  for (const std::string_view field : {"   12345",
                                       "  -1.234",
                                       "+0.5",
                                       "-.5",
                                       "5.",
                                       ".",
                                       "-",
                                       "+",
                                       "",
                                       "    ",
                                       " 1 2. 3 ",
                                       "1.2.3",
                                       "1-2",
                                       "--1",
                                       "1e3",
                                       "1D-2",
                                       "x.000",
                                       "-0.000",
                                       "123456789012345678",
                                       "1234567890123456",
                                       "0.0000000000000000000000001",
                                       "2147483647",
                                       "2147483648",
                                       "-2147483648",
                                       "9999999999",
                                       "12345678",
                                       "1.0E8",
                                       "+-1",
                                       " 0012",
                                       "12\t3",
                                       "   -.123",
                                       "-123.456",
                                       "1234.567",
                                       " 12 .345",
                                       "  +1.500",
                                       "    .250"}) {
    for (const std::size_t pad : {std::size_t(0), std::size_t(5)}) {
      const std::string line = std::string(pad, ' ').append(field);
      const std::size_t b = pad + std::max<std::size_t>(field.size(), 1);
      EXPECT_EQ(real_columns(line, pad + 1, b), real_field(columns(line, pad + 1, b))) << field;
      EXPECT_EQ(real_columns(line, pad + 1, b, 0), real_field(columns(line, pad + 1, b), 0)) << field;
      EXPECT_EQ(int_columns(line, pad + 1, b), int_field(columns(line, pad + 1, b))) << field;
      EXPECT_EQ(real_columns(line, pad + 1, b + 8), real_field(columns(line, pad + 1, b + 8))) << field;
    }
  }
}

TEST(Extseq, SequenceOfTheFirstModel) {
  const std::string two = sequence_text({{'A', 1}, {'A', 2}});
  std::string xyz = sequence_text({{'A', 1}, {'A', 2}, {'A', 3}});
  xyz.replace(xyz.find("ALA A   2"), 3, "XYZ");
  const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {"MODEL 1\n" + two + "ENDMDL\nMODEL 2\n" + sequence_text({{'A', 3}}) + "ENDMDL\n", "*", "A1 A2"},
      {two + sequence_text({{'A', 1}, {'A', 7}}), "*", "A1 A2"},  // a repeated residue begins the next model
      {"HETATM    1  N   ALA A   5       0.000   0.000   0.000\n" + two, "*", "A1 A2"},
      {sequence_text({{' ', 1}, {' ', 2}}), "*", "A1 A2"},  // a blank chain counts as A
      {xyz, "*", "A1 A3"},                                  // a residue the library does not know is skipped
      {"ATOM      1  N   ALA A   1 # a comment\n" + two, "*", "A1 A2"},
  };
  for (const auto& [text, chains, ids] : cases) {
    Session s;
    build_sequence(s, text, chains);
    std::string got;
    for (int r = 1; r <= s.vokandata.nr; ++r) got += (r > 1 ? " " : "") + s.vokandata.rnum(r);
    EXPECT_EQ(got, ids) << text;
  }
}

// Two alanines A1, A2; the reader keeps coordinates as read (rigid).
struct Reader : ::testing::Test {
  Session s;
  VokanData& v = s.vokandata;
  std::string two = sequence_text({{'A', 1}, {'A', 2}});

  void SetUp() override { build_sequence(s, two); }
  int read_model(const std::string& text, int mode = 3, int kind = 2) {
    PdbText in(text);
    state = 0;
    v.i0styp = kind;
    getcor(s, in, mode, "*", state, 2);
    return mode;
  }
  double x_of(int residue, const std::string& name) const { return v.coo(1, v.col(0, atom(residue, name))); }
  int atom(int residue, const std::string& name) const {
    for (int a = v.ifira(residue); a < v.ifira(residue + 1); ++a)
      if (v.anam(a) == name) return a;
    return 0;
  }
  int state = 0;
};

TEST_F(Reader, AtomNamesAndResidueIdentifiers) {
  read_model(pdb_record(1, "1HB", 'A', 1, 1.0) + "ATOM      2  2HB ALA A   1       2.000   0.000   0.000\n" +
             pdb_record(3, "QB", 'A', 2, 3.0));
  EXPECT_EQ(std::vector<double>({x_of(1, "HB1"), x_of(1, "HB2")}), std::vector<double>({1.0, 2.0}));  // 1HB is HB1
  EXPECT_EQ(x_of(2, "QB"), unknown_value) << "pseudo atoms take no coordinates";
  // H names try Q and QQ, Q names try H.
  v.anam(atom(2, "HB2")) = "XB2";
  v.anam(atom(2, "QB")) = "QQB2";
  EXPECT_EQ(
      std::vector<int>({iatom(s, "HB2", 2, 2), iatom(s, "QB1", 2, 2), iatom(s, "QQB9", 2, 2), iatom(s, "ZZ", 1, 1)}),
      std::vector<int>({atom(2, "QQB2"), atom(2, "HB1"), 0, 0}));
  EXPECT_EQ(fatal_of([&] { iatom(s, "ZZ", 2, 0); }), "Illegal atom name \"ZZ\" for residue ALA A2.");
  // A residue written without chain character matches chain A; another name does not matter.
  v.rnum(2) = "2";
  s.pdbread.index_valid = false;  // the residue index follows the renumbering
  EXPECT_EQ(std::vector<int>({iresid(s, "A2", "ALA", 2), iresid(s, "B2", "ALA", 2), iresid(s, "A1", "GLY", 2)}),
            std::vector<int>({2, 0, 1}));
  EXPECT_EQ(fatal_of([&] { iresid(s, "A9", "ALA", 0); }), "Illegal residue number A9.");
}

TEST_F(Reader, AlternateLocationsAndExtraDigits) {
  const std::string text = pdb_record(1, "CA", 'A', 1, 1.0, 0, 0, 'A') + pdb_record(2, "CA", 'A', 1, 2.0, 0, 0, 'B') +
                           pdb_record(3, "CB", 'A', 1, 3.0, 0, 0, '1') +  // not B..Z: used
                           pdb_record(4, "CA", ' ', 2, 4.0);              // blank chain is A
  read_model(text);
  EXPECT_EQ(std::vector<double>({x_of(1, "CA"), x_of(1, "CB"), x_of(2, "CA")}), std::vector<double>({1.0, 3.0, 4.0}));
  // Extra digits in columns 61-66, only when a remark announces them: each correction is formed in
  // single precision, digit times 0.0001, signed by the code 3 (odd, odd, even).
  const std::string record = pdb_record(1, "CA", 'A', 1, 10.0, 20.0, 30.0, ' ', "  1.00 35.17");
  const std::string remark = "REMARK 999 B-FACTOR COLUMN STORES ADDITIONAL COORDINATE DIGITS\n";
  const int ca = v.col(0, atom(1, "CA"));
  EXPECT_EQ(read_model(remark + record), 3);
  EXPECT_EQ(std::vector<double>({v.coo(1, ca), v.coo(2, ca), v.coo(3, ca)}),
            std::vector<double>(
                {10.0 + double(-(5.0f * 0.0001f)), 20.0 + double(-(1.0f * 0.0001f)), 30.0 + double(7.0f * 0.0001f)}));
  EXPECT_EQ(read_model(record), 2) << "without the announcement the mode drops to 2";
  EXPECT_EQ(v.coo(1, ca), 10.0);
  read_model(remark + record, 2);  // the bfactor option: never
  EXPECT_EQ(v.coo(1, ca), 10.0);
}

TEST_F(Reader, ModelsEndWhereAResidueComesBack) {
  const std::string a1 = pdb_record(1, "CA", 'A', 1, 1.0), a2 = pdb_record(2, "CA", 'A', 2, 2);
  const std::string text = a1 + pdb_record(3, "CA", 'A', 99, 9) + a1 + a2 + "ENDMDL\n" + a1 + a2 + a1;
  PdbText in(text);
  int mode = 3;
  // A residue that is not in the sequence does not count as the previous one: A1 goes on.
  for (const int next : {6, 8, -1}) {
    v.i0styp = 2;
    getcor(s, in, mode, "*", state, 2);
    EXPECT_EQ(state, next);
  }
  EXPECT_EQ(std::pair(x_of(1, "CA"), x_of(2, "CA")), std::pair(1.0, unknown_value));  // the last model: A1 only
}

TEST_F(Reader, DamagedRecordsAreFatalWithTheirLine) {
  std::string full = pdb_record(3, "CA", 'A', 2, 1.5, -2.25, 3.125);
  full.pop_back();
  const std::vector<std::pair<std::string, bool>> cases = {
      {full, true},
      {full.substr(0, 54), true},   // ends with the z field
      {full.substr(0, 53), false},  // z cut: would read 3.12 or less
      {full.substr(0, 46), false},  // no z at all: would read 0
      {full.substr(0, 38) + "  9.9E7 " + full.substr(46), true},
      {full.substr(0, 38) + "  1.0E8 " + full.substr(46), false},
      {full.substr(0, 30) + "-1.00E10" + full.substr(38), false},  // the marker of an unknown position
      {full.substr(0, 38) + "   x.000" + full.substr(46), false},
  };
  for (const auto& [record, readable] : cases)
    EXPECT_EQ(fatal_of([&] { read_model(two + record + "\n"); }),
              readable ? "" : "Cannot read line 3:\n                 " + std::string(rtrim(record)))
        << record;
  const std::string cut = two + two.substr(0, 20);
  PdbText failing(cut, true);
  int mode = 3;
  state = 0;
  EXPECT_EQ(fatal_of([&] { getcor(s, failing, mode, "*", state, 2); }), "Cannot read line 3:\n ");
  // N of A1 twice and CA: two atoms get positions; the angles they leave undefined make the model rigid.
  read_model(pdb_record(1, "N", 'A', 1, 1, 2, 3) + pdb_record(2, "N", 'A', 1, 1, 2, 4) + pdb_record(3, "CA", 'A', 1, 2),
             3, 0);
  EXPECT_EQ(std::pair(s.pdbread.stored, v.i0styp), std::pair(2, 2));
}

// Reads the text as the run reads a coordinate file; returns the last line printed.
std::string read_pdb(Session& s, const std::string& text) {
  s.readdata.content = text;
  std::vector<std::string> words = {"pdb", "model.pdb", "unknown=skip", "chains=*"};
  readf(s, words, true);
  return s.printdata.lines.back();
}

std::string read_line(const std::string& what) { return "    PDB coordinate file \"model.pdb\" read, " + what + "."; }

TEST(Readf, OwnConformersReadBackAsFlexible) {
  for (bool model_records : {true, false}) {
    const Ensemble e = make_ensemble(8, 20, model_records);
    Session s;
    load_library(s);
    EXPECT_EQ(read_pdb(s, e.text), read_line("20 flexible conformers"));
    const VokanData& v = s.vokandata;
    ASSERT_EQ(v.nsstr, 20);
    for (int m = 1; m <= 20; ++m)  // within the precision of the records
      for (int k = 1; k <= v.ndfree; ++k)
        EXPECT_NEAR(std::remainder(v.dval(v.dix(m, k)) - e.angles[std::size_t(m - 1)][std::size_t(k - 1)],
                                   2 * std::numbers::pi),
                    0.0, 5e-3);
    EXPECT_EQ(v.i0styp, 1);  // structure 1 is the working structure again
    for (int a = 1; a <= v.na; ++a) EXPECT_EQ(v.coo(2, v.col(0, a)), v.coo(2, v.col(1, a)));
  }
}

TEST(Readf, ConformerKindsModelCountsAndChains) {
  Ensemble e = make_ensemble(6, 4, true);
  // Residue 2's carbonyl oxygen off its place: by 0.5 A in model 3, by 0.05 A (rounding may do it) in model 4.
  for (auto [m, shift] : {std::pair(2, 0.5), std::pair(3, 0.05)}) {
    std::string& line = e.models[std::size_t(m)][19];
    ASSERT_EQ(line.substr(12, 4) + line.substr(22, 4), "O      2");
    char buf[16];
    std::snprintf(buf, sizeof buf, "%8.3f", std::stod(line.substr(38, 8)) + shift);
    line.replace(38, 8, buf);
  }
  std::string distorted, chains;
  for (const auto& m : e.models)
    for (const std::string& l : m) distorted += l;
  const Ensemble a = make_ensemble(2, 2, false, 5, 'A'), b = make_ensemble(2, 2, false, 6, 'B');
  for (std::size_t m = 0; m < 2; ++m) {
    chains += "MODEL\n";
    for (const Ensemble* x : {&a, &b})
      for (const std::string& l : x->models[m]) chains += l;
    chains += "ENDMDL\n";
  }
  const std::vector<std::pair<std::string, std::string>> cases = {
      {distorted, "3 flexible and 1 rigid conformer"},
      {make_ensemble(3, 1, false).text, "1 flexible conformer"},
      {chains, "2 rigid conformers"}};  // both chains are joined into one molecule whose geometry does not fit
  for (const auto& [text, message] : cases) {
    Session s;
    load_library(s);
    EXPECT_EQ(read_pdb(s, text), read_line(message));
  }
}

TEST(Readf, FileNamesAndTheMemoryModelsMayClaim) {
  // 16 atoms per position and a first million atoms are allowed.
  EXPECT_EQ(std::vector<bool>({models_fit(937, 1100, 100 + 2LL * 936), models_fit(938, 1100, 100 + 2LL * 937),
                               models_fit(1, 1000000, 0), models_fit(2, 1000000, 0)}),
            std::vector<bool>({true, false, true, false}));
  // A file name without extension takes that of the file type.
  TempDir dir("readf");
  Session s;
  load_library(s);
  const std::string pdb = dir.write("prot.pdb", make_ensemble(3, 2, true).text);
  std::vector<std::string> words = {"pdb", pdb.substr(0, pdb.size() - 4), "unknown=skip"};
  readf(s, words, true);
  EXPECT_EQ(std::tuple(s.readdata.filnam, s.vokandata.nsstr), std::tuple(pdb, 2));
  words = {"pdb", dir.path().string() + "/"};
  EXPECT_EQ(fatal_of([&] { readf(s, words, true); }), "Input file \"" + words[1] + ".pdb\" cannot be opened.");
}

}  // namespace
}  // namespace veldrix::testing

// The PDB coordinate reader: record rules, residue and atom look-up, model ends, damaged records.
#include <gtest/gtest.h>

#include "input/input_support.hpp"
#include "input/pdbfields.hpp"
#include "input/state.hpp"
#include "util/text.hpp"

namespace veldrix::testing {
namespace {

struct Reader : ::testing::Test {
  Session s;
  VokanData& v = s.vokandata;

  // Reads one model from text as a rigid structure, so that the coordinates stay as read.
  int read_model(const std::string& text, int mode = 3, const std::string& chains = "*", int* state_out = nullptr) {
    std::istringstream in(text);
    int state = 0;
    v.i0styp = 2;
    getcor(s, in, mode, chains, state, 2);
    if (state_out) *state_out = state;
    return mode;
  }
  double x_of(int atom) const { return v.coo(1, v.col(0, atom)); }
  int atom_named(int residue, const std::string& name) const {
    for (int a = v.ifira(residue); a < v.ifira(residue + 1); ++a)
      if (v.anam(a) == name) return a;
    return 0;
  }
};

TEST(PdbFields, LinesFieldsAndChains) {
  std::istringstream in("ab\r\n" + std::string(250, 'x') + "\r\n\nlast");
  std::string line;
  for (const std::string& expected : std::vector<std::string>{"ab", std::string(200, 'x'), "", "last"}) {
    ASSERT_TRUE(read_pdb_line(in, line));
    EXPECT_EQ(line, expected);
  }
  EXPECT_FALSE(read_pdb_line(in, line));
  FailingBuffer buf("ATOM first line\nsecond, cut by the err");
  std::istream failing(&buf);
  ASSERT_TRUE(read_pdb_line(failing, line));
  EXPECT_FALSE(read_pdb_line(failing, line));
  EXPECT_TRUE(failing.bad());
  EXPECT_EQ(*real_field("   12345"), 12.345);  // three implied decimals
  EXPECT_EQ(*int_field(" 1 2"), 12);
  EXPECT_EQ(record_chain(pdb_record(1, "N", "ALA", ' ', 1, 0, 0, 0)), 'A');
  EXPECT_TRUE(chain_selected('B', "B"));
  EXPECT_FALSE(chain_selected('A', "AB"));
  EXPECT_TRUE(chain_selected('C', "all"));
}

TEST(Extseq, SequenceOfTheFirstModel) {
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
      {sequence_text({{"ALA", 'A', 1}, {"GLY", 'A', 2}, {"ALA", 'A', 3}}), "*", {"A1", "A3"}},  // not in the library
      {"ATOM      1  N   ALA A   1 # a comment\n" + two, "*", {"A1", "A2"}},
  };
  for (const Case& c : cases) {
    Session s;
    load_mini_library(s);
    std::istringstream in(c.text);
    extseq(s, in, 3, c.chains, 2);
    std::vector<std::string> ids;
    for (int r = 1; r <= s.vokandata.nr; ++r) ids.push_back(s.vokandata.rnum(r));
    EXPECT_EQ(ids, c.ids) << c.text;
  }
  Session s;
  load_mini_library(s);
  std::istringstream gly(sequence_text({{"ALA", 'A', 1}, {"GLY", 'A', 2}}));
  EXPECT_EQ(fatal_of([&] { extseq(s, gly, 3, "*", 0); }), "Illegal residue name \"GLY\".");
  FailingBuffer buf(two);
  std::istream failing(&buf);
  EXPECT_EQ(fatal_of([&] { extseq(s, failing, 3, "*", 2); }), "Cannot read line 3:\n ");
}

TEST_F(Reader, AtomNamesDigitsFirstAndAlternatives) {
  two_alanines(s);
  const std::string text = pdb_record(1, "1HB", "ALA", 'A', 1, 1.0, 0, 0) + "\n" +
                           "ATOM      2  2HB ALA A   1       2.000   0.000   0.000\n" +
                           pdb_record(3, "HB", "ALA", 'A', 2, 3.0, 0, 0) + "\n";  // no HB: the pseudo atom QB
  read_model(text);
  EXPECT_EQ(x_of(atom_named(1, "HB1")), 1.0);
  EXPECT_EQ(x_of(atom_named(1, "HB2")), 2.0);
  EXPECT_EQ(x_of(atom_named(2, "QB")), unknown_value) << "pseudo atoms take no coordinates";
  // H names try Q and QQ, Q names try H.
  v.anam(atom_named(2, "HB2")) = "XB2";
  v.anam(atom_named(2, "QB")) = "QQB2";
  EXPECT_EQ(iatom(s, "HB2", 2, 2), atom_named(2, "QQB2"));
  EXPECT_EQ(iatom(s, "QB1", 2, 2), atom_named(2, "HB1"));
  EXPECT_EQ(iatom(s, "QQB9", 2, 2), 0);
  EXPECT_TRUE(s.printdata.lines.empty());
  EXPECT_EQ(iatom(s, "ZZ", 1, 1), 0);
  EXPECT_EQ(printed(s), "*** WARNING: Illegal atom name \"ZZ\" for residue ALA A1.\n");
  EXPECT_EQ(fatal_of([&] { iatom(s, "ZZ", 2, 0); }), "Illegal atom name \"ZZ\" for residue ALA A2.");
}

TEST_F(Reader, AlternateLocationsAndChains) {
  two_alanines(s);
  const int ca = atom_named(1, "CA");
  const std::string text = pdb_record(1, "CA", "ALA", 'A', 1, 1.0, 0, 0, 'A') + "\n" +
                           pdb_record(2, "CA", "ALA", 'A', 1, 2.0, 0, 0, 'B') + "\n" +
                           pdb_record(3, "CB", "ALA", 'A', 1, 3.0, 0, 0, '1') + "\n" +  // not B..Z: used
                           pdb_record(4, "CA", "ALA", ' ', 2, 4.0, 0, 0) + "\n";          // blank chain is A
  read_model(text);
  EXPECT_EQ(x_of(ca), 1.0);
  EXPECT_EQ(x_of(atom_named(1, "CB")), 3.0);
  EXPECT_EQ(x_of(atom_named(2, "CA")), 4.0);
  for (const std::string chains : {"B", "AB"}) {  // a chain that is not chosen gives nothing
    read_model(text, 3, chains);
    EXPECT_EQ(x_of(ca), unknown_value) << chains;
  }
  // "first": a change of chain ends the model and the file.
  const std::string two_chains = pdb_record(1, "CA", "ALA", 'A', 1, 1.0, 0, 0) + "\n" +
                                 pdb_record(2, "CA", "ALA", 'B', 2, 2.0, 0, 0) + "\n" +
                                 pdb_record(3, "CA", "ALA", 'A', 2, 3.0, 0, 0) + "\n";
  int state = 0;
  read_model(two_chains, 3, "first", &state);
  EXPECT_EQ(state, -1);
  EXPECT_EQ(x_of(ca), 1.0);
  EXPECT_EQ(x_of(atom_named(2, "CA")), unknown_value);
}

TEST_F(Reader, ExtraDigitsOnlyWhenAnnounced) {
  two_alanines(s);
  const int ca = atom_named(1, "CA");
  const std::string record = pdb_record(1, "CA", "ALA", 'A', 1, 10.0, 20.0, 30.0, ' ', "  1.00 35.17") + "\n";
  const std::string remark = "REMARK 999 B-FACTOR COLUMN STORES ADDITIONAL COORDINATE DIGITS\n";
  EXPECT_EQ(read_model(remark + record), 3);
  // Each correction is formed in single precision: digit times 0.0001, signed by the code 3 (odd, odd, even).
  EXPECT_EQ(v.coo(1, ca), 10.0 + double(-(5.0f * 0.0001f)));
  EXPECT_EQ(v.coo(2, ca), 20.0 + double(-(1.0f * 0.0001f)));
  EXPECT_EQ(v.coo(3, ca), 30.0 + double(7.0f * 0.0001f));
  EXPECT_EQ(read_model(record), 2) << "without the announcement the mode drops to 2";
  EXPECT_EQ(v.coo(1, ca), 10.0);
  read_model(remark + record, 2);  // the bfactor option: never
  EXPECT_EQ(v.coo(1, ca), 10.0);
}

TEST_F(Reader, ModelsEndWhereAResidueComesBack) {
  two_alanines(s);
  const std::string a1 = pdb_record(1, "CA", "ALA", 'A', 1, 1.0, 0, 0) + "\n";
  const std::string a2 = pdb_record(2, "CA", "ALA", 'A', 2, 2.0, 0, 0) + "\n";
  const std::string stray = pdb_record(3, "CA", "ALA", 'A', 99, 9.0, 0, 0) + "\n";
  std::istringstream in(a1 + stray + a1 + a2 + "ENDMDL\n" + a1 + a2 + a1);
  int mode = 3, state = 0;
  // A residue that is not in the sequence does not count as the previous one: A1 goes on.
  for (const int next : {6, 8, -1}) {
    v.i0styp = 2;
    getcor(s, in, mode, "*", state, 2);
    EXPECT_EQ(state, next);
  }
  EXPECT_EQ(x_of(atom_named(2, "CA")), unknown_value);  // the last model has residue 1 only
  EXPECT_EQ(x_of(atom_named(1, "CA")), 1.0);
}

TEST_F(Reader, ResidueLookUpAndItsMessages) {
  two_alanines(s);
  v.rnum(2) = "2";  // a residue written without chain character matches chain A
  EXPECT_EQ(iresid(s, "A2", "ALA", 0), 2);
  EXPECT_EQ(iresid(s, "B2", "ALA", 2), 0);
  EXPECT_EQ(iresid(s, "A1", "GLY", 1), 1);
  EXPECT_EQ(iresid(s, "A1", "GLY", 1), 1);  // once for the same identifier and name
  EXPECT_EQ(iresid(s, "A1", "*", 1), 1);    // "*" never differs
  EXPECT_EQ(iresid(s, "A1", "GLY", 2), 1);  // skip: silent
  EXPECT_EQ(iresid(s, "A7", "ALA", 1), 0);
  EXPECT_EQ(iresid(s, "A7", "GLY", 1), 0);  // the same identifier: warned already
  EXPECT_EQ(printed(s),
            "*** WARNING: Wrong name \"GLY\" for residue ALA A1.\n"
            "*** WARNING: Illegal residue number A7.\n");
  EXPECT_EQ(s.printdata.warnings.size(), 2u);
  EXPECT_EQ(fatal_of([&] { iresid(s, "A9", "ALA", 0); }), "Illegal residue number A9.");
}

TEST_F(Reader, DamagedRecordsAreFatalWithTheirLine) {
  const std::string two = two_alanines(s);
  const std::string full = pdb_record(3, "CA", "ALA", 'A', 2, 1.5, -2.25, 3.125);
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
  for (const auto& [record, readable] : cases) {
    const std::string message = fatal_of([&] { read_model(two + record + "\n"); });
    EXPECT_EQ(message, readable ? "" : "Cannot read line 3:\n                 " + std::string(rtrim(record))) << record;
  }
  FailingBuffer buf(two + two.substr(0, 20));
  std::istream failing(&buf);
  int mode = 3, state = 0;
  EXPECT_EQ(fatal_of([&] { getcor(s, failing, mode, "*", state, 2); }), "Cannot read line 3:\n ");
}

TEST_F(Reader, ModelDecisionAndItsCounts) {
  two_alanines(s);
  // N of A1 twice, CA and the pseudo atom QB of A2: three atoms get positions.
  const std::string text = pdb_record(1, "N", "ALA", 'A', 1, 1, 2, 3) + "\n" + pdb_record(2, "N", "ALA", 'A', 1, 1, 2, 4) +
                           "\n" + pdb_record(3, "CA", "ALA", 'A', 1, 2, 2, 3) + "\n" +
                           pdb_record(4, "QB", "ALA", 'A', 2, 2, 2, 3) + "\n" +
                           pdb_record(5, "CA", "ALA", 'A', 2, 5, 2, 3) + "\n";
  read_model(text);
  EXPECT_EQ(s.pdbread.stored, 3);
  // Undefined angles make the model rigid, and are reported.
  std::istringstream in(pdb_record(1, "CA", "ALA", 'A', 1, 1.0, 0, 0) + "\n");
  int mode = 3, state = 0;
  v.i0styp = 0;
  s.printdata.lines.clear();
  getcor(s, in, mode, "*", state, 1);
  EXPECT_EQ(v.i0styp, 2);
  EXPECT_EQ(printed(s), "*** WARNING: 6 free angles not defined.\n");
  for (int k = 1; k <= v.ndfree; ++k) EXPECT_EQ(v.dval(k), 0.0);
}

}  // namespace
}  // namespace veldrix::testing

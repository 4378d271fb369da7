// Tests for the PDB coordinate reader: record rules, residue and atom look-up, model ends.
#include <gtest/gtest.h>

#include <cmath>

#include "input/getcor.hpp"
#include "input/input_support.hpp"
#include "input/pdbfields.hpp"

namespace veldrix::testing {
namespace {

// Two alanines A1, A2 built and initialised; the reader then keeps coordinates as read.
void two_alanines() {
  load_library();
  std::istringstream in(sequence_text({{"ALA", 'A', 1}, {"ALA", 'A', 2}}));
  extseq(in, 3, "*", 2);
  iniseq();
}

struct Read {
  int mode;
  int state;
};

// Reads one model from text as a rigid structure, so that the coordinates stay as read.
Read read_model(const std::string& text, int mode = 3, const std::string& chains = "*", int unknown = 2) {
  std::istringstream in(text);
  Read r{mode, 0};
  vokandata.i0styp = 2;
  getcor(in, r.mode, chains, r.state, unknown);
  return r;
}

double x_of(int atom) { return vokandata.coo(1, vokandata.col(0, atom)); }
int atom_named(int residue, const std::string& name) {
  for (int a = vokandata.ifira(residue); a < vokandata.ifira(residue + 1); ++a)
    if (vokandata.anam(a) == name) return a;
  return 0;
}

TEST(PdbFields, NumbersAreReadTheFortranWay) {
  EXPECT_EQ(int_field("  12"), 12);
  EXPECT_EQ(int_field(" 1 2"), 12);  // blanks ignored
  EXPECT_EQ(int_field("    "), 0);
  EXPECT_EQ(int_field("  -7"), -7);
  EXPECT_FALSE(int_field("  1A").has_value());
  EXPECT_FALSE(int_field("   -").has_value());
  EXPECT_DOUBLE_EQ(*real_field("  -1.234"), -1.234);
  EXPECT_DOUBLE_EQ(*real_field("   12345"), 12.345);  // three implied decimals
  EXPECT_DOUBLE_EQ(*real_field("        "), 0.0);
  EXPECT_DOUBLE_EQ(*real_field(" 1.5E+02"), 150.0);
  EXPECT_DOUBLE_EQ(*real_field("   15E-1"), 0.0015);
  EXPECT_DOUBLE_EQ(*real_field("   .5   "), 0.5);
  EXPECT_DOUBLE_EQ(*real_field("1.00E+30"), 1.0e30);
  for (const char* bad : {"  abc.de", "     nan", "     inf", "  1.2.3 ", "   1.0E ", " 1.0E999", "   --1.0"})
    EXPECT_FALSE(real_field(bad).has_value()) << bad;
}

TEST(PdbFields, LinesAreCutAndLoseTheirCarriageReturn) {
  std::istringstream in("ab\r\n" + std::string(250, 'x') + "\r\n\nlast");
  std::string line;
  ASSERT_TRUE(read_pdb_line(in, line));
  EXPECT_EQ(line, "ab");
  ASSERT_TRUE(read_pdb_line(in, line));
  EXPECT_EQ(line, std::string(200, 'x'));
  ASSERT_TRUE(read_pdb_line(in, line));
  EXPECT_EQ(line, "");
  ASSERT_TRUE(read_pdb_line(in, line));
  EXPECT_EQ(line, "last");
  EXPECT_FALSE(read_pdb_line(in, line));
  EXPECT_EQ(record_chain(atom_record(1, "N", "ALA", ' ', 1, 0, 0, 0)), 'A');
  EXPECT_TRUE(chain_selected('B', "B"));
  EXPECT_FALSE(chain_selected('A', "AB"));
  EXPECT_TRUE(chain_selected('C', "all"));
}

TEST(Getcor, AtomNamesDigitsFirstAndAlternatives) {
  Captured out;
  two_alanines();
  vokandata.ipseud = 1;  // pseudo atoms take coordinates too
  const std::string text = atom_record(1, "1HB", "ALA", 'A', 1, 1.0, 0, 0) + "\n" +
                           "ATOM      2  2HB ALA A   1       2.000   0.000   0.000\n" +
                           atom_record(3, "HB", "ALA", 'A', 2, 3.0, 0, 0) + "\n";  // no HB: its pseudo atom QB
  read_model(text);
  EXPECT_EQ(x_of(atom_named(1, "HB1")), 1.0);
  EXPECT_EQ(x_of(atom_named(1, "HB2")), 2.0);
  EXPECT_EQ(x_of(atom_named(2, "QB")), 3.0);
  // H names try Q and QQ, Q names try H.
  vokandata.anam(atom_named(2, "HB2")) = "XB2";
  vokandata.anam(atom_named(2, "QB")) = "QQB2";
  EXPECT_EQ(iatom("HB2", 2, 2), atom_named(2, "QQB2"));
  EXPECT_EQ(pdbread.a1, "QB2");
  EXPECT_EQ(pdbread.a2, "QQB2");
  EXPECT_EQ(iatom("QB1", 2, 2), atom_named(2, "HB1"));
  EXPECT_EQ(iatom("QQB9", 2, 2), 0);
  EXPECT_EQ(pdbread.a1, "HB9");
  EXPECT_EQ(out.text(), "");
  EXPECT_EQ(iatom("ZZ", 1, 1), 0);
  EXPECT_EQ(out.text(), "*** WARNING: Illegal atom name \"ZZ\" for residue ALA A1.\n");
  EXPECT_EQ(stop_status([] { iatom("ZZ", 2, 0); }), 1);
}

TEST(Getcor, AlternateLocationsAndChains) {
  Captured out;
  two_alanines();
  const int ca = atom_named(1, "CA");
  const std::string text = atom_record(1, "CA", "ALA", 'A', 1, 1.0, 0, 0, 'A') + "\n" +
                           atom_record(2, "CA", "ALA", 'A', 1, 2.0, 0, 0, 'B') + "\n" +
                           atom_record(3, "CB", "ALA", 'A', 1, 3.0, 0, 0, '1') + "\n" +  // not B..Z: used
                           atom_record(4, "CA", "ALA", ' ', 2, 4.0, 0, 0) + "\n";          // blank chain is A
  read_model(text);
  EXPECT_EQ(x_of(ca), 1.0);
  EXPECT_EQ(x_of(atom_named(1, "CB")), 3.0);
  EXPECT_EQ(x_of(atom_named(2, "CA")), 4.0);
  // A chain that is not chosen gives nothing; "AB" chooses none.
  for (const std::string chains : {"B", "AB"}) {
    read_model(text, 3, chains);
    EXPECT_EQ(x_of(ca), unknown_value) << chains;
  }
  // "first": a change of chain ends the model and the file.
  const std::string two_chains = atom_record(1, "CA", "ALA", 'A', 1, 1.0, 0, 0) + "\n" +
                                 atom_record(2, "CA", "ALA", 'B', 2, 2.0, 0, 0) + "\n" +
                                 atom_record(3, "CA", "ALA", 'A', 2, 3.0, 0, 0) + "\n";
  const Read r = read_model(two_chains, 3, "first");
  EXPECT_EQ(r.state, -1);
  EXPECT_EQ(x_of(ca), 1.0);
  EXPECT_EQ(x_of(atom_named(2, "CA")), unknown_value);
}

TEST(Getcor, ExtraDigitsOnlyWhenAnnounced) {
  Captured out;
  two_alanines();
  const int ca = atom_named(1, "CA");
  const std::string record = atom_record(1, "CA", "ALA", 'A', 1, 10.0, 20.0, 30.0, ' ', "  1.00 35.17");
  const std::string remark = "REMARK 999 B-FACTOR COLUMN STORES ADDITIONAL COORDINATE DIGITS\n";
  Read r = read_model(remark + record + "\n");
  EXPECT_EQ(r.mode, 3);
  const auto& c = vokandata.coo;
  // Each correction is formed in single precision: digit times 0.0001, signed by the code 3 (odd, odd, even).
  EXPECT_EQ(c(1, ca), 10.0 + double(-(5.0f * 0.0001f)));
  EXPECT_EQ(c(2, ca), 20.0 + double(-(1.0f * 0.0001f)));
  EXPECT_EQ(c(3, ca), 30.0 + double(7.0f * 0.0001f));
  EXPECT_NEAR(c(1, ca), 9.9995, 1e-7);
  r = read_model(record + "\n");  // no announcement: three decimals, and the mode drops to 2
  EXPECT_EQ(r.mode, 2);
  EXPECT_EQ(c(1, ca), 10.0);
  EXPECT_EQ(c(3, ca), 30.0);
  r = read_model(remark + record + "\n", 2);  // the bfactor option: never
  EXPECT_EQ(c(1, ca), 10.0);
}

TEST(Getcor, ModelsEndWhereAResidueComesBack) {
  Captured out;
  two_alanines();
  const std::string a1 = atom_record(1, "CA", "ALA", 'A', 1, 1.0, 0, 0) + "\n";
  const std::string a2 = atom_record(2, "CA", "ALA", 'A', 2, 2.0, 0, 0) + "\n";
  const std::string stray = atom_record(3, "CA", "ALA", 'A', 99, 9.0, 0, 0) + "\n";
  const std::string text = a1 + stray + a1 + a2 + "ENDMDL\n" + a1 + a2 + a1;
  std::istringstream in(text);
  int mode = 3, state = 0;
  vokandata.i0styp = 2;
  // A residue that is not in the sequence does not count as the previous one: A1 goes on.
  getcor(in, mode, "*", state, 2);
  EXPECT_EQ(state, 6);
  EXPECT_EQ(pdbread.n, 1);
  vokandata.i0styp = 2;
  getcor(in, mode, "*", state, 2);
  EXPECT_EQ(state, 8);
  vokandata.i0styp = 2;
  getcor(in, mode, "*", state, 2);
  EXPECT_EQ(state, -1);
  EXPECT_EQ(pdbread.n, 3);
  EXPECT_EQ(x_of(atom_named(2, "CA")), unknown_value);  // the last model has residue 1 only
  EXPECT_EQ(x_of(atom_named(1, "CA")), 1.0);
}

TEST(Getcor, ResidueLookUpAndItsMessages) {
  Captured out;
  two_alanines();
  vokandata.rnum(2) = "2";  // a residue written without chain character matches chain A
  EXPECT_EQ(iresid("A2", "ALA", 0), 2);
  EXPECT_EQ(iresid("B2", "ALA", 2), 0);
  EXPECT_EQ(iresid("A1", "GLY", 1), 1);
  EXPECT_EQ(iresid("A1", "GLY", 1), 1);  // once for the same identifier and name
  EXPECT_EQ(iresid("A1", "*", 1), 1);    // "*" never differs
  EXPECT_EQ(iresid("A1", "GLY", 2), 1);  // skip: silent
  EXPECT_EQ(iresid("A7", "ALA", 1), 0);
  EXPECT_EQ(iresid("A7", "GLY", 1), 0);  // the same identifier: warned already
  EXPECT_EQ(out.text(),
            "*** WARNING: Wrong name \"GLY\" for residue ALA A1.\n"
            "*** WARNING: Illegal residue number A7.\n");
  out.clear();
  EXPECT_EQ(stop_status([] { iresid("A9", "ALA", 0); }), 1);
  EXPECT_EQ(out.text(), "*** FATAL ERROR: Illegal residue number A9.\n");
  iresid(" ", "/", 3);
  EXPECT_EQ(pdbread.rnp, "");
  EXPECT_EQ(pdbread.rp, "/");
}

TEST(Getcor, UnreadableRecordIsFatalWithItsLineNumber) {
  Captured out;
  two_alanines();
  const std::string text = "REMARK 1\n\n" + atom_record(1, "CA", "ALA", 'A', 1, 1.0, 0, 0) + "\n" +
                           "ATOM      2  CB  ALA A   1       1.000   x.000   0.000\n";
  EXPECT_EQ(stop_status([&] { read_model(text); }), 1);
  EXPECT_EQ(out.text(),
            "*** FATAL ERROR: Cannot read line 4:\n"
            "                 ATOM      2  CB  ALA A   1       1.000   x.000   0.000\n");
}

TEST(Getcor, ModelDecisionNeedsEnoughAtoms) {
  Captured out;
  two_alanines();
  const std::string text = atom_record(1, "CA", "ALA", 'A', 1, 1.0, 0, 0) + "\n";
  std::istringstream in(text);
  int mode = 3, state = 0;
  vokandata.i0styp = 0;
  getcor(in, mode, "*", state, 1);
  EXPECT_EQ(vokandata.i0styp, 2);
  EXPECT_EQ(out.text(), "*** WARNING: 6 free angles not defined.\n");
  for (int k = 1; k <= vokandata.ndfree; ++k) EXPECT_EQ(vokandata.dval(k), 0.0);
}

}  // namespace
}  // namespace veldrix::testing

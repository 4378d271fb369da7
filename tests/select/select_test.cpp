// Selections: expression operators, residue ranges, BACKBONE, WITHCOORDALL, stored selections,
// getsel's combination with the current selection, illegal selections, and the atoms command.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "command/params.hpp"
#include "select/atoms.hpp"
#include "select/select.hpp"
#include "select/state.hpp"
#include "test_support.hpp"

namespace veldrix::testing {
namespace {

using V = std::vector<int>;
using Words = std::vector<std::string>;
struct At {  // an atom: its name, residue and number
  std::string n;
  int r, a;
};
using Pred = std::function<bool(const At&)>;

// Residues A1..An with the atoms N, CA, C, O, QB (QB of type DUMMY) and three angles per residue:
// the axes N-CA and CA-C move atoms beyond the molecule (lda > na), the axis C-O does not (lda = na).
// The base columns -1 and 0 (axis QB-O) have lda > na but are no angles.
void make_peptide(VokanData& v, int nres, int nstr) {
  make_molecule(v, nres, 5, nstr);
  static const char* const names[] = {"N", "CA", "C", "O", "QB"};
  static const int types[] = {1, 2, 2, 3, 4};
  v.nattyp = 4;
  v.attyp.allocate(Dim(4));
  v.attyp(1) = "N", v.attyp(2) = "C", v.attyp(3) = "O", v.attyp(4) = "DUMMY";
  v.iatyp.allocate(Dim(v.na));
  for (int a = 1; a <= v.na; ++a) {
    v.anam(a) = names[(a - 1) % 5];
    v.iatyp(a) = types[(a - 1) % 5];
  }
  v.nd = 3 * nres;
  v.ida.allocate(Dim(4), Dim(-1, v.nd));
  v.lda.allocate(Dim(-1, v.nd));
  for (int k = -1; k <= v.nd; ++k) {
    const int b = k <= 0 ? 4 : v.ifira((k - 1) / 3 + 1) + (k - 1) % 3;  // first axis atom
    v.ida(1, k) = b - 1, v.ida(2, k) = b, v.ida(3, k) = b + 1, v.ida(4, k) = b + 2;
    v.lda(k) = k > 0 && k % 3 == 0 ? v.na : v.na + 1;
  }
}

// Atom numbers whose flag is set.
V flagged(const VokanData& v, const FArray<bool>& s) {
  V r;
  for (int a = 1; a <= v.na; ++a)
    if (s(a)) r.push_back(a);
  return r;
}

// Atom numbers for which pred holds.
V atoms_where(const VokanData& v, const Pred& pred) {
  V r;
  for (int a = 1; a <= v.na; ++a)
    if (pred({v.anam(a), v.iar(a), a})) r.push_back(a);
  return r;
}

V eval(SelectState& s, const std::string& text) {
  FArray<bool> sel;
  bool error = true;
  select(s, text, sel, 1, error);
  EXPECT_FALSE(error) << text;
  return flagged(s.vokandata, sel);
}

// 45 residues; the ensemble members are structures 1 and 3 (structure 2 is not one).
class Selection : public ::testing::Test {
 protected:
  SelectState s;
  VokanData& v = s.vokandata;
  void SetUp() override {
    make_peptide(v, 45, 3);
    v.nsstr = 2;
    v.isstr(2) = 3;
    set_xyz(v, 2, 12, unknown_value, 0, 0);              // missing only outside the ensemble: kept
    set_xyz(v, 3, 7, unknown_value, 0, 0);               // CA of A2 missing in a member
    set_xyz(v, 0, 201, -unknown_value, 0, 0);            // N of A41 missing in the working structure
    set_xyz(v, 1, 6, 1.0e8, 0, 0);                       // N of A2: not below the limit
    set_xyz(v, 1, 11, -5.0e7, 0, 0);                     // large but present
    set_xyz(v, 3, 16, 0, unknown_value, unknown_value);  // only x is looked at
    v.iatyp(13) = 4;                                     // C of A3 has the type DUMMY
  }
};

TEST_F(Selection, Expressions) {
  const auto res = [](std::set<int> rs) -> Pred { return [rs](const At& x) { return rs.count(x.r) > 0; }; };
  const auto upto = [](int lo, int hi) -> Pred { return [=](const At& x) { return x.r >= lo && x.r <= hi; }; };
  const auto name = [](std::set<std::string> ns) -> Pred { return [ns](const At& x) { return ns.count(x.n) > 0; }; };
  const Pred none = [](const At&) { return false; }, all = [](const At&) { return true; };
  const auto coords = [](const At& x) { return x.a != 6 && x.a != 7 && x.a != 201; };
  const auto bb = [](const At& x) { return x.n == "N" || x.n == "CA" || x.n == "C"; };
  const std::vector<std::pair<std::string, Pred>> cases{
      {"", all}, {"  *  ", all},
      // atom words
      {"CA", name({"CA"})}, {"C*", name({"C", "CA"})}, {"?A", name({"CA"})}, {"N\tCA", name({"N", "CA"})}, {"ca", none},
      {"BACKBONE", bb}, {"&DUMMY", [](const At& x) { return x.n == "QB" || x.a == 13; }},
      {"&DUM*", [](const At& x) { return x.n == "QB" || x.a == 13; }}, {"~C*", name({"N", "O", "QB"})},
      {"WITHCOORDALL", coords},
      // residue words
      {":A5", res({5})}, {":A1-A40", upto(1, 40)}, {":?1-?40", upto(1, 40)}, {":A1..A40", upto(1, 40)}, {":1-40", none},
      {"1-40", none}, {":5", none}, {":A7-A5", none}, {":A2-A99", none}, {":-A3", upto(1, 3)}, {":A43-", upto(43, 45)},
      {":A44..", upto(44, 45)}, {":*", all}, {":", all}, {":A1?", res({10})}, {":A4?-A4?", upto(40, 45)},
      {":A5,A7", res({5, 7})}, {":A1-A2,A44-", res({1, 2, 44, 45})}, {":A3 :A9", res({3, 9})},
      {":A2-A1" + std::string(15, '*') + "Z", upto(2, 19)},  // items hold 20 characters: the Z is cut
      // terms and operators, left to right; an empty first term is everything
      {"CA :A2-A3", [](const At& x) { return x.n == "CA" && (x.r == 2 || x.r == 3); }},
      {":A2 N :A4 CA", [](const At& x) { return (x.n == "N" || x.n == "CA") && (x.r == 2 || x.r == 4); }},
      {"CA + N", name({"CA", "N"})},
      {"CA N - :A2", [](const At& x) { return (x.n == "CA" || x.n == "N") && x.r != 2; }},
      {"CA N ! :A2", [](const At& x) { return (x.n == "CA" || x.n == "N") && x.r != 2; }},
      {"* / :A2", res({2})}, {"CA = N", name({"N"})},
      {"CA + N / :A1-A2 - CA", [](const At& x) { return x.n == "N" && x.r <= 2; }},
      {"- CA", [](const At& x) { return x.n != "CA"; }}, {"CA -", none},
      // the run script's expressions
      {"BACKBONE ALL / WITHCOORDALL - &DUMMY", [=](const At& x) { return bb(x) && coords(x) && x.a != 13; }},
      {"BACKBONE :A1-A40 / WITHCOORDALL - &DUMMY",
       [=](const At& x) { return bb(x) && x.r <= 40 && coords(x) && x.a != 13; }},
      {"BACKBONE :1-40 / WITHCOORDALL - &DUMMY", none},
  };
  for (const auto& [text, pred] : cases) EXPECT_EQ(eval(s, text), atoms_where(v, pred)) << '"' << text << '"';
  v.lda(3) = v.na + 1;  // the C-O angle of A1 now qualifies: its axis atom O joins, the outer QB does not
  EXPECT_EQ(eval(s, "BACKBONE"), atoms_where(v, [=](const At& x) { return bb(x) || (x.r == 1 && x.n == "O"); }));
  v.iatyp(1) = 0;  // an atom without type matches no type name
  EXPECT_EQ(eval(s, "&N"), atoms_where(v, [](const At& x) { return x.n == "N" && x.a != 1; }));
  v.isstr(2) = 9;  // a member beyond the arrays has no coordinates
  EXPECT_TRUE(eval(s, "WITHCOORDALL").empty());
  v.nd = 0;
  EXPECT_TRUE(eval(s, "BACKBONE").empty());
}

TEST_F(Selection, StoredSelectionsAreAtomWords) {
  EXPECT_TRUE(eval(s, "core").empty()) << "without a store the word is an atom name";
  SelectData& d = s.selectdata;
  savsel(s, 1);
  d.nasl = 1;
  d.aslnam.allocate(Dim(1));
  d.aslnam(1) = "core";
  d.asl.allocate(Dim(v.na), Dim(1));
  d.asl.fill(false);
  d.asl(3, 1) = d.asl(9, 1) = true;
  EXPECT_EQ(eval(s, "core N :A1-A2"), (V{1, 3, 6, 9}));
  FArray<bool> out;
  bool error = false;
  EXPECT_EQ(fatal_of([&] { select(s, "core", out, 2, error); }), "Illegal selection save mode.");
  savsel(s, 1);  // already set up: kept; a new molecule empties it
  savsel(s, 0);
  EXPECT_TRUE(eval(s, "core").empty());
}

// getsel and the atoms command on two residues (atoms 1..5 and 6..10, CA = 2 and 7), asel = residue 1.
class Getsel : public ::testing::Test {
 protected:
  SelectState s;
  VokanData& v = s.vokandata;
  void SetUp() override {
    make_peptide(v, 2, 2);
    for (int a = 1; a <= 10; ++a) v.asel(a) = a <= 5;
  }
  V run(const std::string& value, FArray<bool>& sel) {
    Words w{value};
    params(s, w, atoms_select_template);
    const int n = getsel(s, "selection", 1, sel);
    EXPECT_EQ(n, int(flagged(v, sel).size()));
    return flagged(v, sel);
  }
};

TEST_F(Getsel, OperatorsAndNegationsCombineWithTheCurrentSelection) {
  for (const auto& [value, want] : std::vector<std::pair<std::string, V>>{
           {"CA", {2, 7}}, {"+CA", {1, 2, 3, 4, 5, 7}}, {"-CA", {1, 3, 4, 5}}, {"/ CA", {2}},
           {"!CA", {1, 3, 4, 5, 6, 8, 9, 10}}, {"!+CA", {2, 6, 7, 8, 9, 10}},
           {"  + ! CA", {1, 2, 3, 4, 5, 6, 8, 9, 10}}, {"-!CA", {2}}, {"CA " + std::string(200, 'X'), {2, 7}}}) {
    FArray<bool> sel;
    EXPECT_EQ(run(value, sel), want) << value;
  }
  EXPECT_EQ(flagged(v, v.asel), (V{1, 2, 3, 4, 5})) << "asel itself is untouched";
  run("+CA", v.asel);  // the result may be asel itself
  EXPECT_EQ(flagged(v, v.asel), (V{1, 2, 3, 4, 5, 7}));
  Words none;
  params(s, none, "selection=*=");
  FArray<bool> sel;
  EXPECT_EQ(getsel(s, "selection", 1, sel), 6) << "without the parameter: the current selection";
  for (int mode : {0, 2, 8})
    EXPECT_EQ(fatal_of([&] { getsel(s, "selection", mode, sel); }), "Illegal selection mode.");
  const std::string longer = "CA " + std::string(201, 'X');
  EXPECT_EQ(fatal_of([&] { run(longer, sel); }), "Illegal selection \"" + longer + "\".");
}

TEST_F(Getsel, AtomsCommandSelectsCountsAndRefuses) {
  set_xyz(v, 2, 2, unknown_value, 0, 0);
  const auto atoms_cmd = [&](Words w) { atoms(s, w); };
  atoms_cmd({"count", "BACKBONE"});
  EXPECT_EQ(flagged(v, v.asel), (V{1, 2, 3, 4, 5})) << "count changes nothing";
  atoms_cmd({"select", "BACKBONE ALL / WITHCOORDALL - &DUMMY"});
  EXPECT_EQ(flagged(v, v.asel), (V{1, 3, 6, 7, 8}));
  atoms_cmd({"select", "+O :A2"});
  EXPECT_EQ(flagged(v, v.asel), (V{1, 3, 6, 7, 8, 9}));
  atoms_cmd({});  // the default action select without a selection keeps asel
  EXPECT_EQ(flagged(v, v.asel), (V{1, 3, 6, 7, 8, 9}));
  for (const char* action : {"list", "set", "stereo", "gyration", "li"})
    atoms_cmd({action, "BACKBONE", "whatever=1"});
  EXPECT_EQ(flagged(v, v.asel), (V{1, 3, 6, 7, 8, 9})) << "the other actions do nothing";
  atoms_cmd({"select", "CA", "save="});
  EXPECT_TRUE(s.selectdata.slinit);
  atoms_cmd({"select", "CA", "save=core"});
  EXPECT_FALSE(s.selectdata.slinit) << "a save name sets the store up";
  EXPECT_EQ(s.selectdata.nasl, 0) << "nothing is stored under the name";
  EXPECT_TRUE(s.printdata.lines.empty());
  for (const auto& [words, message] : std::vector<std::pair<Words, std::string>>{
           {{"frobnicate"}, R"(Illegal value "frobnicate" for parameter "action".)"},
           {{"s"}, R"(Illegal value "s" for parameter "action".)"},
           {{"select", "CA", "bogus=1"}, R"(Unknown parameter name "bogus".)"},
           {{"select", "CA", "x", "y"}, R"(Illegal parameter "y".)"}})
    EXPECT_EQ(fatal_of([&] { atoms_cmd(words); }), message);
}

}  // namespace
}  // namespace veldrix::testing

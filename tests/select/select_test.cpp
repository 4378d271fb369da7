// Selection expressions: atom words, residue ranges, terms and operators, getsel, named selections.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "command/params.hpp"
#include "molecule/vokandata.hpp"
#include "peptide.hpp"
#include "select/select.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

using testing::atoms_where;
using testing::flagged;
using testing::make_peptide;
using testing::set_xyz;
using testing::stop_status;
using Pred = std::function<bool(const std::string&, int, int)>;  // atom name, residue, atom

std::vector<int> eval(const std::string& text, int mode = 1) {
  FArray<bool> s;
  bool error = true;
  select(text, s, mode, error);
  EXPECT_FALSE(error) << text;
  return flagged(s);
}

bool bb(const std::string& n) { return n == "N" || n == "CA" || n == "C"; }

// 45 residues A1..A45; ensemble members are structures 1 and 3 (structure 2 is not one).
class Selection : public ::testing::Test {
 protected:
  testing::Captured cap;
  void SetUp() override {
    make_peptide(45, 3);
    vokandata.nsstr = 2;
    vokandata.isstr(2) = 3;
    set_xyz(2, 12, unknown_value, 0, 0);               // missing only outside the ensemble: kept
    set_xyz(3, 7, unknown_value, 0, 0);                // CA of A2 missing in a member
    set_xyz(0, 201, -unknown_value, 0, 0);             // N of A41 missing in the working structure
    set_xyz(1, 6, 1.0e8, 0, 0);                        // N of A2: not below the limit
    set_xyz(1, 11, -5.0e7, 0, 0);                      // large but present
    set_xyz(3, 16, 0, unknown_value, unknown_value);   // only x is looked at
    vokandata.iatyp(13) = 4;                           // C of A3 has the type DUMMY
  }
};

TEST_F(Selection, Expressions) {
  const auto res = [](std::set<int> rs) -> Pred { return [rs](const std::string&, int r, int) { return rs.count(r) > 0; }; };
  const auto upto = [](int lo, int hi) -> Pred { return [=](const std::string&, int r, int) { return r >= lo && r <= hi; }; };
  const Pred none = [](const std::string&, int, int) { return false; };
  const Pred all = [](const std::string&, int, int) { return true; };
  const auto coords = [](int a) { return a != 6 && a != 7 && a != 201; };
  const std::vector<std::pair<std::string, Pred>> cases{
      {"", all}, {"  *  ", all},
      // atom words
      {"CA", [](const std::string& n, int, int) { return n == "CA"; }},
      {"C*", [](const std::string& n, int, int) { return n == "C" || n == "CA"; }},
      {"?A", [](const std::string& n, int, int) { return n == "CA"; }},
      {"N\tCA", [](const std::string& n, int, int) { return n == "N" || n == "CA"; }},
      {"ca", none},
      {"BACKBONE", [](const std::string& n, int, int) { return bb(n); }},
      {"&DUMMY", [](const std::string& n, int, int a) { return n == "QB" || a == 13; }},
      {"&DUM*", [](const std::string& n, int, int a) { return n == "QB" || a == 13; }},
      {"~C*", [](const std::string& n, int, int) { return n == "N" || n == "O" || n == "QB"; }},
      {"WITHCOORDALL", [=](const std::string&, int, int a) { return coords(a); }},
      // residue words
      {":A5", res({5})}, {":A1-A40", upto(1, 40)}, {":?1-?40", upto(1, 40)}, {":A1..A40", upto(1, 40)},
      {":1-40", none}, {"1-40", none}, {":5", none}, {":A7-A5", none}, {":A2-A99", none},
      {":-A3", upto(1, 3)}, {":A43-", upto(43, 45)}, {":A44..", upto(44, 45)}, {":*", all}, {":", all},
      {":A1?", res({10})}, {":A4?-A4?", upto(40, 45)}, {":A5,A7", res({5, 7})},
      {":A1-A2,A44-", res({1, 2, 44, 45})}, {":A3 :A9", res({3, 9})},
      {":A2-A1" + std::string(15, '*') + "Z", upto(2, 19)},  // items hold 20 characters: the Z is cut
      // terms and operators
      {"CA :A2-A3", [](const std::string& n, int r, int) { return n == "CA" && (r == 2 || r == 3); }},
      {":A2 N :A4 CA", [](const std::string& n, int r, int) { return (n == "N" || n == "CA") && (r == 2 || r == 4); }},
      {"CA + N", [](const std::string& n, int, int) { return n == "CA" || n == "N"; }},
      {"CA N - :A2", [](const std::string& n, int r, int) { return (n == "CA" || n == "N") && r != 2; }},
      {"CA N ! :A2", [](const std::string& n, int r, int) { return (n == "CA" || n == "N") && r != 2; }},
      {"* / :A2", res({2})},
      {"CA = N", [](const std::string& n, int, int) { return n == "N"; }},
      {"CA + N / :A1-A2 - CA", [](const std::string& n, int r, int) { return n == "N" && r <= 2; }},
      {"- CA", [](const std::string& n, int, int) { return n != "CA"; }},  // the empty first term is everything
      {"CA -", none},
      // the run script's expressions
      {"BACKBONE ALL / WITHCOORDALL - &DUMMY", [=](const std::string& n, int, int a) { return bb(n) && coords(a) && a != 13; }},
      {"BACKBONE :A1-A40 / WITHCOORDALL - &DUMMY",
       [=](const std::string& n, int r, int a) { return bb(n) && r <= 40 && coords(a) && a != 13; }},
      {"BACKBONE :1-40 / WITHCOORDALL - &DUMMY", none},
  };
  for (const auto& [text, pred] : cases) EXPECT_EQ(eval(text), atoms_where(pred)) << '"' << text << '"';
}

TEST_F(Selection, BackboneTakesOnlyTheAxisAtoms) {
  VokanData& v = vokandata;
  v.lda(3) = v.na + 1;  // the C-O angle of A1 now qualifies: its axis atom O joins, the outer QB does not
  EXPECT_EQ(eval("BACKBONE"), atoms_where([](const std::string& n, int r, int) { return bb(n) || (r == 1 && n == "O"); }));
  v.iatyp(1) = 0;  // an atom without type matches no type name
  EXPECT_EQ(eval("&N"), atoms_where([](const std::string& n, int, int a) { return n == "N" && a != 1; }));
  v.isstr(2) = 9;  // a member beyond the arrays has no coordinates
  EXPECT_TRUE(eval("WITHCOORDALL").empty());
  v.nd = 0;
  EXPECT_TRUE(eval("BACKBONE").empty());
}

TEST_F(Selection, NamedSelectionStore) {
  SelectData& s = selectdata;
  EXPECT_TRUE(eval("core").empty()) << "without a store the word is an atom name";
  savsel(1);
  s.nasl = 1;
  s.aslnam.allocate(Dim(1));
  s.aslnam(1) = "core";
  s.asl.allocate(Dim(vokandata.na), Dim(1));
  s.asl(3, 1) = s.asl(9, 1) = true;
  EXPECT_EQ(eval("core N :A1-A2"), (std::vector<int>{1, 3, 6, 9}));
  FArray<bool> out;
  bool error = false;
  recsel("nope", out, 1, error);
  EXPECT_TRUE(error);
  EXPECT_EQ(stop_status([&] { select("core", out, 2, error); }), std::optional<int>(1));
  EXPECT_EQ(cap.text(), "*** FATAL ERROR: Illegal selection save mode.\n");
  savsel(1);  // already set up: kept
  EXPECT_EQ(s.nasl, 1);
  savsel(0);  // a new molecule empties it
  EXPECT_EQ(s.nasl, 0);
  EXPECT_TRUE(eval("core").empty());
}

TEST_F(Selection, MsplitSplitsEveryIdentifier) {
  VokanData& v = vokandata;
  v.nr = 3;
  v.rnum(1) = "B3", v.rnum(2) = "7", v.rnum(3) = "A12B";
  FArray<std::string> pre, suf;
  FArray<int> num;
  bool any = false;
  msplit(pre, num, suf, any);
  EXPECT_TRUE(any);
  EXPECT_EQ(pre(1) + "|" + pre(2) + "|" + pre(3) + "|" + suf(3), "B||A|B");
  EXPECT_EQ(num(1) + num(2) + num(3), 3 + 7 + 12);
  v.rnum(1) = "1", v.rnum(3) = "3";
  msplit(pre, num, suf, any);
  EXPECT_FALSE(any);
}

// getsel on two residues (atoms 1..5 and 6..10, CA = 2 and 7), asel = residue 1.
class Getsel : public Selection {
 protected:
  void SetUp() override {
    make_peptide(2, 1);
    for (int a = 1; a <= 10; ++a) vokandata.asel(a) = a <= 5;
  }
  std::vector<int> run(const std::string& value, FArray<bool>& s) {
    std::vector<std::string> w{value};
    params(w, "selection=*= save=*=");
    getsel("selection", 1, s);
    EXPECT_EQ(selectdata.nsel, int(flagged(s).size()));
    return flagged(s);
  }
};

TEST_F(Getsel, OperatorsAndNegationsCombineWithTheCurrentSelection) {
  using V = std::vector<int>;
  for (const auto& [value, want] : std::vector<std::pair<std::string, V>>{
           {"CA", {2, 7}}, {"+CA", {1, 2, 3, 4, 5, 7}}, {"-CA", {1, 3, 4, 5}}, {"/ CA", {2}},
           {"!CA", {1, 3, 4, 5, 6, 8, 9, 10}}, {"!+CA", {2, 6, 7, 8, 9, 10}},
           {"  + ! CA", {1, 2, 3, 4, 5, 6, 8, 9, 10}}, {"-!CA", {2}}}) {
    FArray<bool> s;
    EXPECT_EQ(run(value, s), want) << value;
  }
  EXPECT_EQ(flagged(vokandata.asel), (V{1, 2, 3, 4, 5})) << "asel itself is untouched";
  run("+CA", vokandata.asel);  // the result may be asel itself
  EXPECT_EQ(flagged(vokandata.asel), (V{1, 2, 3, 4, 5, 7}));
  std::vector<std::string> none;
  params(none, "selection=*=");
  FArray<bool> s;
  getsel("selection", 1, s);  // without the parameter: the current selection
  EXPECT_EQ(flagged(s), (V{1, 2, 3, 4, 5, 7}));
}

TEST_F(Getsel, Refusals) {
  FArray<bool> s;
  std::vector<std::string> w{"CA"};
  params(w, "selection=*=");
  for (int mode : {0, 2, 8}) {
    EXPECT_EQ(stop_status([&] { getsel("selection", mode, s); }), std::optional<int>(1));
    EXPECT_EQ(cap.text(), "*** FATAL ERROR: Illegal selection mode.\n");
  }
  EXPECT_EQ(run("CA " + std::string(200, 'X'), s), (std::vector<int>{2, 7})) << "200 characters make one word";
  cap.clear();
  const std::string longer = "CA " + std::string(201, 'X');
  EXPECT_EQ(stop_status([&] { run(longer, s); }), std::optional<int>(1));
  EXPECT_EQ(cap.text(), "*** FATAL ERROR: Illegal selection \"" + longer + "\".\n");
}

TEST_F(Getsel, StructuresCommandKeepSelection) {
  std::vector<std::string> w{"overlay", "keep=CA :A2", "gap=0.30"};
  params(w, "action=insert|mean|list|clear|copy|select|sort|violate|secondary|hbonds|swap|calibrate|overlay|radius|"
            "peakvolumes=list **");
  params(w, "keep=*= decrease=@r=1.2 absdecrease=@r=1.6 gap=@r=0.4 gapwidth=@i=3 "
            "minimum=@i=8 buffer=@i=3 upper_rmsd=@r=0.1");
  FArray<bool> keep;
  ASSERT_TRUE(havpar("keep"));
  getsel("keep", 1, keep);
  EXPECT_EQ(flagged(keep), std::vector<int>{7});
  EXPECT_DOUBLE_EQ(rparam("gap"), 0.30);
}

}  // namespace
}  // namespace veldrix

// Selections: atom and residue words, operators, BACKBONE, WITHCOORDALL, getsel's combination with the current
// selection, and the refusals.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "command/params.hpp"
#include "select/atoms.hpp"
#include "select/select.hpp"
#include "select/state.hpp"
#include "test_support.hpp"

namespace veldrix::testing {
namespace {

using Words = std::vector<std::string>;
using Pred = std::function<bool(const std::string& name, int residue, int atom)>;

Pred named(const std::string& list) {
  return [=](const std::string& n, int, int) { return (" " + list + " ").find(" " + n + " ") != std::string::npos; };
}
Pred in(int lo, int hi) {
  return [=](const std::string&, int r, int) { return r >= lo && r <= hi; };
}
Pred both(Pred p, Pred q) {
  return [=](const std::string& n, int r, int a) { return p(n, r, a) && q(n, r, a); };
}
Pred either(Pred p, Pred q) {
  return [=](const std::string& n, int r, int a) { return p(n, r, a) || q(n, r, a); };
}
Pred is_not(Pred p) {
  return [=](const std::string& n, int r, int a) { return !p(n, r, a); };
}
Pred atom(int k) {
  return [=](const std::string&, int, int a) { return a == k; };
}
const Pred all = in(1, 99), none = in(0, 0);

// Residues A1..A13 with the atoms N, CA, C, O, QB (atom 5r-4 .. 5r; QB of type DUMMY) and three angles each:
// the axes N-CA and CA-C move atoms beyond the molecule (lda > na), the axis C-O does not (lda = na).
// The ensemble members are structures 1 and 3; structure 2 is not one.
class Selection : public ::testing::Test {
 protected:
  SelectState s;
  VokanData& v = s.vokandata;
  void SetUp() override {
    make_molecule(v, 13, 5, 3);
    v.nattyp = 4;
    v.attyp.allocate(Dim(4));
    v.attyp(1) = "N", v.attyp(2) = "C", v.attyp(3) = "O", v.attyp(4) = "DUMMY";
    v.iatyp.allocate(Dim(v.na));
    for (int a = 1; a <= v.na; ++a) {
      v.anam(a) = std::vector<std::string>{"N", "CA", "C", "O", "QB"}[std::size_t((a - 1) % 5)];
      v.iatyp(a) = std::vector<int>{1, 2, 2, 3, 4}[std::size_t((a - 1) % 5)];
    }
    v.nd = 39;
    v.ida.allocate(Dim(4), Dim(-1, v.nd));
    v.lda.allocate(Dim(-1, v.nd));
    for (int k = -1; k <= v.nd; ++k) {  // the base columns -1 and 0 (axis QB-O) are no angles
      const int b = k <= 0 ? 4 : v.ifira((k - 1) / 3 + 1) + (k - 1) % 3;
      v.ida(1, k) = b - 1, v.ida(2, k) = b, v.ida(3, k) = b + 1, v.ida(4, k) = b + 2;
      v.lda(k) = k > 0 && k % 3 == 0 ? v.na : v.na + 1;
    }
    v.nsstr = 2;
    v.isstr(2) = 3;
    set_xyz(v, 2, 12, unknown_value, 0, 0);              // missing only outside the ensemble: kept
    set_xyz(v, 3, 7, unknown_value, 0, 0);               // CA of A2 missing in a member
    set_xyz(v, 0, 51, -unknown_value, 0, 0);             // N of A11 missing in the working structure
    set_xyz(v, 1, 6, 1.0e8, 0, 0);                       // N of A2: not below the limit
    set_xyz(v, 1, 11, -5.0e7, 0, 0);                     // large but present
    set_xyz(v, 3, 16, 0, unknown_value, unknown_value);  // only x is looked at
    v.iatyp(13) = 4;                                     // C of A3 has the type DUMMY
  }
  std::vector<int> atoms_where(const Pred& p) {
    std::vector<int> r;
    for (int a = 1; a <= v.na; ++a)
      if (p(v.anam(a), v.iar(a), a)) r.push_back(a);
    return r;
  }
  std::vector<int> flagged(const FArray<bool>& sel) {
    return atoms_where([&](auto&, int, int a) { return sel(a); });
  }
  std::vector<int> eval(const std::string& text) {
    FArray<bool> sel;
    bool error = true;
    select(s, text, sel, 1, error);
    EXPECT_FALSE(error) << text;
    return flagged(sel);
  }
  std::vector<int> selection_parameter(const std::string& value, FArray<bool>& sel) {
    Words w{value};
    params(s, w, atoms_select_template);
    const int n = getsel(s, "selection", 1, sel);
    EXPECT_EQ(n, int(flagged(sel).size()));
    return flagged(sel);
  }
};

TEST_F(Selection, Expressions) {
  const Pred coords = is_not(either(atom(6), either(atom(7), atom(51)))), dummy = either(named("QB"), atom(13));
  for (const auto& [text, pred] : std::vector<std::pair<std::string, Pred>>{
           {"", all},
           {"  *  ", all},
           {"C*", named("C CA")},
           {"?A", named("CA")},
           {"N\tCA", named("N CA")},
           {"ca", none},
           {"BACKBONE", named("N CA C")},
           {"&DUM*", dummy},
           {"~C*", named("N O QB")},
           {"WITHCOORDALL", coords},
           {":A5", in(5, 5)},
           {":5", none},
           {":A7-A5", none},
           {":A2-A99", none},
           {":-A3", in(1, 3)},
           {":A11-", in(11, 13)},
           {":A12..", in(12, 13)},
           {":*", all},
           {":", all},
           {":A1?", in(10, 10)},
           {":A1?-A1?", in(10, 13)},
           {":A5,A7", either(in(5, 5), in(7, 7))},
           {":A1-A2,A12-", either(in(1, 2), in(12, 13))},
           {":A3 :A9", either(in(3, 3), in(9, 9))},
           {":A2-A1" + std::string(15, '*') + "Z", in(2, 13)},  // items hold 20 characters: the Z is cut
           // terms and operators, left to right; an empty first term is everything
           {"CA :A2-A3", both(named("CA"), in(2, 3))},
           {":A2 N :A4 CA", both(named("N CA"), either(in(2, 2), in(4, 4)))},
           {"CA + N", named("CA N")},
           {"CA N - :A2", both(named("CA N"), is_not(in(2, 2)))},
           {"CA N ! :A2", both(named("CA N"), is_not(in(2, 2)))},
           {"* / :A2", in(2, 2)},
           {"CA = N", named("N")},
           {"CA + N / :A1-A2 - CA", both(named("N"), in(1, 2))},
           {"- CA", is_not(named("CA"))},
           {"CA -", none}})
    EXPECT_EQ(eval(text), atoms_where(pred)) << '"' << text << '"';
  v.lda(3) = v.na + 1;  // the C-O angle of A1 now qualifies: its axis atom O joins, the outer QB does not
  EXPECT_EQ(eval("BACKBONE"), atoms_where(either(named("N CA C"), atom(4))));
}

// The current selection is residues A1 and A2.
TEST_F(Selection, GetselCombinesWithTheCurrentSelection) {
  for (int a = 1; a <= v.na; ++a) v.asel(a) = a <= 10;
  const Pred ca = named("CA"), current = in(1, 2);
  for (const auto& [value, pred] : std::vector<std::pair<std::string, Pred>>{{"CA", ca},
                                                                             {"+CA", either(current, ca)},
                                                                             {"-CA", both(current, is_not(ca))},
                                                                             {"/ CA", both(current, ca)},
                                                                             {"!CA", is_not(ca)},
                                                                             {"!+CA", either(is_not(current), ca)},
                                                                             {"  + ! CA", either(current, is_not(ca))},
                                                                             {"-!CA", both(current, ca)},
                                                                             {"CA " + std::string(200, 'X'), ca}}) {
    FArray<bool> sel;
    EXPECT_EQ(selection_parameter(value, sel), atoms_where(pred)) << value;
  }
  EXPECT_EQ(flagged(v.asel), atoms_where(current)) << "asel itself is untouched";
  FArray<bool> sel;
  EXPECT_EQ(fatal_of([&] { getsel(s, "selection", 2, sel); }), "Illegal selection mode.");
  const std::string longer = "CA " + std::string(201, 'X');
  EXPECT_EQ(fatal_of([&] { selection_parameter(longer, sel); }), "Illegal selection \"" + longer + "\".");
}

}  // namespace
}  // namespace veldrix::testing

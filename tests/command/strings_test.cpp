// String utilities: wildcard match, word split, identifier split, number text; and the number reader.
#include <gtest/gtest.h>

#include "command/eva.hpp"
#include "command/strings.hpp"

namespace veldrix {
namespace {

TEST(Match, Wildcards) {
  EXPECT_TRUE(match("A12", "A*"));
  EXPECT_FALSE(match("A12", "A?"));
  EXPECT_TRUE(match("A12", "A??"));
  EXPECT_TRUE(match("A12", "*2"));
  EXPECT_FALSE(match("A", "B"));
  EXPECT_TRUE(match("HB2", "H*2"));
  EXPECT_TRUE(match("CA", "*"));
  EXPECT_TRUE(match("ABCABD", "A*B*D"));
  EXPECT_FALSE(match("ABCABE", "A*B*D"));
  EXPECT_TRUE(match("ABAB", "*AB"));
}

TEST(Match, PatternHeadIsAnchoredAtTheStart) {
  EXPECT_FALSE(match("A1", "1"));
  EXPECT_FALSE(match("A12", "1*"));
  EXPECT_TRUE(match("A12", "?1*"));
}

TEST(Match, TrailingBlanksAndBlankPatterns) {
  EXPECT_TRUE(match("CA   ", "CA"));
  EXPECT_TRUE(match("CA", "CA  "));
  EXPECT_TRUE(match("   ", ""));
  EXPECT_FALSE(match("CA", " "));
  EXPECT_TRUE(match("", "*"));
  EXPECT_FALSE(match("", "?"));
}

TEST(Split, WordsAreRunsOfPrintableCharacters) {
  std::vector<std::string> w;
  split("  ATOM  N   1.0 ", w, 10);
  EXPECT_EQ(w, (std::vector<std::string>{"ATOM", "N", "1.0"}));
  w.clear();
  split("a\tb\rc d e", w, 3);
  EXPECT_EQ(w, (std::vector<std::string>{"a", "b", "c"}));
  w.assign(1, "x");
  split("long_word y", w, 3, 4);
  EXPECT_EQ(w, (std::vector<std::string>{"x", "long", "y"}));
}

TEST(Rsplit, HeadNumberTail) {
  RSplit r = rsplit("ALA12", 0);
  EXPECT_EQ(r.head, "ALA");
  EXPECT_EQ(r.number, 12);
  EXPECT_EQ(r.tail, "");
  r = rsplit("12B", 1);
  EXPECT_EQ(r.head, "A");
  EXPECT_EQ(r.number, 12);
  EXPECT_EQ(r.tail, "B");
  r = rsplit("12B", 0);
  EXPECT_EQ(r.head, "");
  r = rsplit("B-5", 0);
  EXPECT_EQ(r.head, "B");
  EXPECT_EQ(r.number, -5);
  r = rsplit("XYZ", 0);
  EXPECT_EQ(r.head, "XYZ");
  EXPECT_EQ(r.number, 0);
}

TEST(NumberText, IntstrAndNumstr) {
  EXPECT_EQ(intstr(-5), "-5");
  EXPECT_EQ(intstr(123456), "123456");
  EXPECT_EQ(numstr(0.25, 4), "0.25");
  EXPECT_EQ(numstr(3.0, 4), "3.0");
  const std::string big = numstr(1.0e12, 4);
  EXPECT_NE(big.find('E'), std::string::npos);
  EXPECT_DOUBLE_EQ(std::stod(big), 1.0e12);
  EXPECT_EQ(numstr(-0.000123456, 4), "-0.0001235");  // about `digits` significant digits
}

TEST(Indexr, LastOccurrence) {
  EXPECT_EQ(indexr("dir.x/prot.pdb", "."), 11);
  EXPECT_EQ(indexr("abc", "/"), 0);
}

TEST(Eva, NumbersOfEveryForm) {
  EvaResult r = eva("0.40", 0);
  EXPECT_EQ(r.type, 2);
  EXPECT_DOUBLE_EQ(r.rval, 0.4);
  r = eva("03", 0);
  EXPECT_EQ(r.type, 1);
  EXPECT_EQ(r.ival, 3);
  r = eva("1.5e2", 0);
  EXPECT_EQ(r.type, 2);
  EXPECT_DOUBLE_EQ(r.rval, 150.0);
  r = eva("2.5d-1", 0);
  EXPECT_DOUBLE_EQ(r.rval, 0.25);
  r = eva("2*4", 0);
  EXPECT_EQ(r.type, 1);
  EXPECT_EQ(r.ival, 2);
}

TEST(Eva, FailuresAndConflicts) {
  EXPECT_LT(eva("1.2.3", 0).type, 0);
  EXPECT_EQ(eva("1.2.3", 0).type, -1);
  EXPECT_EQ(eva("x 1.2.3", 0).type, -3);
  EXPECT_EQ(eva("*****", 0).type, 0);
  EXPECT_EQ(eva("   ", 0).type, 0);
  EXPECT_EQ(eva("1.0", 1).type, 0);
  EXPECT_EQ(eva("7", 4).type, 0);
  EXPECT_EQ(eva("7", 5).type, 5);
  EXPECT_LT(eva("99999999999", 0).type, 0);
}

TEST(Eva, SignsAreSkippedNotApplied) {
  EXPECT_DOUBLE_EQ(eva("-0.5", 2).rval, 0.5);
}

TEST(Eva, IntegerAndRealEntryPoints) {
  int err = 0;
  EXPECT_EQ(ieva("08", err), 8);
  EXPECT_EQ(err, 0);
  EXPECT_DOUBLE_EQ(reva("1", err), 1.0);
  EXPECT_EQ(err, 0);
  ieva("1.0", err);
  EXPECT_EQ(err, -1);
  reva("*****", err);
  EXPECT_EQ(err, -1);
  reva("", err);
  EXPECT_EQ(err, -1);
}

}  // namespace
}  // namespace veldrix

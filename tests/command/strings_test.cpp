// Wildcard match, word split, identifier split, and the reader of numeric parameter values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command/eva.hpp"
#include "command/strings.hpp"

namespace veldrix {
namespace {

TEST(Match, WildcardsAnchorsAndTrailingBlanks) {
  struct Case {
    const char *text, *pattern;
    bool result;
  };
  const Case cases[] = {
      {"A12", "A*", true},     {"A12", "A?", false},    {"A12", "A??", true},       {"A12", "*2", true},
      {"A", "B", false},       {"HB2", "H*2", true},    {"CA", "*", true},          {"ABCABD", "A*B*D", true},
      {"ABCABE", "A*B*D", false}, {"ABAB", "*AB", true}, {"A1", "1", false},        {"A12", "1*", false},
      {"A12", "?1*", true},    {"CA   ", "CA", true},   {"CA", "CA  ", true},       {"   ", "", true},
      {"CA", " ", false},      {"", "*", true},         {"", "?", false},           {"A1", "*A1*", true},
  };
  for (const Case& c : cases) EXPECT_EQ(match(c.text, c.pattern), c.result) << c.text << " ~ " << c.pattern;
}

TEST(Split, WordsAreRunsOfPrintableCharactersCutToTheirWidth) {
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
  struct Case {
    const char* text;
    int mode;
    const char* head;
    int number;
    const char* tail;
  };
  const Case cases[] = {
      {"ALA12", 0, "ALA", 12, ""}, {"12B", 1, "A", 12, "B"}, {"12B", 0, "", 12, "B"},
      {"B-5", 0, "B", -5, ""},     {"XYZ", 0, "XYZ", 0, ""}, {"A99999999999", 0, "A", 0, ""},
      {"A1-2", 0, "A", 0, ""},     {"A7  ", 0, "A", 7, ""},
  };
  for (const Case& c : cases) {
    const RSplit r = rsplit(c.text, c.mode);
    EXPECT_EQ(r.head + "|" + std::to_string(r.number) + "|" + r.tail,
              std::string(c.head) + "|" + std::to_string(c.number) + "|" + c.tail)
        << c.text;
  }
  EXPECT_EQ(intstr(-5), "-5");
}

// The first number token counts; signs and operators between tokens are skipped, not applied.
TEST(Eva, TypesValuesAndFailurePositions) {
  struct Case {
    const char* text;
    int type, want_type, ival;
    double rval;
  };
  const Case cases[] = {
      {"0.40", 0, 2, 0, 0.4},   {"03", 0, 1, 3, 0.0},      {"1.5e2", 0, 2, 0, 150.0}, {"2.5d-1", 0, 2, 0, 0.25},
      {"2*4", 0, 1, 2, 0.0},    {"-0.5", 2, 2, 0, 0.5},    {"7", 2, 2, 7, 7.0},       {"1.0", 1, 0, 0, 0.0},
      {"1.2.3", 0, -1, 0, 0.0}, {"x 1.2.3", 0, -3, 0, 0.0}, {"*****", 0, 0, 0, 0.0},  {"   ", 0, 0, 0, 0.0},
      {"7", 4, 0, 0, 0.0},      {"7", 5, 5, 0, 0.0},       {"99999999999", 0, -1, 0, 0.0},
  };
  for (const Case& c : cases) {
    const EvaResult r = eva(c.text, c.type);
    EXPECT_EQ(r.type, c.want_type) << c.text;
    if (r.type > 0) {
      EXPECT_EQ(r.ival, c.ival) << c.text;
      EXPECT_DOUBLE_EQ(r.rval, c.rval) << c.text;
    }
  }
  int err = 1;
  EXPECT_EQ(ieva("08", err), 8);
  EXPECT_EQ(err, 0);
  EXPECT_DOUBLE_EQ(reva("1", err), 1.0);
  EXPECT_EQ(err, 0);
  for (const char* bad : {"1.0", "*****", ""}) {
    ieva(bad, err);
    EXPECT_EQ(err, -1) << bad;
  }
  reva("", err);
  EXPECT_EQ(err, -1);
}

}  // namespace
}  // namespace veldrix

// The message facility: levels, prefixes, line breaks, placeholders and the argument queue.
#include <gtest/gtest.h>

#include "command/message.hpp"
#include "command/praxel.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

using testing::Captured;
using testing::stop_status;

TEST(Putlin, LineBreaksGiveEmptyFirstAndLastLines) {
  Captured c;
  putlin(2, "@/abc@/");
  EXPECT_EQ(c.text(), " \n    abc\n \n");
}

TEST(Putlin, PrefixesAndContinuationIndentByLevel) {
  Captured c;
  wrnmsg("w@/x");
  errmsg("e@/y");
  putlin(10, "plain@/more");
  putlin(1, "info@/next");
  EXPECT_EQ(c.text(),
            "*** WARNING: w\n             x\n"
            "*** ERROR: e\n           y\n"
            "plain\nmore\n"
            "    info\n    next\n");
}

TEST(Putlin, FatalPrintsAlignedContinuationAndStopsWithStatusOne) {
  Captured c;
  EXPECT_EQ(stop_status([] { fatmsg("a@/b"); }), 1);
  EXPECT_EQ(c.text(), "*** FATAL ERROR: a\n                 b\n");
}

TEST(Putlin, InformationLevelDecidesWhatIsShown) {
  Captured c;
  putlin(3, "hidden");
  putlin(13, "hidden too");
  putlin(12, "shown");
  putlin(2, "shown too");
  EXPECT_EQ(c.text(), "shown\n    shown too\n");
  praxeldata.iured = 1;
  c.clear();
  putlin(2, "quiet");
  putlin(12, "quiet");
  wrnmsg("loud");
  EXPECT_EQ(c.text(), "*** WARNING: loud\n");
}

TEST(Putlin, ErrorLevelSetsTheErrorFlagWarningDoesNot) {
  Captured c;
  wrnmsg("w");
  EXPECT_FALSE(haverr());
  errmsg("e");
  EXPECT_TRUE(haverr());
}

TEST(Putlin, SqueezeMarkerShrinksBlanks) {
  Captured c;
  putlin(10, "@_   a   b  " + strp("  c   d"));
  EXPECT_EQ(c.text(), "a b c d\n");
}

TEST(Putlin, LongMessagesArePrintedWhole) {
  Captured c;
  const std::string ranges(1500, 'x');
  putlin(2, "Optimal range " + strp(ranges) + ": end");
  EXPECT_EQ(c.text(), "    Optimal range " + ranges + ": end\n");
}

TEST(Putlin, EveryCallEmptiesTheQueue) {
  Captured c;
  intp(1);
  intp(2);
  putlin(3, "not shown");
  EXPECT_EQ(printdata.narg, 0);
  EXPECT_EQ(intp(7), "%Ad");
}

TEST(PrintArguments, TokensNameTheirSlots) {
  Captured c;
  EXPECT_EQ(realf(0.5238, 0, 2), "%A  0. 2f");
  EXPECT_EQ(intp(42), "%Bd");
  EXPECT_EQ(strq("CA"), "\"%Cs\"");
  EXPECT_EQ(plural(3, "residue"), "%Dd %Es");
  EXPECT_EQ(strp("x"), "%Fs");
  EXPECT_EQ(printdata.narg, 6);
}

TEST(PrintArguments, ExpansionOfEveryKind) {
  Captured c;
  const std::string t = "RMSD " + realf(0.5238, 0, 2) + " A, " + plural(1, "gap") + ", " + plural(3, "residue") +
                        ", atom " + strq("CA") + ", n=" + intp(-42) + ".";
  putlin(2, t);
  EXPECT_EQ(c.text(), "    RMSD 0.52 A, 1 gap, 3 residues, atom \"CA\", n=-42.\n");
}

TEST(PrintArguments, PluralOfZeroTakesTheS) {
  Captured c;
  putlin(10, plural(0, "gap"));
  EXPECT_EQ(c.text(), "0 gaps\n");
}

TEST(PrintArguments, BlankTextMakesItsPlaceholderVanish) {
  Captured c;
  putlin(10, "[" + strp("   ") + "]");
  EXPECT_EQ(c.text(), "[]\n");
}

TEST(PrintArguments, ThirtiethArgumentIsFatal) {
  Captured c;
  for (int i = 0; i < 29; ++i) intp(i);
  EXPECT_EQ(stop_status([] { intp(99); }), 1);
  EXPECT_EQ(c.text(), "*** FATAL ERROR: Too many print arguments.\n");
}

TEST(PrintArguments, PluralNeedsTwoFreeSlots) {
  Captured c;
  for (int i = 0; i < 28; ++i) intp(i);
  EXPECT_EQ(stop_status([] { plural(2, "gap"); }), 1);
}

TEST(Fmtstr, PercentSignsAndUnterminatedPlaceholders) {
  Captured c;
  EXPECT_EQ(fmtstr("100%"), "100");
  EXPECT_EQ(fmtstr("a %% b"), "a % b");
  EXPECT_EQ(fmtstr("x%12%y"), "x%y");
}

TEST(Fmtstr, UnletteredPlaceholdersTakeConsecutiveSlots) {
  Captured c;
  printdata.sarg[1] = "one";
  printdata.sarg[2] = "two";
  EXPECT_EQ(fmtstr("%s-%s"), "one-two");
  printdata.iarg[2] = 5;
  EXPECT_EQ(fmtstr("%Bd/%s"), "5/one");
}

TEST(Fmtstr, RealsRoundToTheirDecimals) {
  Captured c;
  printdata.rarg[1] = 0.125;
  printdata.rarg[2] = 12.3456;
  printdata.rarg[3] = 0.0;
  EXPECT_EQ(fmtstr("%A  0. 2f|%B  0. 1f|%C  0. 3f"), "0.12|12.3|0.000");
}

TEST(Fmtstr, ExplicitWidthRightAdjusts) {
  Captured c;
  printdata.iarg[1] = 7;
  EXPECT_EQ(fmtstr("[%A3d]"), "[  7]");
}

TEST(Aloerr, NamesFileAndLine) {
  Captured c;
  EXPECT_EQ(stop_status([] { aloerr("build", 12); }), 1);
  EXPECT_EQ(c.text(), "*** FATAL ERROR: Memory allocation error in line 12 of \"build\".\n");
}

TEST(Inflev, IsTheLargerLevel) {
  Captured c;
  praxeldata.infof = 7;
  EXPECT_EQ(inflev(), 7);
}

}  // namespace
}  // namespace veldrix

// Messages: levels, prefixes, "@/" line breaks, placeholders, the argument queue, fatal texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command/message.hpp"
#include "command/state.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

using testing::fatal_of;
using testing::printed;
using testing::stop_of;

TEST(Putlin, PrefixesLineBreaksAndContinuationIndent) {
  CommandState s;
  putlin(s, 2, "@/abc@/");
  wrnmsg(s, "w@/x");
  putlin(s, -2, "e@/y");
  putlin(s, 10, "plain@/more");
  putlin(s, 1, "info  @/next");
  putlin(s, 10, "@_   a   b  " + strp(s, "  c   d"));
  const std::string ranges(1500, 'x');
  putlin(s, 2, "Optimal range " + strp(s, ranges) + ": end");
  EXPECT_EQ(printed(s),
            " \n    abc\n \n"
            "*** WARNING: w\n             x\n"
            "*** ERROR: e\n           y\n"
            "plain\nmore\n"
            "    info\n    next\n"
            "a b c d\n"
            "    Optimal range " + ranges + ": end\n");
  EXPECT_EQ(s.printdata.warnings, std::vector<std::string>{"w\n             x"});
}

TEST(Putlin, InformationLevelDecidesWhatIsShownAndEveryCallEmptiesTheQueue) {
  CommandState s;
  putlin(s, 3, "hidden " + intp(s, 1));
  putlin(s, 13, "hidden too");
  putlin(s, 0, "never");
  putlin(s, 12, "shown");
  putlin(s, 2, "shown too");
  EXPECT_EQ(printed(s), "shown\n    shown too\n");
  EXPECT_EQ(intp(s, 7), "%Ad") << "the hidden message emptied the queue";
  s.printdata.infos = 0;
  s.printdata.lines.clear();
  putlin(s, 2, "quiet");
  wrnmsg(s, "loud");
  EXPECT_EQ(printed(s), "*** WARNING: loud\n");
}

TEST(Fatal, MessagesAreCarriedNotPrinted) {
  CommandState s;
  const Stop stop = stop_of([&] { fatmsg(s, "a " + strq(s, "x") + "@/b"); }).value_or(Stop{});
  EXPECT_EQ(std::to_string(stop.status) + stop.message, "1a \"x\"\n                 b");
  EXPECT_TRUE(s.printdata.lines.empty());
  EXPECT_EQ(s.printdata.narg, 0);
  EXPECT_EQ(fatal_of([] { fatal_text("No rotatable dihedral angles."); }), "No rotatable dihedral angles.");
  EXPECT_EQ(fatal_of([&] { aloerr(s, "build", 12); }), "Memory allocation error in line 12 of \"build\".");
  EXPECT_EQ(fatal_of([&] { cannot_read(s, 3, "ATOM  x"); }), "Cannot read line 3:\n                 ATOM  x");
  const Stop end = stop_of([] { stopit(0); }).value_or(Stop{9, "returned"});
  EXPECT_EQ(std::to_string(end.status) + end.message, "0");
}

TEST(PrintArguments, TokensSlotsAndExpansion) {
  CommandState s;
  EXPECT_EQ(realf(s, 0.5238, 0, 2), "%A  0. 2f");
  EXPECT_EQ(intp(s, -42), "%Bd");
  EXPECT_EQ(strq(s, "CA"), "\"%Cs\"");
  EXPECT_EQ(plural(s, 3, "residue"), "%Dd %Es");
  EXPECT_EQ(plural(s, 1, "gap"), "%Fd %Gs");
  EXPECT_EQ(plural(s, 0, "gap"), "%Hd %Is");
  EXPECT_EQ(strp(s, "   "), "%Js");
  putlin(s, 10, "RMSD %A  0. 2f A, %Fd %Gs, %Dd %Es, %Hd %Is, atom \"%Cs\", n=%Bd.[%Js]");
  EXPECT_EQ(printed(s), "RMSD 0.52 A, 1 gap, 3 residues, 0 gaps, atom \"CA\", n=-42.[]\n");
}

TEST(PrintArguments, TheThirtiethArgumentIsFatal) {
  for (const bool use_plural : {false, true}) {
    CommandState s;
    for (int i = 0; i < (use_plural ? 28 : 29); ++i) intp(s, i);
    EXPECT_EQ(fatal_of([&] { use_plural ? plural(s, 2, "gap") : intp(s, 99); }), "Too many print arguments.");
  }
}

TEST(Fmtstr, PlaceholdersWidthsDecimalsAndPercentSigns) {
  PrintData p;
  p.sarg[1] = "one", p.sarg[2] = "two", p.iarg[1] = 7, p.iarg[2] = 5, p.rarg[1] = 0.125, p.rarg[2] = 12.3456;
  const std::vector<std::pair<std::string, std::string>> cases{
      {"100%", "100"}, {"a %% b", "a % b"}, {"x%12%y", "x%y"}, {"%s-%s", "one-two"}, {"%Bd/%s", "5/one"},
      {"%A  0. 2f|%B  0. 1f|%C  0. 3f", "0.12|12.3|0.000"},
      {"[%A3d]", "[  7]"}, {"[%A5s]", "[  one]"}, {"[%A 1d]", "[7]"}, {"%Zd", "0"}, {"%A", ""},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(fmtstr(p, text), want) << text;
  EXPECT_EQ(squeze("   a   b  c "), "a b c ");
}

}  // namespace
}  // namespace veldrix

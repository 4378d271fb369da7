// Messages and print arguments, wildcards, identifier and word splitting, numeric values, parameter templates.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "command/eva.hpp"
#include "command/message.hpp"
#include "command/params.hpp"
#include "command/state.hpp"
#include "command/strings.hpp"
#include "test_support.hpp"
#include "util/numbers.hpp"

namespace veldrix {
namespace {

using testing::fatal_of;
using testing::printed;
using Words = std::vector<std::string>;

TEST(Messages, PrefixesLineBreaksLevelsAndArguments) {
  CommandState s;
  putlin(s, 2, "@/abc@/");
  wrnmsg(s, "w@/x");
  putlin(s, -2, "e@/y");
  putlin(s, 10, "plain@/more");
  putlin(s, 1, "info  @/next");
  putlin(s, 10, "@_   a   b  " + strp(s, "  c   d"));
  putlin(s, 3, "hidden " + intp(s, 1));
  EXPECT_EQ(intp(s, 7), "%Ad") << "a message above the information level empties the queue too";
  putlin(s, 13, "hidden too");
  putlin(s, 0, "never");
  putlin(s, 10,
         "RMSD " + realf(s, 0.5238, 0, 2) + " A, " + plural(s, 1, "gap") + ", " + plural(s, 3, "residue") + ", " +
             plural(s, 0, "gap") + ", atom " + strq(s, "CA") + ", n=" + intp(s, -42) + ".[" + strp(s, "   ") + "]");
  EXPECT_EQ(printed(s),
            " \n    abc\n \n*** WARNING: w\n             x\n*** ERROR: e\n           y\nplain\nmore\n"
            "    info\n    next\na b c d\nRMSD 0.52 A, 1 gap, 3 residues, 0 gaps, atom \"CA\", n=-42.[]\n");
  EXPECT_EQ(s.printdata.warnings, Words{"w\n             x"});
  s.printdata.infos = 0;
  s.printdata.lines.clear();
  putlin(s, 2, "quiet");
  wrnmsg(s, "loud");
  EXPECT_EQ(printed(s), "*** WARNING: loud\n");
}

TEST(Messages, FatalTextsAreCarriedNotPrinted) {
  CommandState s;
  const Stop stop = testing::stop_of([&] { fatmsg(s, "a " + strq(s, "x") + "@/b"); }).value_or(Stop{});
  EXPECT_EQ(std::to_string(stop.status) + stop.message, "1a \"x\"\n                 b");
  EXPECT_EQ(s.printdata.lines.size() + std::size_t(s.printdata.narg), 0u);
  EXPECT_EQ(fatal_of([&] { cannot_read(s, 3, "ATOM  x"); }), "Cannot read line 3:\n                 ATOM  x");
  for (const bool use_plural : {false, true}) {  // 29 slots: the thirtieth argument is fatal
    s.printdata.narg = 0;
    for (int i = 0; i < (use_plural ? 28 : 29); ++i) intp(s, i);
    EXPECT_EQ(fatal_of([&] { use_plural ? plural(s, 2, "gap") : intp(s, 99); }), "Too many print arguments.");
  }
}

TEST(Messages, PlaceholdersWidthsDecimalsAndPercentSigns) {
  PrintData p;
  p.sarg[1] = "one", p.sarg[2] = "two", p.iarg[1] = 7, p.iarg[2] = 5, p.rarg[1] = 0.125, p.rarg[2] = 12.3456;
  for (const auto& [text, want] :
       std::vector<std::pair<std::string, std::string>>{{"100%", "100"},
                                                        {"a %% b", "a % b"},
                                                        {"x%12%y", "x%y"},
                                                        {"%s-%s", "one-two"},
                                                        {"%Bd/%s", "5/one"},
                                                        {"%A  0. 2f|%B  0. 1f|%C  0. 3f", "0.12|12.3|0.000"},
                                                        {"[%A3d]", "[  7]"},
                                                        {"[%A5s]", "[  one]"},
                                                        {"[%A 1d]", "[7]"},
                                                        {"%Zd", "0"},
                                                        {"%A", ""}})
    EXPECT_EQ(fmtstr(p, text), want) << text;
}

TEST(Strings, WildcardsWordsAndIdentifiers) {
  for (const auto& [text, pattern, result] :
       std::vector<std::tuple<std::string, std::string, bool>>{{"A12", "A*", true},
                                                               {"A12", "A?", false},
                                                               {"A12", "A??", true},
                                                               {"HB2", "H*2", true},
                                                               {"ABCABD", "A*B*D", true},
                                                               {"ABCABE", "A*B*D", false},
                                                               {"ABAB", "*AB", true},
                                                               {"A1", "1", false},
                                                               {"A12", "?1*", true},
                                                               {"CA   ", "CA", true},
                                                               {"CA", "CA  ", true},
                                                               {"   ", "", true},
                                                               {"CA", " ", false},
                                                               {"", "*", true},
                                                               {"", "?", false}})
    EXPECT_EQ(match(text, pattern), result) << text << " ~ " << pattern;
  Words w{"x"};
  split("  ATOM\tN\r1.0 ", w, 10);
  split("long_word y z", w, 6, 4);
  EXPECT_EQ(w, (Words{"x", "ATOM", "N", "1.0", "long", "y"}));
  for (const auto& [text, mode, parts] :
       std::vector<std::tuple<std::string, int, std::string>>{{"ALA12", 0, "ALA|12|"},
                                                              {"12B", 1, "A|12|B"},
                                                              {"12B", 0, "|12|B"},
                                                              {"B-5", 0, "B|-5|"},
                                                              {"XYZ", 0, "XYZ|0|"},
                                                              {"A99999999999", 0, "A|0|"},
                                                              {"A1-2", 0, "A|0|"},
                                                              {"A7  ", 0, "A|7|"}}) {
    const RSplit r = rsplit(text, mode);
    EXPECT_EQ(r.head + "|" + intstr(r.number) + "|" + r.tail, parts) << text;
  }
}

// The first number token counts; signs and operators between tokens are skipped, not applied.
TEST(Strings, NumericValuesTheirTypesAndFailurePositions) {
  for (const auto& [text, type, want] :
       std::vector<std::tuple<std::string, int, std::string>>{{"0.40", 0, "2 0 0.4"},
                                                              {"03", 0, "1 3 0"},
                                                              {"1.5e2", 0, "2 0 150"},
                                                              {"2.5d-1", 0, "2 0 0.25"},
                                                              {"2*4", 0, "1 2 0"},
                                                              {"-0.5", 2, "2 0 0.5"},
                                                              {"7", 2, "2 7 7"},
                                                              {"1.0", 1, "0"},
                                                              {"1.2.3", 0, "-1"},
                                                              {"x 1.2.3", 0, "-3"},
                                                              {"*****", 0, "0"},
                                                              {"   ", 0, "0"},
                                                              {"7", 4, "0"},
                                                              {"7", 5, "5 0 0"},
                                                              {"99999999999", 0, "-1"}}) {
    const EvaResult r = eva(text, type);
    EXPECT_EQ(std::to_string(r.type) + (r.type > 0 ? " " + intstr(r.ival) + " " + shortest_text(r.rval) : ""), want)
        << text;
  }
  int e1 = 1, e2 = 1, e3 = 0, e4 = 0;
  EXPECT_EQ(ieva("08", e1) + reva("1", e2) + ieva("1.0", e3) + reva("", e4), 8 + 1 + 0 + 0);
  EXPECT_EQ(Words({intstr(e1), intstr(e2), intstr(e3), intstr(e4)}), Words({"0", "0", "-1", "-1"}));
}

const std::string read_first =
    "action=lib|seq|ang|cor|pdb|upl|lol|aco|cco|rdc|pcs|peaks|xpk|prot|bmrb|nmrview|xplor|csa "
    "file=@f.$action ** unknown=error|warning|skip=error";
const std::string read_pdb = "structure=0<@i=1 chains=*=* rigid flexible bfactor append new";
const std::string overlay = "keep=*= decrease=@r=1.2 gap=@r=0.4 minimum=@i=8 buffer=@i=3";
const std::string abbrev = "gapwidth=@i=3 gap=@r=0.4 str*ucture=@i=1 *file=*=x";

std::string illegal(const std::string& value, const std::string& name) {
  return "Illegal value \"" + value + "\" for parameter \"" + name + "\".";
}
std::string quoted(const std::string& head, const std::string& name, const std::string& tail = ".") {
  return head + " \"" + name + "\"" + tail;
}

TEST(Params, EveryRefusalStopsWithItsMessage) {
  const std::string dollar = quoted("Illegal use of", "$", " in format."), dup = "Duplicate parameter";
  const std::string unknown = "Unknown parameter name", wrong = "Illegal parameter";
  for (const auto& [words, templ, message] : std::vector<std::tuple<Words, std::string, std::string>>{
           {{"pdb", "x", "unknown=x"}, read_first, illegal("x", "unknown")},
           {{"p", "x"}, read_first, illegal("p", "action")},  // pdb, pcs, peaks, prot
           {{"lib"}, read_first, quoted("Missing parameter", "file")},
           {{"structure=0"}, read_pdb, illegal("0", "structure")},
           {{"bfa"}, read_pdb, illegal("bfa", "structure")},  // too short to name an option
           {{"rigid", "rigid"}, read_pdb, quoted("Duplicate or contradicting option", "rigid")},
           {{"fast", "exact"}, "n=@i=1 fast|slow|exact", quoted("Duplicate or contradicting option", "exact")},
           {{"rigid=1"}, read_pdb, quoted("Option", "rigid", " must not have a value.")},
           {{"1", "*", "rigid", "new", "append", "bfactor", "flexible", "x"}, read_pdb, quoted(wrong, "x")},
           {{"1", "2"}, "a=* opt", quoted(wrong, "2")},
           {{"ga=1"}, abbrev, quoted("Ambiguous parameter name", "ga")},
           {{"st=2"}, abbrev, quoted(unknown, "st")},
           {{"file=y"}, abbrev, quoted(unknown, "file")},
           {{"1", "zz=1"}, "a=* *", quoted(unknown, "zz")},
           {{"file"}, "file==* mode=a|b=a", quoted("Missing value for parameter", "file")},
           {{}, "file==*", quoted("Missing parameter", "file")},
           {{"a=1", "a=2"}, "a=* b=*", quoted(dup, "a")},
           {{"x", "a=2"}, "a=* b=*", quoted(dup, "a")},
           {{"b=1", "x"}, "a=* b=*", quoted(dup, "b")},
           {{"buffer=1.0"}, overlay, illegal("1.0", "buffer")},
           {{"gap="}, overlay, illegal("", "gap")},
           {{"0"}, "n=0<@i", illegal("0", "n")},
           {{"10"}, "n=@i<10", illegal("10", "n")},
           {{"5"}, "n=2<=@i<=4", illegal("5", "n")},
           {{"1"}, "n=@i$", dollar},
           {{"a"}, "k=a|$b", dollar},
           {{"x"}, "f=@f.$nope", dollar}}) {
    CommandState s;
    Words w = words;
    EXPECT_EQ(fatal_of([&] { params(s, w, templ); }), message) << templ;
  }
}

// What the fetch routines give for the names of `expected` ("name=value ..."): a name alone is fetched
// with getpar, with "#" by iparam, "." by rparam, "?" by havpar, "!" by option.
std::string fetched(CommandState& s, const std::string& expected) {
  std::istringstream items(expected);
  std::string out;
  for (std::string item; items >> item;) {
    const std::string key = item.substr(0, item.find('=')), name = key.substr(0, key.find_first_of("#.?!"));
    std::string value;
    switch (key.back()) {
      case '#': value = intstr(iparam(s, name)); break;
      case '.': value = shortest_text(rparam(s, name)); break;
      case '?': value = havpar(s, name) ? "1" : "0"; break;
      case '!': value = option(s, name) ? "1" : "0"; break;
      default: value = getpar(s, name);
    }
    out += (out.empty() ? "" : " ") + key + "=" + value;
  }
  return out;
}

TEST(Params, AcceptedWordsAndWhatTheyGive) {
  struct Case {
    std::string templ;
    Words words;
    std::string expected;
    Words handed_back = {};
  };
  for (const auto& [templ, words, expected, handed_back] : std::vector<Case>{
           // file names take the extension of their format; only an unknown name=value word is handed back
           {read_first, {"pdb", "prot", "unknown=skip", "chains=*"}, "file=prot.pdb action#=5", {"chains=*"}},
           {read_first, {"pdb", "prot.ent"}, "file=prot.ent"},
           {read_first, {"pdb", "d.x/p"}, "file=d.x/p.pdb"},
           {read_first, {"pdb", "prot|"}, "file=prot"},
           {read_first, {"pdb", "disk:m"}, "file=disk:m.pdb"},
           {read_first, {"pdb", "[a.b]m"}, "file=[a.b]m.pdb"},
           {read_first, {"pdb", "*"}, "file=*"},
           {read_first, {"file=prot", "action=li"}, "file=prot.lib"},            // the action named later still counts
           {read_first, {"lib", ""}, "file= file?=1 unknown=error unknown?=0"},  // the run script's library word
           // keywords: a unique prefix names one, an exact keyword wins over longer ones
           {read_first, {"prot", "x", "unknown=sk"}, "unknown=skip unknown#=3 action#=14"},
           {read_first, {"prot", "x", "unknown=w"}, "unknown=warning unknown#=2"},
           {read_first, {"prot", "x", "unk=error"}, "unknown=error unknown#=1"},
           {"k=alpha|beta|*", {"c"}, "k#=3"},
           // options, defaults, abbreviated and positional names, words handed back through "*" and "**"
           {read_pdb, {"chains=A", "bfac", "new"}, "structure#=1 structure?=0 chains=A bfactor!=1 new!=1 append!=0"},
           {"n=@i=1 fast|slow|exact verbose", {"slow", "verb"}, "slow!=1 verbose!=1 fast!=0"},
           {abbrev, {"gap=0.35", "gapw=5", "str=2"}, "gap.=0.35 gapwidth#=5 structure#=2"},
           {abbrev, {"4", "0.5", "6", "y"}, "gapwidth#=4 gap.=0.5 structure#=6 file=y"},
           {"a=* * b=*", {"1", "2", "b=7", "3"}, "a=1 b=7", {"2", "3"}},
           {"a=* ** b=*", {"1", "zz=5", "2", "b=7", "yy"}, "a=1 b=7", {"zz=5", "2", "yy"}},
           // only a value's first number counts, an integer is a real too; a bare parameter name is a value
           {overlay, {"minimum=2*4", "decrease=2"}, "minimum#=2 decrease.=2 gap.=0.4 keep?=0"},
           {overlay, {"gap"}, "keep=gap gap?=0"},
           // bounds: strict or not, on either side
           {"n=0<=@i", {"0"}, "n#=0"},
           {"n=@i<=10", {"10"}, "n#=10"},
           {"x=0.5<=@r<1", {"0.5"}, "x.=0.5"}}) {
    CommandState s;
    Words w = words;
    params(s, w, templ);
    EXPECT_EQ(fetched(s, expected), expected) << templ;
    EXPECT_EQ(w, handed_back) << templ;
  }
  CommandState s;
  Words w{"x"};
  params(s, w, "a=* opt");
  EXPECT_EQ(fatal_of([&] { getpar(s, "nope"); }), R"(Illegal parameter "nope".)");
  EXPECT_EQ(fatal_of([&] { havpar(s, "op"); }), R"(Illegal parameter "op".)");
  EXPECT_EQ(fatal_of([&] { option(s, "a"); }), R"(Illegal option "a".)");
}

}  // namespace
}  // namespace veldrix

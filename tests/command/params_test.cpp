// Parameter templates: positions, abbreviations, options and exclusion groups, defaults, bounds,
// ranges, file extensions, and every refusal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command/params.hpp"
#include "command/state.hpp"
#include "util/numbers.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

using testing::fatal_of;
using Words = std::vector<std::string>;

const std::string read_first =
    "action=lib|seq|ang|cor|pdb|upl|lol|aco|cco|rdc|pcs|peaks|xpk|prot|bmrb|nmrview|xplor|csa "
    "file=@f.$action ** unknown=error|warning|skip=error";
const std::string read_pdb = "structure=0<@i=1 chains=*=* rigid flexible bfactor append new";
const std::string structures_first =
    "action=insert|mean|list|clear|copy|select|sort|violate|secondary|hbonds|swap|calibrate|overlay|radius|"
    "peakvolumes=list **";
const std::string overlay =
    "keep=*= decrease=@r=1.2 absdecrease=@r=1.6 gap=@r=0.4 gapwidth=@i=3 minimum=@i=8 buffer=@i=3 upper_rmsd=@r=0.1";
const std::string abbrev = "gapwidth=@i=3 gap=@r=0.4 str*ucture=@i=1 *file=*=x";

std::string illegal(const std::string& value, const std::string& name) {
  return "Illegal value \"" + value + "\" for parameter \"" + name + "\".";
}

TEST(Params, EveryRefusalStopsWithItsMessage) {
  struct Case {
    Words words;
    std::string templ, message;
  };
  const std::vector<Case> cases{
      {{"pdb", "x", "unknown=x"}, read_first, illegal("x", "unknown")},
      {{"p", "x"}, read_first, illegal("p", "action")},  // pdb, pcs, peaks, prot
      {{"lib"}, read_first, R"(Missing parameter "file".)"}, {{"structure=0"}, read_pdb, illegal("0", "structure")},
      {{"bfa"}, read_pdb, illegal("bfa", "structure")},  // too short to name an option
      {{"rigid", "rigid"}, read_pdb, R"(Duplicate or contradicting option "rigid".)"},
      {{"fast", "exact"}, "n=@i=1 fast|slow|exact", R"(Duplicate or contradicting option "exact".)"},
      {{"rigid=1"}, read_pdb, R"(Option "rigid" must not have a value.)"},
      {{"1", "*", "rigid", "new", "append", "bfactor", "flexible", "extra"}, read_pdb, R"(Illegal parameter "extra".)"},
      {{"1", "2"}, "a=* opt", R"(Illegal parameter "2".)"}, {{"ga=1"}, abbrev, R"(Ambiguous parameter name "ga".)"},
      {{"st=2"}, abbrev, R"(Unknown parameter name "st".)"}, {{"file=y"}, abbrev, R"(Unknown parameter name "file".)"},
      {{"1", "zz=1"}, "a=* *", R"(Unknown parameter name "zz".)"},
      {{"file"}, "file==* mode=a|b=a", R"(Missing value for parameter "file".)"},
      {{}, "file==*", R"(Missing parameter "file".)"}, {{"a=1", "a=2"}, "a=* b=*", R"(Duplicate parameter "a".)"},
      {{"x", "a=2"}, "a=* b=*", R"(Duplicate parameter "a".)"},
      {{"b=1", "x"}, "a=* b=*", R"(Duplicate parameter "b".)"}, {{"buffer=1.0"}, overlay, illegal("1.0", "buffer")},
      {{"gap="}, overlay, illegal("", "gap")}, {{"gap=1.2.3"}, overlay, illegal("1.2.3", "gap")},
      {{"gap=*****"}, overlay, illegal("*****", "gap")}, {{"minimum=**"}, overlay, illegal("**", "minimum")},
      {{"7..3"}, "r=@ii", illegal("7..3", "r")}, {{"0..5"}, "r=0<@ii<=10", illegal("0..5", "r")},
      {{"0..0.5"}, "x=0<@rr<=1", illegal("0..0.5", "x")}, {{"0"}, "n=0<@i", illegal("0", "n")},
      {{"10"}, "n=@i<10", illegal("10", "n")}, {{"5"}, "n=2<=@i<=4", illegal("5", "n")},
      {{"0.0"}, "x=0<@r", illegal("0.0", "x")}, {{"1"}, "x=0.5<=@r<1", illegal("1", "x")},
      {{"1"}, "n=@i$", R"(Illegal use of "$" in format.)"},
      {{"a"}, "k=a|$b", R"(Illegal use of "$" in format.)"}, {{"x"}, "f=@f.$nope", R"(Illegal use of "$" in format.)"},
  };
  for (const Case& c : cases) {
    CommandState s;
    Words w = c.words;
    EXPECT_EQ(fatal_of([&] { params(s, w, c.templ); }), c.message) << c.templ;
  }
}

// What the fetch routines give for the names of `expected` ("name=value ..."): a name alone is fetched
// with getpar, with "#" by iparam, "." by rparam, ":" by irange, "~" by rrange, "?" by havpar, "!" by option.
std::string fetched(CommandState& s, const std::string& expected) {
  std::string out;
  for (std::size_t p = 0; p < expected.size();) {
    const std::size_t end = std::min(expected.find(' ', p), expected.size());
    const std::string item = expected.substr(p, expected.find('=', p) - p);
    const std::string name = item.substr(0, item.find_first_of("#.:~?!"));
    const char kind = item.back();
    std::string value;
    if (kind == '#') value = std::to_string(iparam(s, name));
    else if (kind == '.') value = shortest_text(rparam(s, name));
    else if (kind == '?') value = havpar(s, name) ? "1" : "0";
    else if (kind == '!') value = option(s, name) ? "1" : "0";
    else if (kind == ':') {
      int lo = 0, hi = 0;
      irange(s, name, lo, hi);
      value = std::to_string(lo) + ".." + std::to_string(hi);
    } else if (kind == '~') {
      double lo = 0, hi = 0;
      rrange(s, name, lo, hi);
      value = shortest_text(lo) + ".." + shortest_text(hi);
    } else value = getpar(s, name);
    out += (out.empty() ? "" : " ") + item + "=" + value;
    p = end + 1;
  }
  return out;
}

TEST(Params, AcceptedWordsAndWhatTheyGive) {
  std::string sixty;
  for (int k = 1; k <= 60; ++k) sixty += "p" + std::to_string(k) + "=@i=" + std::to_string(k) + " ";
  struct Case {
    std::string templ;
    Words words;
    std::string expected;
    Words handed_back = {};
  };
  const std::vector<Case> cases{
      // file names take the extension of their format; only an unknown name=value word is handed back
      {read_first, {"pdb", "prot", "unknown=skip", "chains=*"}, "file=prot.pdb action#=5", {"chains=*"}},
      {read_first, {"pdb", "prot.ent"}, "file=prot.ent"}, {read_first, {"pdb", "dir.x/prot"}, "file=dir.x/prot.pdb"},
      {read_first, {"pdb", "prot|"}, "file=prot"}, {read_first, {"pdb", "disk:model"}, "file=disk:model.pdb"},
      {read_first, {"pdb", "[a.b]model"}, "file=[a.b]model.pdb"}, {read_first, {"pdb", "*"}, "file=*"},
      {read_first, {"file=prot", "action=li"}, "file=prot.lib"},  // the action named later still counts
      {read_first, {"lib", ""}, "file= file?=1 unknown=error unknown?=0"},  // the run script's library word
      {"kind=* f=@f.$kind.gz", {"dat", "x"}, "f=x.dat.gz"},
      // keywords: a unique prefix names one, an exact keyword wins over longer ones
      {read_first, {"prot", "x", "unknown=sk"}, "unknown=skip unknown#=3 action#=14"},
      {read_first, {"prot", "x", "unknown=w"}, "unknown=warning unknown#=2"},
      {read_first, {"prot", "x", "unk=error"}, "unknown=error unknown#=1"}, {"k=alpha|beta|*", {"c"}, "k#=3"},
      // options, defaults, abbreviated and positional names
      {read_pdb, {"chains=A", "bfac", "new"}, "structure#=1 structure?=0 chains=A bfactor!=1 new!=1 append!=0"},
      {"n=@i=1 fast|slow|exact verbose", {"slow", "verb"}, "slow!=1 verbose!=1 fast!=0"},
      {abbrev, {"gap=0.35", "gapw=5", "str=2"}, "gap.=0.35 gapwidth#=5 structure#=2"},
      {abbrev, {"4", "0.5", "6", "y"}, "gapwidth#=4 gap.=0.5 structure#=6 file=y"},
      {"a=* * b=*", {"1", "2", "b=7", "3"}, "a=1 b=7", {"2", "3"}},
      {"a=* ** b=*", {"1", "zz=5", "2", "b=7", "yy"}, "a=1 b=7", {"zz=5", "2", "yy"}},
      // the overlay command of the run script; only a value's first number counts, an integer is a real too
      {structures_first, {"overlay", "gap=0.40"}, "action#=13", {"gap=0.40"}},
      {overlay, {"gap=0.40", "decrease=1.20", "absdecrease=1.60", "gapwidth=03", "buffer=03", "minimum=08",
                 "upper_rmsd=0.10"},
       "gap.=0.4 decrease.=1.2 absdecrease.=1.6 upper_rmsd.=0.1 gapwidth#=3 buffer#=3 minimum#=8 keep?=0"},
      {overlay, {"minimum=2*4", "decrease=2"}, "minimum#=2 decrease.=2 gap.=0.4"},
      {overlay, {"gap"}, "keep=gap gap?=0"},  // a bare parameter name is a positional value
      // bounds and ranges; a range end left out is the bound itself, even a strict one
      {"n=0<@i", {"1"}, "n#=1"}, {"n=0<=@i", {"0"}, "n#=0"}, {"n=@i<=10", {"10"}, "n#=10"},
      {"x=0.5<=@r<1", {"0.5"}, "x.=0.5"}, {"r=0<@ii<=10", {"3..7"}, "r:=3..7"}, {"r=0<@ii<=10", {"3-7"}, "r:=3..7"},
      {"r=0<@ii<=10", {"5"}, "r:=5..5"}, {"r=0<@ii<=10", {"*"}, "r:=1..10"}, {"r=0<@ii<=10", {"5.."}, "r:=5..10"},
      {"r=0<@ii<=10", {"..4"}, "r:=1..4"}, {"x=0<@rr<=1", {"..0.5"}, "x~=0..0.5"},
      {sixty, {"p56=156"}, "p60#=60 p56#=156"},  // a long template grows the tables
  };
  for (const Case& c : cases) {
    CommandState s;
    Words w = c.words;
    params(s, w, c.templ);
    EXPECT_EQ(fetched(s, c.expected), c.expected) << c.words[0];
    EXPECT_EQ(w, c.handed_back) << c.words[0];
  }
}

TEST(Params, FetchingUnknownNamesIsFatal) {
  CommandState s;
  Words w{"x"};
  params(s, w, "a=* opt");
  EXPECT_EQ(fatal_of([&] { getpar(s, "nope"); }), R"(Illegal parameter "nope".)");
  EXPECT_EQ(fatal_of([&] { havpar(s, "op"); }), R"(Illegal parameter "op".)");
  EXPECT_EQ(fatal_of([&] { option(s, "a"); }), R"(Illegal option "a".)");
  EXPECT_FALSE(option(s, "opt"));
}

}  // namespace
}  // namespace veldrix

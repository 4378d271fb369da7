// Parameter templates: positions, abbreviations, options and exclusion groups, defaults, bounds,
// ranges, file extensions, variables, and every refusal.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "command/params.hpp"
#include "command/state.hpp"
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

void define(CommandState& s, const std::string& name, const std::string& value) {
  s.vardata.var.push_back(name);
  s.vardata.vardef.push_back(value);
}

TEST(Params, EveryRefusalStopsWithItsMessage) {
  struct Case {
    Words words;
    std::string templ, message;
  };
  const std::vector<Case> cases{
      {{"pdb", "x", "unknown=x"}, read_first, R"(Illegal value "x" for parameter "unknown".)"},
      {{"p", "x"}, read_first, R"(Illegal value "p" for parameter "action".)"},  // pdb, pcs, peaks, prot
      {{"lib"}, read_first, R"(Missing parameter "file".)"},
      {{"structure=0"}, read_pdb, R"(Illegal value "0" for parameter "structure".)"},
      {{"bf"}, read_pdb, R"(Illegal value "bf" for parameter "structure".)"},  // too short to name an option
      {{"rigid", "rigid"}, read_pdb, R"(Duplicate or contradicting option "rigid".)"},
      {{"fast", "exact"}, "n=@i=1 fast|slow|exact", R"(Duplicate or contradicting option "exact".)"},
      {{"rigid=1"}, read_pdb, R"(Option "rigid" must not have a value.)"},
      {{"1", "*", "rigid", "new", "append", "bfactor", "flexible", "extra"}, read_pdb, R"(Illegal parameter "extra".)"},
      {{"1", "2"}, "a=* opt", R"(Illegal parameter "2".)"},
      {{"ga=1"}, abbrev, R"(Ambiguous parameter name "ga".)"},
      {{"st=2"}, abbrev, R"(Unknown parameter name "st".)"},
      {{"file=y"}, abbrev, R"(Unknown parameter name "file".)"},
      {{"1", "zz=1"}, "a=* *", R"(Unknown parameter name "zz".)"},
      {{"file"}, "file==* mode=a|b=a", R"(Missing value for parameter "file".)"},
      {{}, "file==*", R"(Missing parameter "file".)"},
      {{"a=1", "a=2"}, "a=* b=*", R"(Duplicate parameter "a".)"},
      {{"x", "a=2"}, "a=* b=*", R"(Duplicate parameter "a".)"},
      {{"b=1", "x"}, "a=* b=*", R"(Duplicate parameter "b".)"},
      {{"buffer=1.0"}, overlay, R"(Illegal value "1.0" for parameter "buffer".)"},
      {{"gap="}, overlay, R"(Illegal value "" for parameter "gap".)"},
      {{"gap=1.2.3"}, overlay, R"(Illegal value "1.2.3" for parameter "gap".)"},
      {{"gap=*****"}, overlay, R"(Illegal value "*****" for parameter "gap".)"},
      {{"minimum=**"}, overlay, R"(Illegal value "**" for parameter "minimum".)"},
      {{"7..3"}, "r=@ii", R"(Illegal value "7..3" for parameter "r".)"},
      {{"0..5"}, "r=0<@ii<=10", R"(Illegal value "0..5" for parameter "r".)"},
      {{"0..0.5"}, "x=0<@rr<=1", R"(Illegal value "0..0.5" for parameter "x".)"},
      {{"1"}, "n=@i$", R"(Illegal use of "$" in format.)"},
      {{"a"}, "k=a|$b", R"(Illegal use of "$" in format.)"},
      {{"x"}, "f=@f.$nope", R"(Illegal use of "$" in format.)"},
  };
  for (const Case& c : cases) {
    CommandState s;
    Words w = c.words;
    EXPECT_EQ(fatal_of([&] { params(s, w, c.templ); }), c.message) << c.templ;
  }
}

TEST(Params, FileNamesTakeTheExtensionOfTheirFormat) {
  CommandState s;
  for (const auto& [given, file] : std::vector<std::pair<std::string, std::string>>{
           {"prot", "prot.pdb"}, {"prot.ent", "prot.ent"}, {"dir.x/prot", "dir.x/prot.pdb"}, {"prot|", "prot"},
           {"disk:model", "disk:model.pdb"}, {"[a.b]model", "[a.b]model.pdb"}, {"*", "*"}}) {
    Words w{"pdb", given, "unknown=skip", "chains=*"};
    params(s, w, read_first);
    EXPECT_EQ(getpar(s, "file"), file) << given;
    EXPECT_EQ(iparam(s, "action"), 5);
    EXPECT_EQ(w, Words{"chains=*"}) << "only the unknown name=value word is handed back";
  }
  Words named{"file=prot", "action=li"};  // the extension follows the action even when named later
  params(s, named, read_first);
  EXPECT_EQ(getpar(s, "file"), "prot.lib");
  Words lib{"lib", ""};  // the run script's empty library word fills the file parameter
  params(s, lib, read_first);
  EXPECT_TRUE(havpar(s, "file"));
  EXPECT_EQ(getpar(s, "file"), "");
  EXPECT_EQ(getpar(s, "unknown"), "error");
  EXPECT_FALSE(havpar(s, "unknown"));
  Words ext{"dat", "x"};
  params(s, ext, "kind=* f=@f.$kind.gz");
  EXPECT_EQ(getpar(s, "f"), "x.dat.gz");
}

TEST(Params, KeywordsOptionsGroupsAndAbbreviations) {
  CommandState s;
  for (const auto& [word, value, pos] : std::vector<std::tuple<std::string, std::string, int>>{
           {"unknown=sk", "skip", 3}, {"unknown=w", "warning", 2}, {"unk=error", "error", 1}}) {
    Words w{"prot", "x", word};
    params(s, w, read_first);
    EXPECT_EQ(getpar(s, "unknown"), value) << word;
    EXPECT_EQ(iparam(s, "unknown"), pos) << word;
    EXPECT_EQ(iparam(s, "action"), 14) << "an exact keyword wins over longer ones";
  }
  std::string any = "c";
  EXPECT_EQ(inlist(any, "alpha|beta|*"), 3);

  Words opts{"chains=A", "bfac", "new"};
  params(s, opts, read_pdb);
  EXPECT_EQ(iparam(s, "structure"), 1);
  EXPECT_FALSE(havpar(s, "structure"));
  EXPECT_EQ(getpar(s, "chains"), "A");
  EXPECT_TRUE(option(s, "bfactor") && option(s, "new"));
  EXPECT_FALSE(option(s, "append"));

  Words group{"slow", "verb"};
  params(s, group, "n=@i=1 fast|slow|exact verbose");
  EXPECT_TRUE(option(s, "slow") && option(s, "verbose"));
  EXPECT_TRUE(s.paramdata.havex(2) && s.paramdata.havex(5)) << "groups are marked at their first option";
  EXPECT_FALSE(s.paramdata.havex(3));

  Words names{"gap=0.35", "gapw=5", "str=2"};
  params(s, names, abbrev);
  EXPECT_DOUBLE_EQ(rparam(s, "gap"), 0.35);
  EXPECT_EQ(iparam(s, "gapwidth"), 5);
  EXPECT_EQ(iparam(s, "structure"), 2);
  Words pos{"4", "0.5", "6", "y"};
  params(s, pos, abbrev);
  EXPECT_EQ(getpar(s, "file"), "y");
  const std::vector<std::string> list{"minimum", "min"};
  EXPECT_EQ(icoman("mi", list), -1);
  EXPECT_EQ(icoman("mi", list, std::vector<std::size_t>{3, 1}), 2);
  EXPECT_EQ(icoman("min", list), 2) << "an exact name wins";
}

TEST(Params, HandedBackWordsMoveToTheFront) {
  CommandState s;
  Words w{"1", "2", "b=7", "3"};
  params(s, w, "a=* * b=*");
  EXPECT_EQ(getpar(s, "b"), "7");
  EXPECT_EQ(w, (Words{"2", "3"}));
  Words v{"1", "zz=5", "2", "b=7", "yy"};
  params(s, v, "a=* ** b=*");
  EXPECT_EQ(v, (Words{"zz=5", "2", "yy"}));
}

TEST(Params, StructuresOverlayCommandOfTheRun) {
  CommandState s;
  Words w{"overlay", "gap=0.40", "decrease=1.20", "absdecrease=1.60", "gapwidth=03",
          "buffer=03", "minimum=08", "upper_rmsd=0.10"};
  params(s, w, structures_first);
  EXPECT_EQ(iparam(s, "action"), 13);
  setcmd(s, "structures " + getpar(s, "action"));
  EXPECT_EQ(s.paramdata.prefix, "structures_overlay_");
  params(s, w, overlay);
  EXPECT_TRUE(w.empty());
  EXPECT_EQ(std::make_tuple(rparam(s, "gap"), rparam(s, "decrease"), rparam(s, "absdecrease"), rparam(s, "upper_rmsd")),
            std::make_tuple(0.40, 1.20, 1.60, 0.10));
  EXPECT_EQ(std::make_tuple(iparam(s, "gapwidth"), iparam(s, "buffer"), iparam(s, "minimum")), std::make_tuple(3, 3, 8));
  EXPECT_FALSE(havpar(s, "keep"));

  Words values{"minimum=2*4", "decrease=2"};  // only the first number counts; an integer is a real too
  params(s, values, overlay);
  EXPECT_EQ(iparam(s, "minimum"), 2);
  EXPECT_DOUBLE_EQ(rparam(s, "decrease"), 2.0);
  EXPECT_DOUBLE_EQ(rparam(s, "gap"), 0.4);

  Words bare{"overlay", "gap"};  // a bare parameter name is a positional value
  params(s, bare, structures_first);
  params(s, bare, overlay);
  EXPECT_EQ(getpar(s, "keep"), "gap");
  EXPECT_FALSE(havpar(s, "gap"));
}

TEST(Params, NumericBoundsAndRanges) {
  CommandState s;
  for (const auto& [templ, value, ok] : std::vector<std::tuple<std::string, std::string, bool>>{
           {"n=0<@i", "1", true},    {"n=0<@i", "0", false},       {"n=0<=@i", "0", true},
           {"n=@i<10", "10", false}, {"n=@i<=10", "10", true},     {"n=2<=@i<=4", "5", false},
           {"x=0<@r", "0.0", false}, {"x=0.5<=@r<1", "0.5", true}, {"x=0.5<=@r<1", "1", false}}) {
    Words w{value};
    const std::string fatal = fatal_of([&] { params(s, w, templ); });
    EXPECT_EQ(fatal.empty(), ok) << templ << " " << value << ": " << fatal;
  }
  for (const auto& [value, lo, hi] : std::vector<std::tuple<std::string, int, int>>{
           {"3..7", 3, 7}, {"3-7", 3, 7}, {"5", 5, 5}, {"*", 1, 10}, {"5..", 5, 10}, {"..4", 1, 4}}) {
    Words w{value};
    params(s, w, "r=0<@ii<=10");
    int l = 0, h = 0;
    irange(s, "r", l, h);
    EXPECT_EQ(std::pair(l, h), std::pair(lo, hi)) << value;
  }
  Words open{"..0.5"};  // a left-out end is the bound itself, even a strict one
  params(s, open, "x=0<@rr<=1");
  double a = -1, b = -1;
  rrange(s, "x", a, b);
  EXPECT_EQ(std::pair(a, b), std::pair(0.0, 0.5));
}

TEST(Params, VariablesSupplyMissingValues) {
  CommandState s;
  define(s, "structures_overlay_gap", "0.25");
  define(s, "structures_overlay_gap", "0.3");  // the last definition counts
  setcmd(s, "structures overlay");
  Words w{"minimum=9"};
  params(s, w, overlay);
  EXPECT_DOUBLE_EQ(rparam(s, "gap"), 0.3);
  EXPECT_TRUE(havpar(s, "gap"));
  Words given{"gap=0.5"};
  params(s, given, overlay);
  EXPECT_DOUBLE_EQ(rparam(s, "gap"), 0.5);
  setcmd(s, "a=b");  // no prefix, no variables
  params(s, w, overlay);
  EXPECT_DOUBLE_EQ(rparam(s, "gap"), 0.4);

  define(s, "read_pdb_rigid", "1");
  define(s, "read_pdb_structure", "4");
  Words none;
  params(s, none, "read pdb: " + read_pdb);  // a leading "name:" sets the prefix
  EXPECT_EQ(iparam(s, "structure"), 4);
  EXPECT_FALSE(option(s, "rigid")) << "options are never set from variables";

  define(s, "structures_overlay_minimum", "lots");
  setcmd(s, "structures overlay");
  EXPECT_EQ(fatal_of([&] { params(s, none, overlay); }),
            R"(Illegal value "lots" for parameter "minimum" from variable "structures_overlay_minimum".)");
}

TEST(Params, FetchingUnknownNamesAndLongTemplates) {
  CommandState s;
  Words w{"x"};
  params(s, w, "a=* opt");
  EXPECT_EQ(fatal_of([&] { getpar(s, "nope"); }), R"(Illegal parameter "nope".)");
  EXPECT_EQ(fatal_of([&] { havpar(s, "op"); }), R"(Illegal parameter "op".)");
  EXPECT_EQ(fatal_of([&] { option(s, "a"); }), R"(Illegal option "a".)");
  EXPECT_FALSE(option(s, "opt"));

  std::string t;
  for (int k = 1; k <= 60; ++k) t += "p" + std::to_string(k) + "=@i=" + std::to_string(k) + " ";
  Words many{"p56=156"};
  params(s, many, t);
  EXPECT_EQ(iparam(s, "p60") + iparam(s, "p56"), 60 + 156);
}

}  // namespace
}  // namespace veldrix

// Parameter templates: matching, conversion, defaults, variables and every refusal.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "command/eva.hpp"
#include "command/params.hpp"
#include "command/praxel.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

using testing::Captured;
using testing::stop_status;
using Words = std::vector<std::string>;

const std::string read_first =
    "action=lib|seq|ang|cor|pdb|upl|lol|aco|cco|rdc|pcs|peaks|xpk|prot|bmrb|nmrview|xplor|csa "
    "file=@f.$action ** unknown=error|warning|skip=error";
const std::string read_pdb = "structure=0<@i=1 chains=*=* rigid flexible bfactor append new";
const std::string structures_first =
    "action=insert|mean|list|clear|copy|select|sort|violate|secondary|hbonds|swap|calibrate|overlay|radius|"
    "peakvolumes=list **";
const std::string overlay =
    "keep=*= decrease=@r=1.2 absdecrease=@r=1.6 gap=@r=0.4 gapwidth=@i=3 "
    "minimum=@i=8 buffer=@i=3 upper_rmsd=@r=0.1";
const std::string abbrev = "gapwidth=@i=3 gap=@r=0.4 str*ucture=@i=1 *file=*=x";

class Params : public ::testing::Test {
 protected:
  Captured cap;
  std::string fatal(const std::function<void()>& f) {
    cap.clear();
    EXPECT_EQ(stop_status(f), std::optional<int>(1));
    return cap.text();
  }
  void define_variable(const std::string& name, const std::string& value) {
    vardata.var.push_back(name);
    vardata.vardef.push_back(value);
    vardata.nvar = int(vardata.var.size());
  }
};

TEST_F(Params, EveryRefusalStopsWithItsMessage) {
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
    Words w = c.words;
    EXPECT_EQ(fatal([&] { params(w, c.templ); }), "*** FATAL ERROR: " + c.message + "\n") << c.templ;
  }
}

TEST_F(Params, ReadCommandFileNames) {
  for (const auto& [given, file] : std::vector<std::pair<std::string, std::string>>{
           {"prot", "prot.pdb"}, {"prot.ent", "prot.ent"}, {"dir.x/prot", "dir.x/prot.pdb"}, {"prot|", "prot"},
           {"disk:model", "disk:model.pdb"}, {"[a.b]model", "[a.b]model.pdb"}, {"*", "*"}}) {
    Words w{"pdb", given, "unknown=skip", "chains=*"};
    params(w, read_first);
    EXPECT_EQ(getpar("file"), file) << given;
    EXPECT_EQ(iparam("action"), 5);
    EXPECT_EQ(w, Words{"chains=*"}) << "only the unknown name=value word is handed back";
  }
  Words named{"file=prot", "action=li"};  // the extension follows the action even when named later
  params(named, read_first);
  EXPECT_EQ(getpar("file"), "prot.lib");
  Words lib{"lib", ""};  // the run script's empty library word fills the file parameter
  params(lib, read_first);
  EXPECT_TRUE(havpar("file"));
  EXPECT_EQ(getpar("file"), "");
  EXPECT_EQ(getpar("unknown"), "error");
  EXPECT_FALSE(havpar("unknown"));
  Words own{"prot.pdb", "unknown=skip", "chains=*"};
  params(own, "file=* ** unknown=error|warning|skip=error");
  EXPECT_EQ(getpar("file"), "prot.pdb");
  EXPECT_EQ(own, Words{"chains=*"});
  Words ext{"dat", "x"};
  params(ext, "kind=* f=@f.$kind.gz");
  EXPECT_EQ(getpar("f"), "x.dat.gz");
}

TEST_F(Params, KeywordsOptionsAndAbbreviations) {
  for (const auto& [word, value, pos] : std::vector<std::tuple<std::string, std::string, int>>{
           {"unknown=sk", "skip", 3}, {"unknown=w", "warning", 2}, {"unk=error", "error", 1}}) {
    Words w{"prot", "x", word};
    params(w, read_first);
    EXPECT_EQ(getpar("unknown"), value) << word;
    EXPECT_EQ(iparam("unknown"), pos) << word;
    EXPECT_EQ(iparam("action"), 14) << "an exact keyword is taken";
  }
  std::string any = "c";
  EXPECT_EQ(inlist(any, "alpha|beta|*"), 3);

  Words opts{"chains=A", "bfac", "new"};
  params(opts, read_pdb);
  EXPECT_EQ(iparam("structure"), 1);
  EXPECT_FALSE(havpar("structure"));
  EXPECT_EQ(getpar("chains"), "A");
  EXPECT_TRUE(option("bfactor") && option("new"));
  EXPECT_FALSE(option("append"));
  EXPECT_EQ(paramdata.nopt, 7);

  Words group{"slow", "verb"};
  params(group, "n=@i=1 fast|slow|exact verbose");
  EXPECT_TRUE(option("slow") && option("verbose"));
  EXPECT_TRUE(paramdata.havex(2) && paramdata.havex(5)) << "groups are marked at their first option";
  EXPECT_FALSE(paramdata.havex(3));

  Words names{"gap=0.35", "gapw=5", "str=2"};
  params(names, abbrev);
  EXPECT_DOUBLE_EQ(rparam("gap"), 0.35);
  EXPECT_EQ(iparam("gapwidth"), 5);
  EXPECT_EQ(iparam("structure"), 2);
  Words pos{"4", "0.5", "6", "y"};
  params(pos, abbrev);
  EXPECT_EQ(getpar("file"), "y");
  const std::vector<std::string> list{"minimum", "min"};
  EXPECT_EQ(icoman("mi", list), -1);
  EXPECT_EQ(icoman("mi", list, std::vector<std::size_t>{3, 1}), 2);
}

TEST_F(Params, HandedBackWordsMoveToTheFront) {
  Words w{"1", "2", "b=7", "3"};
  params(w, "a=* * b=*");
  EXPECT_EQ(getpar("b"), "7");
  EXPECT_EQ(w, (Words{"2", "3"}));
  Words v{"1", "zz=5", "2", "b=7", "yy"};
  params(v, "a=* ** b=*");
  EXPECT_EQ(v, (Words{"zz=5", "2", "yy"}));
}

TEST_F(Params, StructuresCommandLineOfTheRun) {
  Words w{"overlay", "gap=0.40", "decrease=1.20", "absdecrease=1.60", "gapwidth=03",
          "buffer=03", "minimum=08", "upper_rmsd=0.10"};
  params(w, structures_first);
  EXPECT_EQ(iparam("action"), 13);
  setcmd("structures " + getpar("action"));
  EXPECT_EQ(paramdata.prefix, "structures_overlay_");
  params(w, overlay);
  EXPECT_TRUE(w.empty());
  EXPECT_DOUBLE_EQ(rparam("gap"), 0.40);
  EXPECT_DOUBLE_EQ(rparam("decrease"), 1.20);
  EXPECT_DOUBLE_EQ(rparam("absdecrease"), 1.60);
  EXPECT_DOUBLE_EQ(rparam("upper_rmsd"), 0.10);
  EXPECT_EQ(iparam("gapwidth"), 3);
  EXPECT_EQ(iparam("buffer"), 3);
  EXPECT_EQ(iparam("minimum"), 8);
  EXPECT_FALSE(havpar("keep"));

  Words values{"minimum=2*4", "decrease=2"};  // only the first number counts; an integer is a real too
  params(values, overlay);
  EXPECT_EQ(iparam("minimum"), 2);
  EXPECT_DOUBLE_EQ(rparam("decrease"), 2.0);
  EXPECT_DOUBLE_EQ(rparam("gap"), 0.4);
  EXPECT_EQ(eva("*****", 2).type, 0) << "asterisks hold no number";

  Words bare{"overlay", "gap"};  // a bare parameter name is a positional value
  params(bare, structures_first);
  params(bare, overlay);
  EXPECT_EQ(getpar("keep"), "gap");
  EXPECT_FALSE(havpar("gap"));
}

TEST_F(Params, NumericBoundsAndRanges) {
  for (const auto& [templ, value, ok] : std::vector<std::tuple<std::string, std::string, bool>>{
           {"n=0<@i", "1", true},       {"n=0<@i", "0", false},         {"n=0<=@i", "0", true},
           {"n=@i<10", "10", false},    {"n=@i<=10", "10", true},       {"n=2<=@i<=4", "5", false},
           {"x=0<@r", "0.0", false},    {"x=0.5<=@r<1", "0.5", true},   {"x=0.5<=@r<1", "1", false}}) {
    Words w{value};
    if (ok) {
      params(w, templ);
      EXPECT_EQ(paramdata.pval(1), value);
    } else {
      EXPECT_NE(fatal([&] { params(w, templ); }).find("Illegal value"), std::string::npos) << templ << " " << value;
    }
  }
  for (const auto& [value, lo, hi] : std::vector<std::tuple<std::string, int, int>>{
           {"3..7", 3, 7}, {"3-7", 3, 7}, {"5", 5, 5}, {"*", 1, 10}, {"5..", 5, 10}, {"..4", 1, 4}}) {
    Words w{value};
    params(w, "r=0<@ii<=10");
    int l = 0, h = 0;
    irange("r", l, h);
    EXPECT_EQ(std::pair(l, h), std::pair(lo, hi)) << value;
  }
  Words open{"..0.5"};  // a left-out end is the bound itself, even a strict one
  params(open, "x=0<@rr<=1");
  double a = -1, b = -1;
  rrange("x", a, b);
  EXPECT_EQ(std::pair(a, b), std::pair(0.0, 0.5));
}

TEST_F(Params, VariablesSupplyMissingValues) {
  define_variable("structures_overlay_gap", "0.25");
  define_variable("structures_overlay_gap", "0.3");  // the last definition counts
  setcmd("structures overlay");
  Words w{"minimum=9"};
  params(w, overlay);
  EXPECT_DOUBLE_EQ(rparam("gap"), 0.3);
  EXPECT_TRUE(havpar("gap"));
  Words given{"gap=0.5"};
  params(given, overlay);
  EXPECT_DOUBLE_EQ(rparam("gap"), 0.5);
  setcmd("a=b");  // no prefix, no variables
  params(w, overlay);
  EXPECT_DOUBLE_EQ(rparam("gap"), 0.4);

  define_variable("read_pdb_rigid", "1");
  define_variable("read_pdb_structure", "4");
  Words none;
  params(none, "read pdb: " + read_pdb);  // a leading "name:" sets the prefix
  EXPECT_EQ(iparam("structure"), 4);
  EXPECT_FALSE(option("rigid")) << "options are never set from variables";

  define_variable("structures_overlay_minimum", "lots");
  setcmd("structures overlay");
  EXPECT_EQ(fatal([&] { params(none, overlay); }),
            "*** FATAL ERROR: Illegal value \"lots\" for parameter \"minimum\" from variable "
            "\"structures_overlay_minimum\".\n");
}

TEST_F(Params, FetchingAndSyntaxCommand) {
  Words w{"x"};
  params(w, "a=* opt");
  EXPECT_EQ(fatal([] { getpar("nope"); }), "*** FATAL ERROR: Illegal parameter \"nope\".\n");
  EXPECT_EQ(fatal([] { havpar("op"); }), "*** FATAL ERROR: Illegal parameter \"op\".\n");
  EXPECT_EQ(fatal([] { option("a"); }), "*** FATAL ERROR: Illegal option \"a\".\n");
  EXPECT_FALSE(option("opt"));

  Words decl{"n=@i=3", "name=*", "loud"};
  Words args{"5", "loud", "name=mac"};
  EXPECT_EQ(fatal([&] { cmdsyn(decl, args); }),
            "*** FATAL ERROR: The \"syntax\" command is allowed only in macros.\n");
  vardata.iunit = 11;  // inside a macro
  cmdsyn(decl, args);
  const auto value_of = [](const std::string& name) {
    const int k = ivar(name, std::span<const std::string>(vardata.var).first(std::size_t(vardata.nvar)));
    return k > 0 ? vardata.vardef[std::size_t(k - 1)] : "<absent>";
  };
  EXPECT_EQ(value_of("n") + value_of("name") + value_of("loud"), "5mac1");
}

TEST_F(Params, LongTemplatesGrowTheTables) {
  std::string t;
  Words w;
  for (int k = 1; k <= 60; ++k) t += "p" + std::to_string(k) + "=@i=" + std::to_string(k) + " ";
  w.push_back("p56=156");
  params(w, t);
  EXPECT_EQ(paramdata.npar, 60);
  EXPECT_EQ(iparam("p60") + iparam("p56"), 60 + 156);
}

}  // namespace
}  // namespace veldrix

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
const std::string structures_overlay =
    "keep=*= decrease=@r=1.2 absdecrease=@r=1.6 gap=@r=0.4 gapwidth=@i=3 "
    "minimum=@i=8 buffer=@i=3 upper_rmsd=@r=0.1";

std::string fatal_line(const std::string& text) { return "*** FATAL ERROR: " + text + "\n"; }

class Params : public ::testing::Test {
 protected:
  Captured cap;

  // Runs f, which must stop with a fatal message; returns what was printed.
  std::string fatal(const std::function<void()>& f) {
    cap.clear();
    EXPECT_EQ(stop_status(f), std::optional<int>(1));
    return cap.text();
  }
  std::string refused(Words w, const std::string& templ) {
    return fatal([&] { params(w, templ); });
  }
  void define_variable(const std::string& name, const std::string& value) {
    vardata.var.push_back(name);
    vardata.vardef.push_back(value);
    vardata.nvar = int(vardata.var.size());
  }
};

TEST_F(Params, ReadCommandFileNamesGetTheActionAsExtension) {
  struct Case {
    const char* given;
    const char* file;
  };
  for (const Case& c : {Case{"prot", "prot.pdb"}, Case{"prot.ent", "prot.ent"}, Case{"dir.x/prot", "dir.x/prot.pdb"},
                        Case{"prot|", "prot"}, Case{"/data/run.2/model", "/data/run.2/model.pdb"},
                        Case{"disk:model", "disk:model.pdb"}, Case{"[dir.sub]model", "[dir.sub]model.pdb"},
                        Case{"*", "*"}}) {
    Words w{"pdb", c.given, "unknown=skip", "chains=*"};
    params(w, read_first);
    EXPECT_EQ(getpar("file"), c.file) << c.given;
    EXPECT_EQ(getpar("action"), "pdb");
    EXPECT_EQ(iparam("action"), 5);
    EXPECT_EQ(iparam("unknown"), 3);
    EXPECT_EQ(w, Words{"chains=*"}) << "only the unknown name=value word is handed back";
  }
  // The extension follows the action even when the action is named after the file.
  Words w{"file=prot", "action=li"};
  params(w, read_first);
  EXPECT_EQ(getpar("action"), "lib");
  EXPECT_EQ(getpar("file"), "prot.lib");
  EXPECT_TRUE(w.empty());
}

TEST_F(Params, ReadLibraryWithPathOrEmptyWord) {
  Words w{"lib", "/opt/lib/std.lib"};
  params(w, read_first);
  EXPECT_EQ(getpar("action"), "lib");
  EXPECT_EQ(getpar("file"), "/opt/lib/std.lib");
  EXPECT_EQ(getpar("unknown"), "error");
  EXPECT_FALSE(havpar("unknown"));
  // The run script hands an empty second word when no library file is named.
  Words empty{"lib", ""};
  params(empty, read_first);
  EXPECT_TRUE(havpar("file"));
  EXPECT_EQ(getpar("file"), "");
  // Without any file word the parameter is missing.
  EXPECT_EQ(refused({"lib"}, read_first), fatal_line("Missing parameter \"file\"."));
}

TEST_F(Params, ReadCommandOtherStages) {
  // "read prot.pdb": the file word carries its own extension.
  Words w{"prot.pdb", "unknown=skip", "chains=*"};
  params(w, "file=* ** unknown=error|warning|skip=error");
  EXPECT_EQ(getpar("file"), "prot.pdb");
  EXPECT_EQ(iparam("unknown"), 3);
  EXPECT_EQ(w, Words{"chains=*"});
  // The library stage takes only the option "append".
  Words none;
  params(none, "append");
  EXPECT_FALSE(option("append"));
  Words app{"append"};
  params(app, "append");
  EXPECT_TRUE(option("append"));
  EXPECT_EQ(refused({"append", "more"}, "append"), fatal_line("Illegal parameter \"more\"."));
}

TEST_F(Params, KeywordAbbreviations) {
  struct Case {
    const char* word;
    const char* value;
    int pos;
  };
  for (const Case& c : {Case{"unknown=sk", "skip", 3}, Case{"unknown=w", "warning", 2}, Case{"unknown=error", "error", 1},
                        Case{"unk=skip", "skip", 3}}) {
    Words w{"pdb", "x", c.word};
    params(w, read_first);
    EXPECT_EQ(getpar("unknown"), c.value) << c.word;
    EXPECT_EQ(iparam("unknown"), c.pos) << c.word;
  }
  EXPECT_EQ(refused({"pdb", "x", "unknown=x"}, read_first),
            fatal_line("Illegal value \"x\" for parameter \"unknown\"."));
  // "p" begins pdb, pcs, peaks and prot: ambiguous, so refused.
  EXPECT_EQ(refused({"p", "x"}, read_first), fatal_line("Illegal value \"p\" for parameter \"action\"."));
  // An exact keyword wins over a longer one it begins ("prot" against "protein" would not be ambiguous).
  Words w{"prot", "x"};
  params(w, read_first);
  EXPECT_EQ(iparam("action"), 14);
}

TEST_F(Params, InlistRules) {
  std::string v = "c";
  EXPECT_EQ(inlist(v, "alpha|beta|*"), 3);
  EXPECT_EQ(v, "c");
  v = "b";
  EXPECT_EQ(inlist(v, "alpha|beta|*"), 2);
  EXPECT_EQ(v, "beta");
  v = "x";
  EXPECT_EQ(inlist(v, "alpha|beta"), 0);
  v = "sel";
  EXPECT_EQ(inlist(v, "select|selected"), 0) << "a prefix of two keywords is ambiguous";
  v = "select";
  EXPECT_EQ(inlist(v, "selected|select"), 2) << "an exact keyword is never ambiguous";
}

TEST_F(Params, ReadPdbOptionsAndBounds) {
  Words w{"chains=*"};
  params(w, read_pdb);
  EXPECT_EQ(iparam("structure"), 1);
  EXPECT_FALSE(havpar("structure"));
  EXPECT_EQ(getpar("chains"), "*");
  EXPECT_FALSE(option("rigid"));
  EXPECT_EQ(paramdata.npar, 2);
  EXPECT_EQ(paramdata.nopt, 7);

  Words ok{"structure=1", "bfac", "new"};
  params(ok, read_pdb);
  EXPECT_EQ(iparam("structure"), 1);
  EXPECT_TRUE(havpar("structure"));
  EXPECT_TRUE(option("bfactor"));
  EXPECT_TRUE(option("new"));
  EXPECT_FALSE(option("append"));

  EXPECT_EQ(refused({"structure=0"}, read_pdb), fatal_line("Illegal value \"0\" for parameter \"structure\"."));
  // Two letters are too short to name an option, so "bf" is read as the first positional value.
  EXPECT_EQ(refused({"bf"}, read_pdb), fatal_line("Illegal value \"bf\" for parameter \"structure\"."));
  EXPECT_EQ(refused({"rigid", "rigid"}, read_pdb), fatal_line("Duplicate or contradicting option \"rigid\"."));
  EXPECT_EQ(refused({"rigid=1"}, read_pdb), fatal_line("Option \"rigid\" must not have a value."));
  EXPECT_EQ(refused({"1", "*", "rigid", "new", "append", "bfactor", "flexible", "extra"}, read_pdb),
            fatal_line("Illegal parameter \"extra\"."));
}

TEST_F(Params, ExclusionGroups) {
  const std::string t = "n=@i=1 fast|slow|exact verbose";
  Words w{"slow", "verb"};
  params(w, t);
  EXPECT_TRUE(option("slow"));
  EXPECT_FALSE(option("fast"));
  EXPECT_TRUE(option("verbose"));
  EXPECT_TRUE(paramdata.havex(2)) << "the group is marked at its first option's entry";
  EXPECT_TRUE(paramdata.havex(5));
  EXPECT_FALSE(paramdata.havex(3));
  EXPECT_EQ(refused({"fast", "exact"}, t), fatal_line("Duplicate or contradicting option \"exact\"."));
  EXPECT_EQ(refused({"fast", "fast"}, t), fatal_line("Duplicate or contradicting option \"fast\"."));
}

TEST_F(Params, NameAbbreviations) {
  const std::string t = "gapwidth=@i=3 gap=@r=0.4 str*ucture=@i=1 *file=*=x";
  Words w{"gap=0.35", "gapw=5", "str=2"};
  params(w, t);
  EXPECT_DOUBLE_EQ(rparam("gap"), 0.35);
  EXPECT_EQ(iparam("gapwidth"), 5);
  EXPECT_EQ(iparam("structure"), 2);
  EXPECT_EQ(refused({"ga=1"}, t), fatal_line("Ambiguous parameter name \"ga\"."));
  EXPECT_EQ(refused({"st=2"}, t), fatal_line("Unknown parameter name \"st\"."));
  // A name marked with a leading "*" is filled only by position.
  EXPECT_EQ(refused({"file=y"}, t), fatal_line("Unknown parameter name \"file\"."));
  Words pos{"4", "0.5", "6", "y"};
  params(pos, t);
  EXPECT_EQ(getpar("file"), "y");
  EXPECT_EQ(iparam("structure"), 6);
}

TEST_F(Params, NamedOnlyParametersAndMissingValues) {
  const std::string t = "file==* mode=a|b=a";
  EXPECT_EQ(refused({"file"}, t), fatal_line("Missing value for parameter \"file\"."));
  EXPECT_EQ(refused({}, t), fatal_line("Missing parameter \"file\"."));
  Words named{"file=x"};
  params(named, t);
  EXPECT_EQ(getpar("file"), "x");
  Words positional{"y", "b"};
  params(positional, t);
  EXPECT_EQ(getpar("file"), "y");
  EXPECT_EQ(iparam("mode"), 2);
}

TEST_F(Params, DuplicatesAndUnknownNames) {
  const std::string t = "a=* b=*=z";
  EXPECT_EQ(refused({"a=1", "a=2"}, t), fatal_line("Duplicate parameter \"a\"."));
  EXPECT_EQ(refused({"x", "a=2"}, t), fatal_line("Duplicate parameter \"a\"."));
  EXPECT_EQ(refused({"b=1", "x", "y"}, t), fatal_line("Illegal parameter \"y\"."));
  EXPECT_EQ(refused({"b=1", "x"}, t), fatal_line("Duplicate parameter \"b\"."));
  EXPECT_EQ(refused({"a=1", "y"}, "b=* a=*"), fatal_line("Duplicate parameter \"a\"."));
  EXPECT_EQ(refused({"zz=1"}, t), fatal_line("Unknown parameter name \"zz\"."));
  EXPECT_EQ(refused({"zz=1"}, t + " *"), fatal_line("Unknown parameter name \"zz\"."));
  EXPECT_EQ(refused({"1", "2", "3"}, t), fatal_line("Illegal parameter \"3\"."));
  // An option counts as an entry, but a word beyond the positional parameters is still refused.
  EXPECT_EQ(refused({"1", "2"}, "a=* opt"), fatal_line("Illegal parameter \"2\"."));
}

TEST_F(Params, HandedBackWordsMoveToTheFront) {
  Words w{"1", "2", "b=7", "3"};
  params(w, "a=* * b=*");
  EXPECT_EQ(getpar("a"), "1");
  EXPECT_EQ(getpar("b"), "7");
  EXPECT_EQ(w, (Words{"2", "3"})) << "\"*\" hands back extra positional words";
  Words u{"1", "zz=5", "2", "yy"};
  EXPECT_EQ(refused(u, "a=* * b=*"), fatal_line("Unknown parameter name \"zz\"."));
  Words v{"1", "zz=5", "2", "b=7", "yy"};
  params(v, "a=* ** b=*");
  EXPECT_EQ(v, (Words{"zz=5", "2", "yy"}));
}

TEST_F(Params, StructuresCommandLineOfTheRun) {
  Words w{"overlay", "gap=0.40", "decrease=1.20", "absdecrease=1.60", "gapwidth=03",
          "buffer=03", "minimum=08", "upper_rmsd=0.10"};
  params(w, structures_first);
  EXPECT_EQ(getpar("action"), "overlay");
  EXPECT_EQ(iparam("action"), 13);
  EXPECT_EQ(w.size(), 7u);
  setcmd("structures " + getpar("action"));
  EXPECT_EQ(paramdata.prefix, "structures_overlay_");
  params(w, structures_overlay);
  EXPECT_TRUE(w.empty());
  EXPECT_DOUBLE_EQ(rparam("gap"), 0.40);
  EXPECT_DOUBLE_EQ(rparam("decrease"), 1.20);
  EXPECT_DOUBLE_EQ(rparam("absdecrease"), 1.60);
  EXPECT_DOUBLE_EQ(rparam("upper_rmsd"), 0.10);
  EXPECT_EQ(iparam("gapwidth"), 3);
  EXPECT_EQ(iparam("buffer"), 3);
  EXPECT_EQ(iparam("minimum"), 8);
  EXPECT_FALSE(havpar("keep"));
  EXPECT_EQ(getpar("keep"), "");

  // Defaults when the words are absent; the action defaults to list.
  Words none;
  params(none, structures_first);
  EXPECT_EQ(getpar("action"), "list");
  params(none, structures_overlay);
  EXPECT_DOUBLE_EQ(rparam("gap"), 0.4);
  EXPECT_DOUBLE_EQ(rparam("decrease"), 1.2);
  EXPECT_DOUBLE_EQ(rparam("absdecrease"), 1.6);
  EXPECT_DOUBLE_EQ(rparam("upper_rmsd"), 0.1);
  EXPECT_EQ(iparam("minimum"), 8);
}

TEST_F(Params, NumericValuesAreTheFirstNumberOfTheText) {
  Words w{"gap=0.35", "minimum=2*4", "buffer=1", "decrease=2"};
  params(w, structures_overlay);
  EXPECT_DOUBLE_EQ(rparam("gap"), 0.35);
  EXPECT_EQ(iparam("minimum"), 2);
  EXPECT_DOUBLE_EQ(rparam("decrease"), 2.0) << "an integer is accepted as a real";
  EXPECT_EQ(refused({"buffer=1.0"}, structures_overlay), fatal_line("Illegal value \"1.0\" for parameter \"buffer\"."));
  EXPECT_EQ(refused({"gap="}, structures_overlay), fatal_line("Illegal value \"\" for parameter \"gap\"."));
  EXPECT_EQ(refused({"gap=1.2.3"}, structures_overlay), fatal_line("Illegal value \"1.2.3\" for parameter \"gap\"."));
}

TEST_F(Params, AsteriskValuesAreIllegal) {
  // Numbers too wide for their field arrive as asterisks; they hold no number.
  EXPECT_EQ(eva("*****", 2).type, 0);
  EXPECT_EQ(eva("**", 1).type, 0);
  Words w{"overlay", "gap=*****", "minimum=08"};
  params(w, structures_first);
  EXPECT_EQ(refused(w, structures_overlay), fatal_line("Illegal value \"*****\" for parameter \"gap\"."));
  EXPECT_EQ(refused({"minimum=**"}, structures_overlay), fatal_line("Illegal value \"**\" for parameter \"minimum\"."));
}

TEST_F(Params, BareParameterNameIsPositional) {
  Words w{"overlay", "gap"};
  params(w, structures_first);
  EXPECT_EQ(w, Words{"gap"});
  params(w, structures_overlay);
  EXPECT_EQ(getpar("keep"), "gap");
  EXPECT_TRUE(havpar("keep"));
  EXPECT_FALSE(havpar("gap"));
  EXPECT_DOUBLE_EQ(rparam("gap"), 0.4);
}

TEST_F(Params, Bounds) {
  struct Case {
    const char* templ;
    const char* value;
    bool ok;
  };
  for (const Case& c : {Case{"n=0<@i", "1", true}, Case{"n=0<@i", "0", false}, Case{"n=0<=@i", "0", true},
                        Case{"n=@i<10", "9", true}, Case{"n=@i<10", "10", false}, Case{"n=@i<=10", "10", true},
                        Case{"n=@i<=10", "11", false}, Case{"n=2<=@i<=4", "5", false}, Case{"n=2<=@i<=4", "2", true},
                        Case{"x=0<@r", "0.0", false}, Case{"x=0<@r", "0.001", true}, Case{"x=0.5<=@r<1", "0.5", true},
                        Case{"x=0.5<=@r<1", "1", false}, Case{"x=@r<=1", "1.0", true}}) {
    const std::string t = c.templ;
    if (c.ok) {
      Words w{c.value};
      params(w, t);
      EXPECT_EQ(paramdata.pval(1), c.value) << c.templ;
    } else {
      EXPECT_EQ(refused({c.value}, t),
                fatal_line(std::string("Illegal value \"") + c.value + "\" for parameter \"" + t.substr(0, 1) + "\"."))
          << c.templ << " " << c.value;
    }
  }
  Words dflt;
  params(dflt, "structure=0<@i=1");
  EXPECT_EQ(iparam("structure"), 1);
}

TEST_F(Params, IntegerAndRealRanges) {
  struct Case {
    const char* value;
    int lo, hi;
  };
  for (const Case& c : {Case{"3..7", 3, 7}, Case{"3-7", 3, 7}, Case{"5", 5, 5}, Case{"*", -10000000, 10000000},
                        Case{"5..", 5, 10000000}, Case{"..5", -10000000, 5}, Case{"4-", 4, 10000000}}) {
    Words w{c.value};
    params(w, "r=@ii");
    int lo = 0, hi = 0;
    irange("r", lo, hi);
    EXPECT_EQ(lo, c.lo) << c.value;
    EXPECT_EQ(hi, c.hi) << c.value;
  }
  EXPECT_EQ(refused({"7..3"}, "r=@ii"), fatal_line("Illegal value \"7..3\" for parameter \"r\"."));
  EXPECT_EQ(refused({"a..3"}, "r=@ii"), fatal_line("Illegal value \"a..3\" for parameter \"r\"."));
  EXPECT_EQ(refused({"0..5"}, "r=0<@ii<=10"), fatal_line("Illegal value \"0..5\" for parameter \"r\"."));
  EXPECT_EQ(refused({"2..11"}, "r=0<@ii<=10"), fatal_line("Illegal value \"2..11\" for parameter \"r\"."));
  Words inside{"*"};
  params(inside, "r=0<@ii<=10");
  int lo = 0, hi = 0;
  irange("r", lo, hi);
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(hi, 10);

  Words real{"1.5..2.25"};
  params(real, "x=@rr");
  double a = 0, b = 0;
  rrange("x", a, b);
  EXPECT_DOUBLE_EQ(a, 1.5);
  EXPECT_DOUBLE_EQ(b, 2.25);
  Words open{"..0.5"};
  params(open, "x=0<@rr<=1");
  rrange("x", a, b);
  EXPECT_DOUBLE_EQ(a, 0.0);
  EXPECT_DOUBLE_EQ(b, 0.5);
  EXPECT_EQ(refused({"0..0.5"}, "x=0<@rr<=1"), fatal_line("Illegal value \"0..0.5\" for parameter \"x\"."));
  EXPECT_EQ(refused({"0.5..1.5"}, "x=0<@rr<=1"), fatal_line("Illegal value \"0.5..1.5\" for parameter \"x\"."));

  // rangei on its own: the allowed range comes in, the result goes out.
  int l = 1, h = 10;
  EXPECT_TRUE(rangei("2-4", l, h));
  EXPECT_EQ(l, 2);
  EXPECT_EQ(h, 4);
  l = 1, h = 10;
  EXPECT_FALSE(rangei("0-4", l, h));
  EXPECT_EQ(l, 1) << "a refused range leaves the allowed range untouched";
  double rl = 0.0, rh = 1.0;
  EXPECT_TRUE(ranger("0.25", rl, rh));
  EXPECT_DOUBLE_EQ(rl, 0.25);
  EXPECT_DOUBLE_EQ(rh, 0.25);
}

TEST_F(Params, DollarOnlyInFileExtensions) {
  EXPECT_EQ(refused({"1"}, "n=@i$"), fatal_line("Illegal use of \"$\" in format."));
  EXPECT_EQ(refused({"a"}, "k=a|$b"), fatal_line("Illegal use of \"$\" in format."));
  EXPECT_EQ(refused({"x"}, "f=@f.$nope"), fatal_line("Illegal use of \"$\" in format."));
  Words w{"dat", "x"};
  params(w, "kind=* f=@f.$kind.gz");
  EXPECT_EQ(getpar("f"), "x.dat.gz");
  Words plain{"x"};
  params(plain, "f=@f");
  EXPECT_EQ(getpar("f"), "x");
}

TEST_F(Params, VariablesSupplyMissingValues) {
  define_variable("structures_overlay_gap", "0.25");
  define_variable("structures_overlay_bogus", "1");
  setcmd("structures overlay");
  Words w{"minimum=9"};
  params(w, structures_overlay);
  EXPECT_DOUBLE_EQ(rparam("gap"), 0.25);
  EXPECT_TRUE(havpar("gap"));
  EXPECT_EQ(iparam("minimum"), 9);
  // The command line wins over a variable.
  Words given{"gap=0.5"};
  params(given, structures_overlay);
  EXPECT_DOUBLE_EQ(rparam("gap"), 0.5);
  // The last definition of a name counts.
  define_variable("structures_overlay_gap", "0.3");
  Words none;
  params(none, structures_overlay);
  EXPECT_DOUBLE_EQ(rparam("gap"), 0.3);
  // Without a prefix no variable is consulted.
  setcmd(" ");
  params(none, structures_overlay);
  EXPECT_DOUBLE_EQ(rparam("gap"), 0.4);
  // A bad value names the variable.
  setcmd("structures overlay");
  define_variable("structures_overlay_minimum", "lots");
  EXPECT_EQ(refused({}, structures_overlay),
            fatal_line("Illegal value \"lots\" for parameter \"minimum\" from variable \"structures_overlay_minimum\"."));
}

TEST_F(Params, OptionsAreNotSetFromVariablesAndTemplatePrefix) {
  define_variable("read_pdb_rigid", "1");
  define_variable("read_pdb_structure", "4");
  Words w;
  params(w, "read pdb: " + read_pdb);
  EXPECT_EQ(paramdata.prefix, "read_pdb_");
  EXPECT_EQ(iparam("structure"), 4);
  EXPECT_FALSE(option("rigid"));
}

TEST_F(Params, SetcmdPrefix) {
  setcmd("read pdb");
  EXPECT_EQ(paramdata.prefix, "read_pdb_");
  setcmd("  /usr/macros/atoms select");
  EXPECT_EQ(paramdata.prefix, "atoms_select_");
  setcmd("a=b");
  EXPECT_EQ(paramdata.prefix, "");
}

TEST_F(Params, FetchingUnknownNamesStops) {
  Words w{"x"};
  params(w, "a=* opt");
  EXPECT_EQ(fatal([] { getpar("nope"); }), fatal_line("Illegal parameter \"nope\"."));
  EXPECT_EQ(fatal([] { iparam("nope"); }), fatal_line("Illegal parameter \"nope\"."));
  EXPECT_EQ(fatal([] { rparam("nope"); }), fatal_line("Illegal parameter \"nope\"."));
  EXPECT_EQ(fatal([] { havpar("op"); }), fatal_line("Illegal parameter \"op\".")) << "fetching is exact";
  EXPECT_EQ(fatal([] { option("a"); }), fatal_line("Illegal option \"a\"."));
  EXPECT_EQ(fatal([] {
              int lo, hi;
              irange("b", lo, hi);
            }),
            fatal_line("Illegal parameter \"b\"."));
  EXPECT_EQ(fatal([] {
              double lo, hi;
              rrange("b", lo, hi);
            }),
            fatal_line("Illegal parameter \"b\"."));
  EXPECT_FALSE(havpar("opt"));
  EXPECT_FALSE(option("opt"));
}

TEST_F(Params, LowerLevelSearches) {
  const std::vector<std::string> list{"gapwidth", "gap", "minimum", "min"};
  EXPECT_EQ(icoman("gap", list), 2);
  EXPECT_EQ(icoman("gapw", list), 1);
  EXPECT_EQ(icoman("mi", list), -1);
  EXPECT_EQ(icoman("min", list), 4);
  EXPECT_EQ(icoman("x", list), 0);
  const std::vector<std::size_t> minabb{1, 1, 3, 1};
  EXPECT_EQ(icoman("mi", list, minabb), 4) << "minimum needs three letters, so only min remains";
  EXPECT_EQ(ivar("a", std::vector<std::string>{"a", "b", "a"}), 3);
  EXPECT_EQ(ivar("c", std::vector<std::string>{"a", "b"}), 0);
  std::string name = "  ";
  appext(name, ".pdb");
  EXPECT_EQ(name, "  ");
}

TEST_F(Params, ManyEntriesGrowTheTables) {
  std::string t;
  Words w;
  for (int k = 1; k <= 60; ++k) {
    t += "p" + std::to_string(k) + "=@i=" + std::to_string(k) + " ";
    if (k % 7 == 0) w.push_back("p" + std::to_string(k) + "=" + std::to_string(100 + k));
  }
  params(w, t);
  EXPECT_EQ(paramdata.npar, 60);
  EXPECT_EQ(iparam("p60"), 60);
  EXPECT_EQ(iparam("p56"), 156);
}

TEST_F(Params, SyntaxCommandOnlyInMacros) {
  Words decl{"n=@i=3", "name=*", "loud"};
  Words args{"name=x"};
  EXPECT_EQ(fatal([&] { cmdsyn(decl, args); }), fatal_line("The \"syntax\" command is allowed only in macros."));
  vardata.iunit = 11;
  Words args2{"5", "loud", "name=mac"};
  cmdsyn(decl, args2);
  const auto value_of = [](const std::string& name) {
    const int k = ivar(name, std::span<const std::string>(vardata.var).first(std::size_t(vardata.nvar)));
    return k > 0 ? vardata.vardef[std::size_t(k - 1)] : std::string("<absent>");
  };
  EXPECT_EQ(value_of("n"), "5");
  EXPECT_EQ(value_of("name"), "mac");
  EXPECT_EQ(value_of("loud"), "1");
}

}  // namespace
}  // namespace veldrix

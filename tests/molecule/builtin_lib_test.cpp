// The built-in residue library: it loads and passes the check, the reader takes it as written,
// and its geometry is standard (bond lengths and angles, L amino acids, rotations move what lies beyond the axis).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "molecule/lib_in_code.hpp"
#include "molecule/library.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

using Vec = std::array<double, 3>;
Vec sub(const Vec& a, const Vec& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
double dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec cross(const Vec& a, const Vec& b) { return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]}; }
double dist(const Vec& a, const Vec& b) { return std::sqrt(dot(sub(a, b), sub(a, b))); }

struct Atom {
  std::string name, type;
  Vec pos;
  std::vector<int> bonds;  // bonded atoms of the residue
  int pseudo = 0;
};
struct Angle {
  std::string name;
  std::array<int, 4> at;
  int last;
};
struct Residue {
  std::string name;
  int first = 0, last = 0;
  std::vector<Angle> angles;
  std::vector<Atom> atoms;  // atoms[0] is atom 1
  const Atom& at(int j) const { return atoms.at(std::size_t(j - 1)); }
  int find(const std::string& n, int from = 1) const {
    for (int j = from; j <= int(atoms.size()); ++j)
      if (at(j).name == n) return j;
    return 0;
  }
};

std::vector<std::string> tokens(std::string_view line) {
  std::istringstream in{std::string(line)};
  std::vector<std::string> t;
  for (std::string w; in >> w;) t.push_back(w);
  return t;
}

// The residue blocks of the built-in text, parsed here on their own.
const std::vector<Residue>& builtin() {
  static const std::vector<Residue> residues = [] {
    std::vector<Residue> out;
    for (int i = 1; i <= internal_libfile_lines; ++i) {
      const std::vector<std::string> h = tokens(internal_libfile(i));
      if (h.empty() || h[0] != "RESIDUE") continue;
      Residue r{h[1], std::stoi(h[4]), std::stoi(h[5]), {}, {}};
      const int nd = std::stoi(h[2]), na = std::stoi(h[3]);
      for (int k = 1; k <= nd; ++k) {
        const auto t = tokens(internal_libfile(i + k));
        r.angles.push_back({t[1], {std::stoi(t[5]), std::stoi(t[6]), std::stoi(t[7]), std::stoi(t[8])}, std::stoi(t[9])});
      }
      for (int j = 1; j <= na; ++j) {
        const auto t = tokens(internal_libfile(i + nd + j));
        Atom a{t[1], t[2], {std::stod(t[5]), std::stod(t[6]), std::stod(t[7])}, {}, std::stoi(t[12])};
        for (int m = 8; m < 12; ++m)
          if (std::stoi(t[std::size_t(m)]) > 0) a.bonds.push_back(std::stoi(t[std::size_t(m)]));
        r.atoms.push_back(a);
      }
      out.push_back(r);
    }
    return out;
  }();
  return residues;
}

bool is_hydrogen(const Atom& a) { return a.type[0] == 'H'; }
bool is_linker(const Residue& r) {
  return std::all_of(r.atoms.begin(), r.atoms.end(), [](const Atom& a) { return a.type == "DUMMY" || a.type == "METAL"; });
}

TEST(BuiltinLibrary, LoadsPassesTheCheckAndIsReadAsWritten) {
  MoleculeState s;
  ASSERT_EQ(testing::fatal_of([&] {
              getlib(s, nullptr);
              libchk(s);
            }),
            "");
  EXPECT_TRUE(s.printdata.lines.empty());
  const VokanData& v = s.vokandata;
  ASSERT_EQ(v.naa, int(builtin().size()));
  for (int i = 1; i <= v.naa; ++i) {
    const Residue& r = builtin()[std::size_t(i - 1)];
    SCOPED_TRACE(r.name);
    EXPECT_EQ(v.aanam(i), r.name);
    EXPECT_EQ((std::array<int, 2>{v.ifirat(i), v.lasat(i)}), (std::array<int, 2>{r.first, r.last}));
    ASSERT_EQ(v.ndih(i), int(r.angles.size()));
    ASSERT_EQ(v.nat(i), int(r.atoms.size()));
    for (int k = 1; k <= v.ndih(i); ++k) {
      const Angle& g = r.angles[std::size_t(k - 1)];
      EXPECT_EQ(v.dihnam(k, i), g.name);
      EXPECT_EQ((std::array<int, 5>{v.idihat(1, k, i), v.idihat(2, k, i), v.idihat(3, k, i), v.idihat(4, k, i),
                                    v.ldihat(k, i)}),
                (std::array<int, 5>{g.at[0], g.at[1], g.at[2], g.at[3], g.last}));
    }
    // The text is in the standard frame already: the reader's frame leaves every atom where it is.
    for (int j = 1; j <= v.nat(i); ++j) {
      const Atom& a = r.at(j);
      EXPECT_EQ(v.atnam(j, i) + " " + v.attyp(v.iattyp(j, i)), a.name + " " + a.type);
      EXPECT_EQ(v.ipatom(j, i), a.pseudo) << a.name;
      for (int x = 1; x <= 3; ++x) EXPECT_NEAR(v.coord(x, j, i), a.pos[std::size_t(x - 1)], 1e-9) << a.name;
    }
  }
}

// Standard bond lengths (A) by atom-type pair; a pair that covers bonds of different order
// (aromatic rings, bases) has two values and a bond must match one of them.
const std::map<std::pair<std::string, std::string>, std::vector<double>> heavy_bonds = {
    {{"C_ALI", "C_ALI"}, {1.52}},       {{"C_ALI", "C_BYL"}, {1.52}},       {{"C_ALI", "C_VIN"}, {1.50}},
    {{"C_ALI", "C_ARO"}, {1.50}},       {{"C_ALI", "N_AMI"}, {1.465}},      {{"C_ALI", "N_AMO"}, {1.49}},
    {{"C_ALI", "O_HYD"}, {1.42}},       {{"C_ALI", "O_EST"}, {1.43}},       {{"C_ALI", "S_RED"}, {1.80}},
    {{"C_ALI", "S_OXY"}, {1.81}},       {{"C_BYL", "O_BYL"}, {1.24}},       {{"C_BYL", "N_AMI"}, {1.33}},
    {{"C_VIN", "C_ARO"}, {1.375}},      {{"C_VIN", "C_VIN"}, {1.42}},       {{"C_ARO", "C_ARO"}, {1.36, 1.42}},
    {{"C_VIN", "N_AMO"}, {1.33, 1.37}}, {{"C_ARO", "N_AMO"}, {1.32, 1.37}}, {{"C_VIN", "N_AMI"}, {1.33, 1.37}},
    {{"C_ARO", "N_AMI"}, {1.33, 1.37}}, {{"C_ARO", "O_BYL"}, {1.23}},       {{"C_VIN", "O_HYD"}, {1.37}},
    {{"O_EST", "P_ALI"}, {1.60}},       {{"O_BYL", "P_ALI"}, {1.49}},
};
const std::map<char, double> hydrogen_bonds = {{'C', 1.09}, {'N', 1.01}, {'O', 0.97}, {'S', 1.34}};

TEST(BuiltinLibrary, BondLengthsAndAnglesAreStandard) {
  for (const Residue& r : builtin())
    for (int i = 1; i <= int(r.atoms.size()); ++i) {
      const Atom& a = r.at(i);
      for (int j : a.bonds) {
        const Atom& b = r.at(j);
        SCOPED_TRACE(r.name + " " + a.name + "-" + b.name);
        EXPECT_NE(std::find(b.bonds.begin(), b.bonds.end(), i), b.bonds.end()) << "bond listed one way only";
        const double d = dist(a.pos, b.pos);
        if (is_hydrogen(a) || is_hydrogen(b)) {
          EXPECT_NEAR(d, hydrogen_bonds.at((is_hydrogen(a) ? b : a).type[0]), 0.05);
          continue;
        }
        auto it = heavy_bonds.find({a.type, b.type});
        if (it == heavy_bonds.end()) it = heavy_bonds.find({b.type, a.type});
        ASSERT_NE(it, heavy_bonds.end());
        double off = 1e9;
        for (double standard : it->second) off = std::min(off, std::fabs(d - standard));
        EXPECT_LE(off, 0.03) << d;
      }
      // Bond angles: none outside 95..135 degrees, tetrahedral at aliphatic carbon, and the three bonds
      // of a trigonal centre in one plane (their angles add up to 360 degrees).
      const bool trigonal = a.bonds.size() == 3 && a.type != "C_ALI" && a.type != "P_ALI";
      double sum = 0.0;
      for (std::size_t m = 0; m < a.bonds.size(); ++m)
        for (std::size_t n = m + 1; n < a.bonds.size(); ++n) {
          const Vec u = sub(r.at(a.bonds[m]).pos, a.pos), w = sub(r.at(a.bonds[n]).pos, a.pos);
          const double angle = std::acos(dot(u, w) / std::sqrt(dot(u, u) * dot(w, w))) * 180 / M_PI;
          SCOPED_TRACE(r.name + " " + r.at(a.bonds[m]).name + "-" + a.name + "-" + r.at(a.bonds[n]).name);
          EXPECT_NEAR(angle, 115, 20);
          if (a.type == "C_ALI") {
            EXPECT_NEAR(angle, 109.5, 8);
          }
          sum += angle;
        }
      if (trigonal) {
        EXPECT_NEAR(sum, 360, 0.5) << r.name << " " << a.name;
      }
    }
}

// Chirality of a centre with substituents a, b, c: the sign of (a - centre) . ((b - centre) x (c - centre)).
TEST(BuiltinLibrary, AminoAcidsAreLAndSideChainCentresHaveTheirConfiguration) {
  struct Centre {
    std::string residue, centre, a, b, c;
    double sign;
  };
  const std::vector<Centre> centres{
      {"*", "CA", "N", "C", "CB", 1},        {"ILE", "CB", "CA", "CG1", "CG2", 1}, {"THR", "CB", "OG1", "CA", "CG2", -1},
      {"VAL", "CB", "CA", "CG1", "CG2", -1}, {"LEU", "CG", "CB", "CD1", "CD2", -1},
  };
  int checked = 0;
  for (const Residue& r : builtin())
    for (const Centre& c : centres) {
      // Own atoms by name: the overlap atoms at the start of the block are passed over.
      const int p = r.find(c.centre, r.first), a = r.find(c.a, r.first), b = r.find(c.b, r.first), d = r.find(c.c, r.first);
      if ((c.residue != "*" && c.residue != r.name) || !p || !a || !b || !d) continue;
      const Vec o = r.at(p).pos;
      EXPECT_GT(c.sign * dot(sub(r.at(a).pos, o), cross(sub(r.at(b).pos, o), sub(r.at(d).pos, o))), 0) << r.name;
      ++checked;
    }
  EXPECT_EQ(checked, 20 + 4);  // every amino acid type but glycine, and four side-chain centres
}

// Turning angle k moves the atoms a3+1 .. last (0: to the end); for a residue that is not a linker
// those must be exactly the real atoms reached from the third atom without passing the second. The sugar
// ring is the one ring an axis lies in: for NU2 and NU1 its closing bond O4'-C4' is cut.
TEST(BuiltinLibrary, EachAngleMovesExactlyTheAtomsBeyondItsAxis) {
  for (const Residue& r : builtin()) {
    if (is_linker(r)) continue;
    for (const Angle& g : r.angles) {
      SCOPED_TRACE(r.name + " " + g.name);
      std::set<std::pair<int, int>> cut;
      if (g.name == "NU2" || g.name == "NU1") {
        const int o4 = r.find("O4'"), c4 = r.find("C4'");
        cut = {{o4, c4}, {c4, o4}};
      }
      std::set<int> beyond{g.at[2]};
      for (std::vector<int> todo{g.at[2]}; !todo.empty();) {
        const int a = todo.back();
        todo.pop_back();
        for (int b : r.at(a).bonds)
          if (b != g.at[1] && !cut.count({a, b}) && beyond.insert(b).second) todo.push_back(b);
      }
      beyond.erase(g.at[2]);
      std::set<int> moved;
      for (int j = g.at[2] + 1; j <= (g.last > 0 ? g.last : int(r.atoms.size())); ++j)
        if (r.at(j).type != "PSEUD") moved.insert(j);
      EXPECT_EQ(moved, beyond);
    }
  }
}

}  // namespace
}  // namespace veldrix

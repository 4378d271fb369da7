// The built-in residue library loads, passes the check and keeps its standard frame; its geometry is standard.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "molecule/lib_in_code.hpp"
#include "molecule/library.hpp"
#include "molecule/sequence.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

struct Atom {
  std::string name, type;
  Vec3 pos;
  std::vector<int> bonds;
};
struct Residue {
  std::string name;
  std::vector<Atom> atoms;  // atoms[0] is atom 1
};

std::vector<std::string> tokens(std::string_view line) {
  std::istringstream in{std::string(line)};
  std::vector<std::string> t;
  for (std::string w; in >> w;) t.push_back(w);
  return t;
}

// The residue blocks of the built-in text, parsed here on their own.
std::vector<Residue> builtin() {
  std::vector<Residue> out;
  for (int i = 1; i <= internal_libfile_lines; ++i) {
    const std::vector<std::string> h = tokens(internal_libfile(i));
    if (h.empty() || h[0] != "RESIDUE") continue;
    Residue r{h[1], {}};
    for (int j = 1, nd = std::stoi(h[2]); j <= std::stoi(h[3]); ++j) {
      const auto t = tokens(internal_libfile(i + nd + j));
      r.atoms.push_back({t[1], t[2], {std::stod(t[5]), std::stod(t[6]), std::stod(t[7])}, {}});
      for (std::size_t m = 8; m < 12; ++m)
        if (std::stoi(t[m]) > 0) r.atoms.back().bonds.push_back(std::stoi(t[m]));
    }
    out.push_back(r);
  }
  return out;
}

TEST(BuiltinLibrary, LoadsPassesTheCheckAndKeepsItsStandardFrame) {
  MoleculeState s;
  ASSERT_EQ(testing::fatal_of([&] {
              getlib(s, nullptr);
              libchk(s);
            }),
            "");
  EXPECT_TRUE(s.printdata.lines.empty());
  const VokanData& v = s.vokandata;
  const std::vector<Residue> residues = builtin();
  ASSERT_EQ(v.naa, int(residues.size()));
  for (int i = 1; i <= v.naa; ++i) {
    const Residue& r = residues[std::size_t(i - 1)];
    ASSERT_EQ(v.aanam(i) + " " + std::to_string(v.nat(i)), r.name + " " + std::to_string(r.atoms.size()));
    for (int j = 1; j <= v.nat(i); ++j) {
      const Atom& a = r.atoms[std::size_t(j - 1)];
      EXPECT_EQ(v.atnam(j, i) + " " + v.attyp(v.iattyp(j, i)), a.name + " " + a.type) << r.name;
      for (int x = 1; x <= 3; ++x) EXPECT_NEAR(v.coord(x, j, i), a.pos[std::size_t(x - 1)], 1e-9) << r.name << a.name;
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

// Bond angles: none outside 95..135 degrees, tetrahedral at aliphatic carbon, and the three bonds of a
// trigonal centre in one plane (their angles add up to 360 degrees).
TEST(BuiltinLibrary, BondLengthsAndAnglesAreStandard) {
  for (const Residue& r : builtin())
    for (std::size_t i = 0; i < r.atoms.size(); ++i) {
      const Atom& a = r.atoms[i];
      double sum = 0.0;
      for (std::size_t m = 0; m < a.bonds.size(); ++m) {
        const Atom& b = r.atoms[std::size_t(a.bonds[m] - 1)];
        SCOPED_TRACE(r.name + " " + a.name + "-" + b.name);
        const double d = std::hypot(a.pos[0] - b.pos[0], a.pos[1] - b.pos[1], a.pos[2] - b.pos[2]);
        if (a.type[0] == 'H' || b.type[0] == 'H') {
          EXPECT_NEAR(d, hydrogen_bonds.at((a.type[0] == 'H' ? b : a).type[0]), 0.05);
        } else {
          auto it = heavy_bonds.find({a.type, b.type});
          if (it == heavy_bonds.end()) it = heavy_bonds.find({b.type, a.type});
          ASSERT_NE(it, heavy_bonds.end());
          double off = 1e9;
          for (double standard : it->second) off = std::min(off, std::fabs(d - standard));
          EXPECT_LE(off, 0.03) << d;
        }
        for (std::size_t n = m + 1; n < a.bonds.size(); ++n) {
          const Vec3 &p = b.pos, &q = r.atoms[std::size_t(a.bonds[n] - 1)].pos, &o = a.pos;
          double dot = 0.0;
          for (std::size_t x = 0; x < 3; ++x) dot += (p[x] - o[x]) * (q[x] - o[x]);
          const double angle = std::acos(dot / d / std::hypot(q[0] - o[0], q[1] - o[1], q[2] - o[2])) * 180 / M_PI;
          EXPECT_NEAR(angle, 115, 20);
          EXPECT_TRUE(a.type != "C_ALI" || std::fabs(angle - 109.5) < 8) << angle;
          sum += angle;
        }
      }
      EXPECT_TRUE(a.bonds.size() != 3 || a.type == "C_ALI" || a.type == "P_ALI" || std::fabs(sum - 360) < 0.5)
          << r.name << " " << a.name << " " << sum;
    }
}

}  // namespace
}  // namespace veldrix

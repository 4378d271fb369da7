// The geometry of the built-in residue library is standard: bond lengths by atom-type pair, bond angles.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numbers>
#include <sstream>

#include "molecule/lib_in_code.hpp"
#include "molecule/sequence.hpp"

namespace veldrix {
namespace {

struct Atom {
  std::string name, type;
  Vec3 pos;
  std::vector<int> bonds;
};

// Standard bond lengths (A) by atom-type pair; a pair with bonds of different order (rings, bases) has two.
const std::map<std::pair<std::string, std::string>, std::vector<double>> heavy_bonds = {
    {{"C_ALI", "C_ALI"}, {1.52}},       {{"C_ALI", "C_BYL"}, {1.52}},       {{"C_ALI", "C_VIN"}, {1.50}},
    {{"C_ALI", "C_ARO"}, {1.50}},       {{"C_ALI", "N_AMI"}, {1.465}},      {{"C_ALI", "N_AMO"}, {1.49}},
    {{"C_ALI", "O_HYD"}, {1.42}},       {{"C_ALI", "O_EST"}, {1.43}},       {{"C_ALI", "S_RED"}, {1.80}},
    {{"C_ALI", "S_OXY"}, {1.81}},       {{"C_BYL", "O_BYL"}, {1.24}},       {{"C_BYL", "N_AMI"}, {1.33}},
    {{"C_VIN", "C_ARO"}, {1.375}},      {{"C_VIN", "C_VIN"}, {1.42}},       {{"C_ARO", "C_ARO"}, {1.36, 1.42}},
    {{"C_VIN", "N_AMO"}, {1.33, 1.37}}, {{"C_ARO", "N_AMO"}, {1.32, 1.37}}, {{"C_VIN", "N_AMI"}, {1.33, 1.37}},
    {{"C_ARO", "N_AMI"}, {1.33, 1.37}}, {{"C_ARO", "O_BYL"}, {1.23}},       {{"C_VIN", "O_HYD"}, {1.37}},
    {{"O_EST", "P_ALI"}, {1.60}},       {{"O_BYL", "P_ALI"}, {1.49}}};
const std::map<char, double> hydrogen_bonds = {{'C', 1.09}, {'N', 1.01}, {'O', 0.97}, {'S', 1.34}};

double distance(const Vec3& a, const Vec3& b) { return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]); }

// Bond angles: none outside 95..135 degrees, tetrahedral at aliphatic carbon, and the three bonds of a
// trigonal centre in one plane (their angles add up to 360 degrees).
TEST(BuiltinLibrary, BondLengthsAndAnglesAreStandard) {
  int residues = 0;
  for (int i = 1; i <= internal_libfile_lines; ++i) {
    std::istringstream head{std::string(internal_libfile(i))};
    std::string word, name;
    int angles = 0, count = 0;
    if (!(head >> word >> name >> angles >> count) || word != "RESIDUE") continue;
    ++residues;
    std::vector<Atom> atoms;
    for (int j = 1; j <= count; ++j) {
      std::istringstream line{std::string(internal_libfile(i + angles + j))};
      Atom a;
      std::string skip;
      line >> skip >> a.name >> a.type >> skip >> skip >> a.pos[0] >> a.pos[1] >> a.pos[2];
      for (int k = 0, b = 0; k < 4 && line >> b; ++k)  // four bonded atoms, then the pseudo atom
        if (b > 0) a.bonds.push_back(b);
      atoms.push_back(a);
    }
    for (const Atom& a : atoms) {
      double sum = 0.0;
      for (std::size_t m = 0; m < a.bonds.size(); ++m) {
        const Atom& b = atoms[std::size_t(a.bonds[m] - 1)];
        SCOPED_TRACE(name + " " + a.name + "-" + b.name);
        const double d = distance(a.pos, b.pos);
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
          const Vec3& q = atoms[std::size_t(a.bonds[n] - 1)].pos;
          const double dot = (b.pos[0] - a.pos[0]) * (q[0] - a.pos[0]) + (b.pos[1] - a.pos[1]) * (q[1] - a.pos[1]) +
                             (b.pos[2] - a.pos[2]) * (q[2] - a.pos[2]);
          const double angle = std::acos(dot / d / distance(q, a.pos)) * 180 / std::numbers::pi;
          EXPECT_NEAR(angle, 115, 20);
          EXPECT_TRUE(a.type != "C_ALI" || std::fabs(angle - 109.5) < 8) << angle;
          sum += angle;
        }
      }
      EXPECT_TRUE(a.bonds.size() != 3 || a.type == "C_ALI" || a.type == "P_ALI" || std::fabs(sum - 360) < 0.5)
          << name << " " << a.name << " " << sum;
    }
  }
  EXPECT_EQ(residues, 38);
}

}  // namespace
}  // namespace veldrix

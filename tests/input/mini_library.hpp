// A small residue library (the standard atom types, ALA and the linker PL) and PDB text helpers for tests.
#pragma once

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "molecule/library.hpp"
#include "molecule/state.hpp"

namespace veldrix::testing {

inline const char* const mini_atom_types = R"(ATOMTYPES    20      0.10
   1 PSEUD    -10.00    0    0
   2 H_ALI      1.00    0    1
   3 H_AMI      0.95    1    1
   4 H_ARO      1.00    0    1
   5 H_SUL      1.00    1    1
   6 H_OXY      1.00    1    1
   7 C_ALI      1.60    0    6
   8 C_BYL      1.50    0    6
   9 C_ARO      1.60    0    6
  10 C_VIN      1.60    0    6
  11 N_AMI      1.45   -1    7
  12 N_AMO      1.50    0    7
  13 O_BYL      1.30   -1    8
  14 O_HYD      1.30   -1    8
  15 O_EST      1.30   -1    8
  16 S_OXY      1.80    0   16
  17 S_RED      1.80    0   16
  18 P_ALI      1.80    0   15
  19 METAL      1.80    0   50
  20 DUMMY    -10.00    0  999
)";

// The built-in "ALA" block exactly as printed in the library layout.
inline const std::string ala_block = R"(RESIDUE   ALA      4   14    3   13
   1 OMEGA    0    0    0.0000    2    1    3    4    0
   2 PHI      0    0    0.0000    1    3    5   12    0
   3 CHI1     0    0    0.0000    3    5    8    9   11
   4 PSI      0    0    0.0000    3    5   12   14    0
   1 C    C_BYL    0    0.0000    0.0000    0.0000    0.0000    2    3    0    0    0
   2 O    O_BYL    0    0.0000   -0.6700    0.0000   -1.0322    1    0    0    0    0
   3 N    N_AMI    0    0.0000    1.3290    0.0000    0.0000    1    4    5    0    0
   4 H    H_AMI    0    0.0000    1.8069   -0.0007    0.8553    3    0    0    0    0
   5 CA   C_ALI    0    0.0000    2.0929   -0.0011   -1.2414    3    6    8   12    0
   6 HA   H_ALI    0    0.0000    2.7479   -0.8605   -1.2295    5    0    0    0    0
   7 QB   PSEUD    0    0.0000    0.9384   -0.1665   -2.7175    0    0    0    0    0
   8 CB   C_ALI    0    0.0000    1.1594   -0.1351   -2.4354    5    9   10   11    0
   9 HB1  H_ALI    0    0.0000    0.1776    0.2265   -2.1659    8    0    0    0    7
  10 HB2  H_ALI    0    0.0000    1.5440    0.4465   -3.2598    8    0    0    0    7
  11 HB3  H_ALI    0    0.0000    1.0938   -1.1729   -2.7259    8    0    0    0    7
  12 C    C_BYL    0    0.0000    2.9378    1.2621   -1.3672    5   13   14    0    0
  13 O    O_BYL    0    0.0000    2.4397    2.3166   -1.7634   12    0    0    0    0
  14 N    N_AMI    0    0.0000    4.2169    1.1488   -1.0273   12    0    0    0    0
)";

// The built-in linker block "PL".
inline const std::string pl_block = R"(RESIDUE   PL       1    6    3    5
   1 LB       0    0    0.0000    2    3    4    5    0
   1 C    DUMMY    0    0.0000    0.0000    0.0000    0.0000    0    0    0    0    0
   2 O    DUMMY    0    0.0000   -0.6967    0.0000   -1.0137    0    0    0    0    0
   3 N    DUMMY    0    0.0000    1.3249    0.0000    0.0000    0    0    0    0    0
   4 Q1   DUMMY    0    0.0000    1.7732    0.0000   -0.8939    0    0    0    0    0
   5 Q2   DUMMY    0    0.0000    2.6671    0.0000   -0.4457    0    0    0    0    0
   6 Q3   DUMMY    0    0.0000    3.1153    0.0000   -1.3396    0    0    0    0    0
)";

inline const std::string mini_residues = "\n" + ala_block + pl_block;

// Loads the library text (the mini library unless another text is given) and checks it.
inline void load_mini_library(MoleculeState& s, const std::string& text = std::string(mini_atom_types) + mini_residues) {
  VokanData& v = s.vokandata;
  v.naa = v.nattyp = v.maxdih = v.maxat = 0;
  std::istringstream in(text);
  getlib(s, &in);
  libchk(s);
}

// One ATOM record in the PDB column layout, the name as given in columns 13-16.
inline std::string pdb_record(int serial, const std::string& name, const std::string& residue, char chain,
                              int number, double x, double y, double z, char altloc = ' ',
                              const char* tail = "  1.00  0.00") {
  char buf[160];
  std::snprintf(buf, sizeof buf, "ATOM  %5d %-4s%c%-4s%c%4d    %8.3f%8.3f%8.3f%s", serial, name.c_str(), altloc,
                residue.c_str(), chain, number, x, y, z, tail);
  return buf;
}

// A sequence-only file: one ATOM record (atom N) per residue, chains and numbers as given.
struct SeqEntry {
  std::string residue;
  char chain;
  int number;
};
inline std::string sequence_text(const std::vector<SeqEntry>& seq) {
  std::string s;
  int serial = 0;
  for (const SeqEntry& e : seq) s += pdb_record(++serial, "N", e.residue, e.chain, e.number, 0, 0, 0) + "\n";
  return s;
}

// The non-pseudo atoms of structure s of the current molecule as ATOM records.
inline std::string model_records(const VokanData& v, int s, char blank_chain_as = 0) {
  std::string out;
  for (int a = 1; a <= v.na; ++a) {
    if (v.iael(a) == 0) continue;
    const int r = v.iar(a);
    const std::string id = v.rnum(r);
    const char chain = blank_chain_as ? blank_chain_as : id[0];
    const int number = std::stoi(id.substr(1));
    const int col = v.col(s, a);
    out += pdb_record(a, v.anam(a), v.rnam(r), chain, number, v.coo(1, col), v.coo(2, col), v.coo(3, col)) + "\n";
  }
  return out;
}

}  // namespace veldrix::testing

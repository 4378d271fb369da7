// Test helpers for the coordinate reader: PDB records, sequences and generated ensembles of alanines.
#pragma once

#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "input/extseq.hpp"
#include "molecule/sequence.hpp"
#include "molecule/tree.hpp"
#include "test_support.hpp"

namespace veldrix::testing {

// One ATOM record in the PDB column layout, the name as given in columns 13-16.
inline std::string pdb_record(int serial, const std::string& name, const std::string& residue, char chain, int number,
                              double x, double y, double z, char altloc = ' ', const char* tail = "  1.00  0.00") {
  char buf[160];
  std::snprintf(buf, sizeof buf, "ATOM  %5d %-4s%c%-4s%c%4d    %8.3f%8.3f%8.3f%s\n", serial, name.c_str(), altloc,
                residue.c_str(), chain, number, x, y, z, tail);
  return buf;
}

// A sequence-only file: one ATOM record (atom N) of each alanine, chains and numbers as given.
inline std::string sequence_text(const std::vector<std::pair<char, int>>& seq) {
  std::string s;
  int serial = 0;
  for (const auto& [chain, number] : seq) s += pdb_record(++serial, "N", "ALA", chain, number, 0, 0, 0);
  return s;
}

// A session with the built-in library and the molecule of the sequence text.
inline void build_sequence(Session& s, const std::string& text) {
  load_library(s);
  std::istringstream in(text);
  extseq(s, in, 3, "*", 2);
  iniseq(s);
}

// Conformers of an alanine chain generated from random torsion angles, as PDB text.
struct Ensemble {
  std::string text;
  std::vector<std::vector<double>> angles;       // free angles of each model
  std::vector<std::vector<std::string>> models;  // the records of each model
};

inline Ensemble make_ensemble(int nres, int models, bool with_model_records, unsigned seed = 5, char chain = 'A') {
  Session s;
  std::vector<std::pair<char, int>> seq;
  for (int i = 1; i <= nres; ++i) seq.emplace_back(chain, i);
  build_sequence(s, sequence_text(seq));
  VokanData& v = s.vokandata;
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> angle(-3.0, 3.0);
  Ensemble e;
  for (int m = 1; m <= models; ++m) {
    std::vector<double> values;
    for (int k = 1; k <= v.ndfree; ++k) values.push_back(v.dval(k) = angle(rng));
    gener(v);
    e.angles.push_back(values);
    std::vector<std::string> lines;
    for (int a = 1; a <= v.na; ++a) {
      if (v.iael(a) == 0) continue;
      const int r = v.iar(a), col = v.col(0, a);
      lines.push_back(pdb_record(a, v.anam(a), v.rnam(r), chain, std::stoi(v.rnum(r).substr(1)), v.coo(1, col),
                                 v.coo(2, col), v.coo(3, col)));
    }
    e.models.push_back(lines);
    if (with_model_records) e.text += "MODEL     " + std::to_string(m) + "\n";
    for (const std::string& l : lines) e.text += l;
    if (with_model_records) e.text += "ENDMDL\n";
  }
  e.text += "END\n";
  return e;
}

}  // namespace veldrix::testing

// Test helpers for the coordinate reader: a session with a small molecule, generated ensembles.
#pragma once

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "input/extseq.hpp"
#include "input/getcor.hpp"
#include "input/mini_library.hpp"
#include "molecule/sequence.hpp"
#include "molecule/tree.hpp"
#include "test_support.hpp"

namespace veldrix::testing {

// A session whose molecule is the sequence given as PDB text, on the small library.
inline void build_sequence(Session& s, const std::string& text) {
  load_mini_library(s);
  std::istringstream in(text);
  extseq(s, in, 3, "*", 2);
  iniseq(s);
}

// Two alanines A1 and A2; returns their sequence text.
inline std::string two_alanines(Session& s) {
  const std::string two = sequence_text({{"ALA", 'A', 1}, {"ALA", 'A', 2}});
  build_sequence(s, two);
  return two;
}

// Conformers of a poly-alanine chain generated from random torsion angles, as PDB text.
struct Ensemble {
  std::string text;
  std::vector<std::vector<double>> angles;       // free angles of each model
  std::vector<std::vector<std::string>> models;  // the records of each model
};

inline Ensemble make_ensemble(int nres, int models, bool with_model_records, unsigned seed = 5, char chain = 'A') {
  Session s;
  std::vector<SeqEntry> seq;
  for (int i = 1; i <= nres; ++i) seq.push_back({"ALA", chain, i});
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
    std::istringstream split(model_records(v, 0));
    for (std::string l; std::getline(split, l);) lines.push_back(l);
    e.models.push_back(lines);
    if (with_model_records) e.text += "MODEL     " + std::to_string(m) + "\n";
    for (const std::string& l : lines) e.text += l + "\n";
    if (with_model_records) e.text += "ENDMDL\n";
  }
  e.text += "END\n";
  return e;
}

}  // namespace veldrix::testing

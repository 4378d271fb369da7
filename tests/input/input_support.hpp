// Test helpers for the coordinate reader: generated ensembles and temporary files.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "input/mini_library.hpp"
#include "molecule/sequence.hpp"
#include "molecule/tree.hpp"
#include "test_support.hpp"

namespace veldrix::testing {

// Conformers of a poly-alanine chain generated from random torsion angles, as PDB text.
struct Ensemble {
  std::string text;
  std::vector<std::vector<double>> angles;  // free angles of each model
  std::vector<std::vector<std::string>> models;  // the records of each model
};

inline Ensemble make_ensemble(int nres, int models, bool with_model_records, unsigned seed = 5, char chain = 'A') {
  reset_all();
  load_library();
  std::vector<SeqEntry> seq;
  for (int i = 1; i <= nres; ++i) seq.push_back({"ALA", chain, i});
  std::istringstream in(sequence_text(seq));
  extseq(in, 3, "*", 2);
  iniseq();
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> angle(-3.0, 3.0);
  Ensemble e;
  for (int m = 1; m <= models; ++m) {
    std::vector<double> values;
    for (int k = 1; k <= vokandata.ndfree; ++k) values.push_back(vokandata.dval(k) = angle(rng));
    gener();
    e.angles.push_back(values);
    const std::string records = model_records(0);
    std::vector<std::string> lines;
    std::istringstream split(records);
    for (std::string l; std::getline(split, l);) lines.push_back(l);
    e.models.push_back(lines);
    if (with_model_records) e.text += "MODEL     " + std::to_string(m) + "\n";
    e.text += records;
    if (with_model_records) e.text += "ENDMDL\n";
  }
  e.text += "END\n";
  reset_all();
  return e;
}

inline std::string joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += l + "\n";
  return s;
}

// A file in its own temporary directory; both go with the object.
class TempFile {
 public:
  explicit TempFile(const std::string& content, const std::string& name = "model.pdb")
      : path_((dir_.path() / name).string()) {
    std::ofstream(path_, std::ios::binary) << content;
  }
  const std::string& path() const { return path_; }

 private:
  TempDir dir_{"input"};
  std::string path_;
};

}  // namespace veldrix::testing

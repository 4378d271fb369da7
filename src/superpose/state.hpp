// The state of a run up to the superposition: the molecule state and the ensemble RMSD's working arrays.
#pragma once

#include <vector>

#include "molecule/state.hpp"
#include "superpose/moments.hpp"

namespace veldrix {

// Working arrays of armsd, kept between its calls so that the overlay's many calls do not allocate.
struct ArmsdScratch {
  std::vector<int> atoms;    // usable atoms, ascending
  std::vector<double> p;     // 3 x nu x (nsstr + 1): mean structure first, then the members
  std::vector<double> dist;  // per usable atom: summed distance to the mean
};

struct SuperposeState : MoleculeState {
  ArmsdScratch armsd_scratch;
  EnsembleMoments moments;  // the statistics behind the overlay's and the clustering's ensemble RMSDs
};

}  // namespace veldrix

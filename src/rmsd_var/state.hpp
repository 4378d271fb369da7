// Module state of the range analysis: tuning parameters and the scratch values its routines keep.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "veldrix/veldrix.hpp"

namespace veldrix {

// Tuning parameters of one analysis, in the order the domain search reads them.
struct UserParams {
  int buffer = 0;
  int gapwidth = 0;
  int minimum = 0;
  double gap = 0.0;
  double decrease = 0.0;
  double absdecrease = 0.0;
  double upper_rmsd = 0.0;
};

struct RmsdVar {
  UserParams user_params;                // filled at the start of every analysis
  std::array<double, 2> total_vector{};  // sums of cosines and sines of the last order parameter
  std::array<int, 2> merge_clusters{};   // rows merged by the last clustering step
  int cutoff = 0;                        // level of least score found last
  std::string str;                       // range list of the last result line
  std::string error_string;              // text of the last warning
  std::vector<Domain> domains;           // the domains reported, in printed order
  int range_residues = 0;                // residues with an atom in the analysed range
};
inline RmsdVar rmsd_var;

inline void reset_rmsd_var() { rmsd_var = RmsdVar{}; }

}  // namespace veldrix

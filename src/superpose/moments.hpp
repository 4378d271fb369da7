// The ensemble RMSD of armsd from additive statistics of atom groups.
//
// For a group of atoms the statistics hold, over the ensemble members, the atom count,
// each member's coordinate sums and, for every pair of members k <= j, the sums of
// x_k x_j^T. The statistics of a union of disjoint groups are the sums of theirs, and the
// ensemble RMSD over a group needs only them: each fit is one 3 x 3 decomposition
// whatever the group's size. The arithmetic differs from armsd's point by point sums
// only in rounding.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "molecule/vokandata.hpp"
#include "util/farray.hpp"

namespace veldrix {

class EnsembleMoments {
 public:
  // Whether the statistics suit an ensemble of ns members: their size grows as ns^2 (and
  // so does the work of one RMSD), so that beyond 64 members armsd over the atoms is the
  // better way.
  static bool suits(int ns) { return ns >= 2 && ns <= 64; }

  // The members isstr(1..nsstr) of v; atoms count when they have coordinates in every
  // member (as armsd takes them). Coordinates are taken relative to each member's mean
  // over the usable atoms selected in `around` (or its first atom), which keeps the sums
  // small. v must not change while the statistics are used.
  void prepare(const VokanData& v, const FArray<bool>& around);

  int members() const { return ns_; }
  bool usable(int a) const { return a >= 1 && std::size_t(a) < usable_.size() && usable_[std::size_t(a)] != 0; }
  // Doubles of one group's statistics.
  std::size_t size() const { return size_; }

  // Adds (sign 1) or removes (sign -1) a usable atom to or from the statistics `block`.
  void add_atom(std::span<double> block, int a, double sign = 1.0);

  // armsd's value for the atoms the statistics hold: the mean RMSD of the members to
  // their mean structure after fitting every member onto member 1, averaging, and fitting
  // every member onto the mean; -1.0 with fewer than 4 atoms or 2 members. Each squared
  // RMSD is a difference of sums of squares, whose rounding grows with their ratio to it:
  // nullopt when that ratio passes 10^6 (an RMSD below a thousandth of the atoms' spread),
  // where armsd itself must be asked.
  std::optional<double> rmsd(std::span<const double> block);

  // The same; also armsd's adisp: the mean distance of each of `atoms` (the atoms the
  // statistics hold) to the mean structure after the fits, 0 for every other atom
  // (adisp is left alone with nullopt).
  std::optional<double> rmsd(std::span<const double> block, std::span<const int> atoms, FArray<double>& adisp);

 private:
  std::optional<double> fit(std::span<const double> block, bool keep_rotations);

  const VokanData* v_ = nullptr;
  int ns_ = 0;
  std::size_t size_ = 0;
  std::vector<const double*> base_;  // coordinates of atom a of member k at base_[k][3a]
  std::vector<double> centre_;       // 3 per member
  std::vector<char> usable_;
  // Scratch of a fit: per member pair the centred moments, per member the rotation onto
  // member 1 and the one onto the mean, the centroid, and one atom's coordinates.
  std::vector<double> m_, r_, t_, c_, y_, nk_;
};

}  // namespace veldrix

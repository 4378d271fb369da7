// Clustering of the core atoms and the spread value of each level.
#include "rmsd_var/clustering.hpp"

#include <algorithm>
#include <vector>

#include "rmsd_var/variance.hpp"
#include "superpose/moments.hpp"
#include "superpose/overlay.hpp"
#include "superpose/state.hpp"

namespace veldrix {

namespace {

// Selects in sel the axis atoms of the residues of the cluster's items that have
// coordinates in the working structure.
void select_cluster(const VokanData& v, std::span<const int> items, std::span<const int> core, const FArray<bool>& axis,
                    FArray<bool>& sel, std::vector<int>& touched) {
  for (int item : items) {
    if (item < 1 || std::size_t(item) > core.size()) continue;
    const int atom = core[std::size_t(item - 1)];
    if (atom < 1 || atom > v.na) continue;
    const int r = v.iar(atom);
    for (int a = v.ifira(r); a <= last_atom(v, r); ++a) {
      const int c = v.col(0, a);
      if (axis(a) && known_coordinate(v.coo(1, c)) && known_coordinate(v.coo(2, c)) && known_coordinate(v.coo(3, c))) {
        sel(a) = true;
        touched.push_back(a);
      }
    }
  }
}

// Ensemble RMSD of one cluster; sel is all false on entry and on return.
double cluster_rmsd(SuperposeState& s, std::span<const int> items, std::span<const int> core, const FArray<bool>& axis,
                    FArray<bool>& sel, std::vector<int>& touched) {
  touched.clear();
  select_cluster(s.vokandata, items, core, axis, sel, touched);
  const double r = armsd(s, sel);
  for (int a : touched) sel(a) = false;
  return r;
}

}  // namespace

double avrg_cluster_rmsd(SuperposeState& s, std::span<const int> core, const LevelRecord& level,
                         const FArray<bool>& axis) {
  FArray<bool> sel(Dim(s.vokandata.na));
  std::vector<int> touched;
  double sum = 0.0;
  int count = 0;
  for (int r = 1; r <= level.rows(); ++r) {
    if (level.size(r) < 2) continue;
    sum += cluster_rmsd(s, level.row(r), core, axis, sel, touched);
    count += level.size(r);
  }
  return count > 0 ? sum / double(count) : 0.0;
}

void perform_clustering(SuperposeState& s, std::span<LevelRecord> levels, std::span<double> spread,
                        std::span<const int> core, const FArray<bool>& axis, const FArray<double, 2>& v) {
  const std::size_t n = levels.size();
  if (n < 1) return;
  const std::vector<std::array<int, 2>> merges = cluster_levels(levels, v);
  spread[0] = 10000.0;
  // The RMSD of a cluster depends on its members only, so each cluster's RMSD is
  // computed once, when it forms (row 1), and carried with its row; the sum runs
  // in row order as for a level computed from scratch. It comes from the additive
  // statistics of the cluster's atoms: those of a merged cluster are the sums of its
  // two parts' (a single item's are gathered when it first merges).
  const VokanData& vk = s.vokandata;
  FArray<bool> sel(Dim(vk.na));
  std::vector<int> touched;
  const bool moments = EnsembleMoments::suits(vk.nsstr);
  EnsembleMoments& em = s.moments;
  if (moments) em.prepare(vk, axis);
  auto gather = [&](std::span<const int> items, std::vector<double>& block) {
    block.assign(em.size(), 0.0);
    touched.clear();
    select_cluster(vk, items, core, axis, sel, touched);
    std::sort(touched.begin(), touched.end());
    touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
    for (int a : touched) {
      sel(a) = false;
      if (em.usable(a)) em.add_atom(block, a);
    }
  };
  std::vector<double> rms(n, 0.0), next;
  std::vector<std::vector<double>> blocks(n), next_blocks;  // by row; empty until the row's cluster merges
  next.reserve(n);
  for (std::size_t k = 1; k < n; ++k) {
    const LevelRecord& level = levels[k];
    const LevelRecord& before = levels[k - 1];
    const auto [i, j] = merges[k - 1];
    next.clear();
    next_blocks.clear();
    if (moments) {
      std::vector<double>& bi = blocks[std::size_t(i - 1)];
      std::vector<double>& bj = blocks[std::size_t(j - 1)];
      if (bi.empty()) gather(before.row(i), bi);
      if (bj.empty()) gather(before.row(j), bj);
      for (std::size_t x = 0; x < bi.size(); ++x) bi[x] += bj[x];
      const std::optional<double> value = em.rmsd(bi);
      next.push_back(value ? *value : cluster_rmsd(s, level.row(1), core, axis, sel, touched));
      next_blocks.push_back(std::move(bi));
    } else {
      next.push_back(cluster_rmsd(s, level.row(1), core, axis, sel, touched));
      next_blocks.emplace_back();
    }
    for (std::size_t r = 0; r < rms.size(); ++r)
      if (int(r) + 1 != i && int(r) + 1 != j) {
        next.push_back(rms[r]);
        next_blocks.push_back(std::move(blocks[r]));
      }
    rms.swap(next);
    blocks.swap(next_blocks);
    double sum = 0.0;
    int count = 0;
    for (int r = 1; r <= level.rows(); ++r) {
      if (level.size(r) < 2) continue;
      sum += rms[std::size_t(r - 1)];
      count += level.size(r);
    }
    spread[k] = count > 0 ? sum / double(count) : 0.0;
  }
}

}  // namespace veldrix

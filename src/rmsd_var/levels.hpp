// Agglomerative clustering levels of the core atoms: the merge search and the level records.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <vector>

#include "util/farray.hpp"

namespace veldrix {

// One clustering level: its clusters (rows) list items (positions in the core
// atom list) in ascending order. It reads like a matrix of `width` member slots
// per row in which empty slots hold -1000.
struct LevelRecord {
  std::vector<int> first;    // row r holds members[first[r-1] .. first[r]-1]; rows + 1 entries
  std::vector<int> members;  // all rows' items, row after row
  int width = 0;             // member slots per row

  int rows() const { return first.empty() ? 0 : int(first.size()) - 1; }
  // Number of members of row r (1-based).
  int size(int r) const { return first[std::size_t(r)] - first[std::size_t(r - 1)]; }
  std::span<const int> row(int r) const {
    return std::span<const int>(members).subspan(std::size_t(first[std::size_t(r - 1)]), std::size_t(size(r)));
  }
  // Slot `slot` (1..width) of row r: its item, or -1000 when empty.
  int item(int r, int slot) const { return slot <= size(r) ? row(r)[std::size_t(slot - 1)] : -1000; }
};

// The two largest cluster sizes of a level (unordered; each at least 1).
void largest_clusters(int& s1, int& s2, const LevelRecord& level);

// Rows (i, j), i < j, of the pair of clusters whose union has the least
// variance of its distance variances; the first pair in scan order wins ties.
// Two rows give (1, 2) at once; fewer leave `merge` unchanged. When no pair
// scores below 1.0e9 the least score still wins; when no score is a number at
// all, (1, 2). capacity: the member slots of the next level.
void find_nearest_neighbours(const LevelRecord& level, std::array<int, 2>& merge, const FArray<double, 2>& v,
                             int capacity);

// The next level: row 1 the merged rows' items in ascending order, then every
// other row in its old order. capacity: its member slots.
void store_current_clustering(const LevelRecord& old, LevelRecord& next, const std::array<int, 2>& merge, int capacity);

// Builds levels 1..n (n = levels.size()) over the n x n distance-variance matrix:
// level 1 one item per row, every further level one merge. Same levels as
// repeated find_nearest_neighbours / store_current_clustering, with the pair
// scores of clusters that did not change kept from step to step. Returns the
// merged rows of every step (level k + 1 came from merging rows of level k).
std::vector<std::array<int, 2>> cluster_levels(std::span<LevelRecord> levels, const FArray<double, 2>& v);

// Level of least score spread(i) + rows of level i, 1..L (first on ties; an
// undefined spread never wins); 1 when L < 1 or nothing is defined.
int calc_cluster_cutoff(std::span<const std::optional<double>> spread, std::span<const LevelRecord> levels);

}  // namespace veldrix

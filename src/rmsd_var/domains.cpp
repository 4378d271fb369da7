// Residue ranges of a clustering level, the level choice, the atom selection of a range set, overlaps.
#include "rmsd_var/domains.hpp"

#include <algorithm>
#include <cmath>

#include "command/strings.hpp"
#include "molecule/vokandata.hpp"
#include "rmsd_var/variance.hpp"

namespace veldrix {

int filled_entries(const FArray<int, 2>& ranges, int row) {
  const int cols = ranges.ubound(1);
  int p = 1;
  for (int k = 2; k <= cols; ++k)
    if (ranges(row, k) > ranges(row, p)) p = k;
  return p < cols && ranges(row, p + 1) >= ranges(row, p) ? p + 1 : p;
}

int get_domain_size(const FArray<int, 2>& ranges, int row) {
  const int cols = ranges.ubound(1);
  int size = 0;
  for (int k = 2; k <= cols; k += 2) {
    const int end = ranges(row, k);
    if (end < 0) break;
    size += end - ranges(row, k - 1) + 1;
  }
  return size;
}

void get_domains(const VokanData& v, const LevelRecord& level, std::span<const int> core, FArray<int, 2>& ranges) {
  ranges.fill(-1000);
  int out = 1;
  for (int r = 1; r <= level.rows(); ++r) {
    if (level.size(r) < 2) continue;
    if (out > ranges.ubound(0)) break;
    int col = 1;
    int run_start = 0, prev_num = 0, prev_chain = 0, prev_res = 0;
    for (int item : level.row(r)) {
      const int res = v.iar(core[std::size_t(item - 1)]);
      const int num = rsplit(v.rnum(res), 0).number;
      const int ch = v.ichain(res);
      // A run continues only while both residue number and chain repeat.
      if (run_start != 0 && num == prev_num && ch == prev_chain) {
        prev_res = res;
        continue;
      }
      if (run_start != 0 && col + 1 <= ranges.ubound(1)) {
        ranges(out, col) = run_start;
        ranges(out, col + 1) = prev_res;
        col += 2;
      }
      run_start = res;
      prev_res = res;
      prev_num = num;
      prev_chain = ch;
    }
    if (run_start != 0 && col + 1 <= ranges.ubound(1)) {
      ranges(out, col) = run_start;
      ranges(out, col + 1) = prev_res;
    }
    ++out;
  }
}

int get_avrg_domain_size(const FArray<int, 2>& ranges, int minimum, bool small_core) {
  int count = 0, sum = 0;
  for (int d = 1; d <= ranges.ubound(0); ++d) {
    const int size = get_domain_size(ranges, d);
    if ((size >= minimum || small_core) && size > 0) {
      ++count;
      sum += size;
    }
  }
  return count > 0 ? sum / count : 0;
}

int domain_limit(int n) { return int(std::ceil(0.125f * float(n))); }

int get_best_clustering(const VokanData& v, FArray<int, 2>& ranges, std::span<const std::optional<double>> spread,
                        std::span<const LevelRecord> levels, std::span<const int> core, int minimum, bool small_core) {
  ranges.fill(-1000);
  const int l = int(std::min(spread.size(), levels.size()));
  if (l < 1) return 1;
  const int n = int(core.size());
  int chosen = calc_cluster_cutoff(spread, levels);
  if (small_core) chosen = l;  // the last level: fewest clusters
  get_domains(v, levels[std::size_t(chosen - 1)], core, ranges);
  int avg = get_avrg_domain_size(ranges, minimum, small_core);
  const int limit = domain_limit(n);
  while (avg <= limit) {
    if (chosen >= l) {
      ranges.fill(-1000);
      return chosen;
    }
    chosen += calc_cluster_cutoff(spread.subspan(std::size_t(chosen)), levels.subspan(std::size_t(chosen)));
    if (chosen > n) {
      ranges.fill(-1000);
      return chosen;
    }
    get_domains(v, levels[std::size_t(chosen - 1)], core, ranges);
    avg = get_avrg_domain_size(ranges, minimum, small_core);
  }
  return chosen;
}

std::vector<int> widen_ranges(const FArray<int, 2>& ranges, int row, int buffer, int nr) {
  const int c = filled_entries(ranges, row);
  std::vector<int> bounds;
  bounds.reserve(std::size_t(c));
  for (int k = 1; k + 1 <= c; k += 2) {
    bounds.push_back(ranges(row, k) - buffer);
    bounds.push_back(ranges(row, k + 1) + buffer);
  }
  for (int& b : bounds) b = std::clamp(b, 1, std::max(nr, 1));
  return bounds;
}

void modify_atom_selection(VokanData& v, std::span<const int> bounds) {
  auto deselect = [&v](int from, int to) {
    for (int a = std::max(from, 1); a <= std::min(to, v.na); ++a) v.asel(a) = false;
  };
  const std::size_t k = bounds.size() / 2;
  if (k == 0) {  // no range: nothing lies inside one
    deselect(1, v.na);
    return;
  }
  deselect(1, v.ifira(bounds[0]) - 1);
  for (std::size_t j = 0; j + 1 < k; ++j) deselect(v.ifira(bounds[2 * j + 1]) + 1, v.ifira(bounds[2 * j + 2]) - 1);
  deselect(v.ifira(bounds[2 * k - 1]) + 1, v.na);
}

void determine_overlap(const FArray<bool>& flags, FArray<bool>& used, int& noverlap, FArray<int, 2>& overlaps, int row,
                       int nr) {
  int pos = 1;
  while (pos <= overlaps.ubound(1) && overlaps(row, pos) != -1000) ++pos;
  for (int r = 1; r <= nr + 1; ++r) {
    if (!flags(r)) continue;
    if (used(r)) {
      ++noverlap;
      if (pos <= overlaps.ubound(1)) overlaps(row, pos++) = r;
    }
    used(r) = true;
  }
}

void remove_overlap(const VokanData& v, FArray<bool, 2>& resmask, FArray<bool, 2>& atommask,
                    const FArray<int, 2>& overlaps, int ndomains) {
  for (int d = 1; d < ndomains; ++d) {
    for (int k = 1; k <= overlaps.ubound(1); ++k) {
      const int r = overlaps(d + 1, k);
      if (r == -1000) break;
      if (r < 1 || r > v.nr) continue;
      resmask(d, r) = false;
      for (int a = v.ifira(r); a <= last_atom(v, r); ++a) atommask(d, a) = false;
    }
  }
}

}  // namespace veldrix

// The domain search at one clustering level: candidates refined by the structure overlay.
#include "rmsd_var/domain_search.hpp"

#include <algorithm>

#include "rmsd_var/domains.hpp"
#include "superpose/overlay.hpp"

namespace veldrix {

void get_non_overlapping_domains(SuperposeState& s, std::span<const int> core, FArray<int, 2>& ranges, int& noverlap,
                                 const FArray<bool>& keep, int& ndomains, FArray<bool, 2>& resmask,
                                 FArray<bool, 2>& atommask, const Options& params,
                                 std::span<const std::optional<double>> spread, std::span<const LevelRecord> levels,
                                 int& chosen, bool small_core) {
  VokanData& v = s.vokandata;
  const int n = int(core.size());
  // Masks left from an earlier search must not leak into this one: the overlay
  // leaves a row untouched when its ranges hold no selected atom.
  resmask.fill(false);
  atommask.fill(false);
  const FArray<bool> saved = v.asel;
  FArray<int, 2> overlaps(Dim(std::max(n, 1)), Dim(std::max(v.nr, 1)));
  overlaps.fill(-1000);

  chosen = get_best_clustering(v, ranges, spread, levels, core, params.minimum, small_core);

  noverlap = 0;
  ndomains = 0;
  FArray<bool> used(Dim(v.nr + 1));
  FArray<bool> flags(Dim(v.nr + 1));
  for (int d = 1; d <= ranges.ubound(0); ++d) {
    const int size = get_domain_size(ranges, d);
    if (!((size >= params.minimum || small_core) && size > 0)) continue;
    if (ndomains >= resmask.ubound(0) || ndomains >= overlaps.ubound(0)) break;
    const int e = ++ndomains;
    modify_atom_selection(v, widen_ranges(ranges, d, params.buffer, v.nr));
    for (int r = 1; r <= v.nr + 1; ++r) flags(r) = resmask(e, r);
    ovrlay(s, keep, params.gap, params.decrease, params.absdecrease, params.gapwidth, flags, params.upper_rmsd);
    for (int r = 1; r <= v.nr + 1; ++r) resmask(e, r) = flags(r);
    determine_overlap(flags, used, noverlap, overlaps, e, v.nr);
    for (int a = 1; a <= v.na; ++a) atommask(e, a) = v.asel(a);
    v.asel = saved;
  }

  if (noverlap > 0 && chosen == 1) {
    remove_overlap(v, resmask, atommask, overlaps, ndomains);
    noverlap = 0;
  }
}

}  // namespace veldrix

// The domain search at one clustering level: candidates refined by the structure overlay.
#pragma once

#include <optional>
#include <span>

#include "rmsd_var/levels.hpp"
#include "superpose/state.hpp"
#include "util/farray.hpp"
#include "veldrix/veldrix.hpp"

namespace veldrix {

// One domain search at a chosen clustering level: candidates from the level's
// clusters, widened by the buffer and refined by the structure overlay, their
// overlaps counted (and removed when the level is the sections' first). The
// masks (n rows) are cleared first; asel is the same on return as on entry.
void get_non_overlapping_domains(SuperposeState& s, std::span<const int> core, FArray<int, 2>& ranges, int& noverlap,
                                 const FArray<bool>& keep, int& ndomains, FArray<bool, 2>& resmask,
                                 FArray<bool, 2>& atommask, const Options& params,
                                 std::span<const std::optional<double>> spread, std::span<const LevelRecord> levels,
                                 int& chosen, bool small_core);

}  // namespace veldrix

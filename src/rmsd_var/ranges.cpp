// The range analysis: well-ordered angles, core atoms, clustering, domain search and result lines.
#include "rmsd_var/ranges.hpp"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "command/message.hpp"
#include "rmsd_var/clustering.hpp"
#include "rmsd_var/domain_search.hpp"
#include "rmsd_var/domains.hpp"
#include "rmsd_var/output.hpp"
#include "rmsd_var/variance.hpp"
#include "superpose/overlay.hpp"
#include "util/profile.hpp"
#include "util/sort.hpp"

namespace veldrix {

namespace {

// An integer right-aligned in w positions; asterisks when it does not fit.
std::string fixed_int(int value, std::size_t w) {
  std::string s = std::to_string(value);
  if (s.size() > w) return std::string(w, '*');
  return std::string(w - s.size(), ' ') + s;
}

// Warnings of the analysis are cut to 80 characters.
void warn(Session& s, const std::string& text) { wrnmsg(s, text.substr(0, 80)); }

// Warnings, then one line per reported domain.
void report(Session& s, int ndomains, FArray<bool, 2>& resmask, FArray<bool, 2>& atommask, int minimum, bool small_core,
            int ncore) {
  const int nreport = prepare_dom_for_output(s, ndomains, resmask, atommask, minimum, small_core);
  if (nreport == 0) {
    warn(s, "Only domains with < " + fixed_int(minimum, 2) + " residues could be identified.");
    return;
  }
  if (small_core)
    warn(s, "The number of core atoms (" + fixed_int(ncore, 3) + ") was below the domain threshold value (" +
                fixed_int(minimum, 3) + ").");
  for (int d = 1; d <= nreport; ++d) output_domain(s, mask_row(resmask, d), mask_row(atommask, d));
}

// Identical conformers have no ordered-versus-disordered contrast to analyse:
// they form one domain of every residue with a selected atom.
bool report_identical_ensemble(Session& s, int minimum) {
  const VokanData& v = s.vokandata;
  const double rmsd = armsd(s, v.asel);
  if (rmsd < 0.0 || rmsd >= 1.0e-6) return false;
  FArray<bool, 2> resmask(Dim(1), Dim(v.nr + 1));
  FArray<bool, 2> atommask(Dim(1), Dim(v.na));
  for (int a = 1; a <= v.na; ++a) {
    atommask(1, a) = v.asel(a);
    if (v.asel(a) && v.iar(a) >= 1 && v.iar(a) <= v.nr) resmask(1, v.iar(a)) = true;
  }
  report(s, 1, resmask, atommask, minimum, false, 0);
  return true;
}

// Axis atoms of the angles that rotate atoms beyond the molecule's last one,
// between two real atoms (element numbers 1..99).
FArray<bool> axis_atoms(const VokanData& v) {
  FArray<bool> axis(Dim(v.na));
  if (!v.ida.allocated() || !v.lda.allocated()) return axis;
  auto real_atom = [&v](int a) { return a >= 1 && a <= v.na && v.iael(a) > 0 && v.iael(a) < 100; };
  for (int i = 1; i <= v.nd; ++i) {
    const int a = v.ida(2, i), b = v.ida(3, i);
    if (v.lda(i) > v.na && real_atom(a) && real_atom(b)) {
      axis(a) = true;
      axis(b) = true;
    }
  }
  return axis;
}

}  // namespace

void find_best_superpos_ranges(Session& s, const FArray<bool>& keep, const Options& params) {
  VokanData& v = s.vokandata;
  const int minimum = params.minimum;
  if (v.nsstr < 2) fatmsg(s, "Less than two structures selected.");
  // An absent selection selects nothing.
  if (!v.asel.allocated() || v.asel.ubound() < v.na) v.asel.resize_keep(Dim(v.na));
  if (report_identical_ensemble(s, minimum)) return;

  FArray<bool> keepr(Dim(v.nr));
  if (keep.allocated())
    for (int r = 1; r <= std::min(v.nr, keep.ubound()); ++r) keepr(r) = keep(r);

  std::optional<PhaseTimer> timer(std::in_place, s.profile, Phase::order_and_variances);
  const FArray<bool> axis = axis_atoms(v);

  // Order parameter of every free angle over the structures 1..nsstr.
  const int ndfree = std::max(v.ndfree, 0);
  std::vector<double> order(static_cast<std::size_t>(ndfree));
  std::vector<int> index(static_cast<std::size_t>(ndfree));
  std::vector<double> theta(static_cast<std::size_t>(v.nsstr));
  for (int k = 1; k <= ndfree; ++k) {
    for (int m = 1; m <= v.nsstr; ++m) theta[std::size_t(m - 1)] = v.dval(v.dix(m, k));
    order[std::size_t(k - 1)] = calc_order_parameter(theta);
    index[std::size_t(k - 1)] = k;
  }
  rsort(order, index, 1);
  std::reverse(order.begin(), order.end());
  std::reverse(index.begin(), index.end());
  int n = ndfree;
  while (n > 0 && !(order[std::size_t(n - 1)] > 0.0)) --n;
  const int cut = calc_cutoff(std::span<const double>(order).first(std::size_t(n)));
  const int m = std::max(cut - 1, 0);

  // Core atoms, in ascending atom order.
  FArray<int> corelist;
  get_core_atom_list(v, axis, std::span<const int>(index).first(std::size_t(std::min(m, ndfree))), corelist);
  std::vector<int> perm(static_cast<std::size_t>(v.na));
  std::span<int> all(corelist.begin(), corelist.end());
  isort(all, perm, 0);
  const auto first = std::find_if(all.begin(), all.end(), [](int a) { return a > 0; });
  if (first == all.end()) fatmsg(s, "No core atoms could be determined.");
  const std::vector<int> core(first, all.end());
  const int ncore = int(core.size());

  FArray<double, 2> variances;
  fill_variance_matrix(v, variances, std::span<const int>(v.isstr.begin(), std::size_t(v.nsstr)), core);

  timer.emplace(s.profile, Phase::clustering);
  std::vector<LevelRecord> levels(static_cast<std::size_t>(ncore));
  std::vector<double> spread(static_cast<std::size_t>(ncore));
  perform_clustering(s, levels, spread, core, axis, variances);
  variances.deallocate();
  timer.emplace(s.profile, Phase::domain_search);

  std::vector<std::optional<double>> normalised(spread.begin(), spread.end());
  auto renormalise = [&](int start) {
    std::copy(spread.begin(), spread.end(), normalised.begin());
    normalize_avrg_spread(std::span<std::optional<double>>(normalised).subspan(std::size_t(start - 1)));
  };
  int start = 1;
  renormalise(start);
  const bool small_core = ncore < minimum;

  FArray<int, 2> ranges(Dim(2 * ncore), Dim(2 * ncore));
  FArray<bool, 2> resmask(Dim(ncore), Dim(v.nr + 1));
  FArray<bool, 2> atommask(Dim(ncore), Dim(v.na));
  int noverlap = 0, ndomains = 0, chosen = 1;
  for (;;) {
    const std::size_t off = std::size_t(start - 1);
    get_non_overlapping_domains(s, core, ranges, noverlap, keepr, ndomains, resmask, atommask, params,
                                std::span<const std::optional<double>>(normalised).subspan(off),
                                std::span<const LevelRecord>(levels).subspan(off), chosen, small_core);
    const int a = start + chosen - 1;
    if (start > ncore) break;
    if (noverlap == 0 && ndomains > 0) break;
    if (start != a) {
      start = a;
      renormalise(start);
      continue;
    }
    if (ndomains > 0) break;
    if (a >= ncore) break;
    start = a + 1;
    renormalise(start);
  }
  if (ndomains == 0) fatmsg(s, "No domains could be identified");

  report(s, ndomains, resmask, atommask, minimum, small_core, ncore);
}

}  // namespace veldrix

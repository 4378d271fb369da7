// Filtering, ordering and printing of the domains found.
#include "rmsd_var/output.hpp"

#include <algorithm>
#include <vector>

#include "command/message.hpp"
#include "rmsd_var/range_text.hpp"
#include "superpose/overlay.hpp"
#include "util/sort.hpp"
#include "util/text.hpp"

namespace veldrix {

FArray<bool> mask_row(const FArray<bool, 2>& mask, int d) {
  FArray<bool> row(Dim(mask.lbound(1), mask.ubound(1)));
  for (int k = mask.lbound(1); k <= mask.ubound(1); ++k) row(k) = mask(d, k);
  return row;
}

int prepare_dom_for_output(Session& s, int ndomains, FArray<bool, 2>& resmask, FArray<bool, 2>& atommask, int minimum,
                           bool small_core) {
  const int rows = resmask.ubound(0);
  const int nd = std::min(ndomains, rows);
  if (nd < 1) {
    resmask.fill(false);
    atommask.fill(false);
    return 0;
  }
  std::vector<int> keys(std::size_t(nd), 100000);
  std::vector<int> perm(std::size_t(nd), 0);
  int nreport = 0;
  for (int d = 1; d <= nd; ++d) {
    int count = 0, first = 0;
    for (int r = resmask.lbound(1); r <= resmask.ubound(1); ++r)
      if (resmask(d, r)) {
        ++count;
        if (first == 0) first = r;
      }
    if (!(count >= minimum || small_core) || first == 0) continue;
    // A domain whose RMSD cannot be computed would print a negative RMSD: drop it.
    if (armsd(s, mask_row(atommask, d)) < 0.0) continue;
    keys[std::size_t(d - 1)] = first;
    ++nreport;
  }
  isort(keys, perm, 0);
  FArray<bool, 2> res(Dim(resmask.lbound(0), resmask.ubound(0)), Dim(resmask.lbound(1), resmask.ubound(1)));
  FArray<bool, 2> atoms(Dim(atommask.lbound(0), atommask.ubound(0)), Dim(atommask.lbound(1), atommask.ubound(1)));
  for (int k = 1; k <= nreport; ++k) {
    const int d = perm[std::size_t(k - 1)];
    for (int r = res.lbound(1); r <= res.ubound(1); ++r) res(k, r) = resmask(d, r);
    for (int a = atoms.lbound(1); a <= atoms.ubound(1); ++a) atoms(k, a) = atommask(d, a);
  }
  resmask = std::move(res);
  atommask = std::move(atoms);
  return nreport;
}

void output_domain(Session& s, const FArray<bool>& resrow, const FArray<bool>& atomrow) {
  const VokanData& v = s.vokandata;
  const double rmsd = armsd(s, atomrow);
  int ngap = 0;
  std::string str;
  std::vector<std::pair<int, int>> runs;
  rrstr(v, resrow, str, ngap, 2000, &runs);
  int count = 0;
  for (int r = 1; r <= v.nr; ++r)
    if (resrow(r)) ++count;
  // The arguments are queued in slot order, one statement each.
  const std::string ranges = strp(s, str);
  const std::string value = realf(s, rmsd, 0, 2);
  const std::string gaps = plural(s, ngap, "gap");
  const std::string residues = plural(s, count, "residue");
  putlin(s, 2, "Optimal range " + ranges + ": RMSD " + value + " A, " + gaps + ", " + residues + ".");
  s.rmsd_var.domains.push_back(describe_domain(v, resrow, str, rmsd, ngap, count, runs));
}

Domain describe_domain(const VokanData& v, const FArray<bool>& resrow, const std::string& ranges, double rmsd, int gaps,
                       int residues, const std::vector<std::pair<int, int>>& runs) {
  Domain d;
  d.ranges = ranges;
  d.rmsd = rmsd;
  d.gaps = gaps;
  d.residues = residues;
  auto id = [&v](int r) { return std::string(rtrim(v.rnum(r))); };
  for (int r = 1; r <= v.nr; ++r)
    if (resrow(r)) d.residue_ids.push_back(id(r));
  for (auto [first, last] : runs) d.segments.push_back(Segment{id(first).substr(0, 1), id(first), id(last)});
  return d;
}

}  // namespace veldrix

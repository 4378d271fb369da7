// The printed result: which domains are reported, their range lists and result lines.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "rmsd_var/state.hpp"

#include "util/farray.hpp"

namespace veldrix {

// Keeps the domains (rows 1..ndomains of both masks) with at least `minimum`
// residues, or every non-empty one with the small-core flag, whose ensemble RMSD
// can be computed; moves them to rows 1..nreport ordered by their first residue
// and clears every other row. Returns nreport.
int prepare_dom_for_output(Session& s, int ndomains, FArray<bool, 2>& resmask, FArray<bool, 2>& atommask, int minimum,
                           bool small_core);

// Prints the result line of one domain: its range list, the ensemble RMSD on its
// atoms, its gaps and residues; the domain joins the run's results.
void output_domain(Session& s, const FArray<bool>& resrow, const FArray<bool>& atomrow);

// The domain of a result line as data.
Domain describe_domain(const VokanData& v, const FArray<bool>& resrow, const std::string& ranges, double rmsd, int gaps,
                       int residues, const std::vector<std::pair<int, int>>& runs);

// Row d of a mask matrix as a flag array over its columns.
FArray<bool> mask_row(const FArray<bool, 2>& mask, int d);

}  // namespace veldrix

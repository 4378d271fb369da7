// The printed result: which domains are reported, their range lists and result lines.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "veldrix/veldrix.hpp"

#include "util/farray.hpp"

namespace veldrix {

// Keeps the domains (rows 1..ndomains of both masks) with at least `minimum`
// residues, or every non-empty one with the small-core flag, whose ensemble RMSD
// can be computed; moves them to rows 1..nreport ordered by their first residue
// and clears every other row. Returns nreport.
int prepare_dom_for_output(int ndomains, FArray<bool, 2>& resmask, FArray<bool, 2>& atommask, int minimum,
                           bool small_core);

// Range list of the residues flagged in mask (1..nr), e.g. "5..42, 48..60", with
// chain letters only when the first and last residue differ in theirs; at most
// `length` characters. ngap: number of ranges minus one. runs, when given,
// receives the first and last residue of every range.
void rrstr(const FArray<bool>& mask, std::string& text, int& ngap, int length,
           std::vector<std::pair<int, int>>* runs = nullptr);

// Prints the result line of one domain: its range list, the ensemble RMSD on its
// atoms, its gaps and residues.
void output_domain(const FArray<bool>& resrow, const FArray<bool>& atomrow);

// The domain of a result line as data.
Domain describe_domain(const FArray<bool>& resrow, const std::string& ranges, double rmsd, int gaps, int residues,
                       const std::vector<std::pair<int, int>>& runs);

// Row d of a mask matrix as a flag array over its columns.
FArray<bool> mask_row(const FArray<bool, 2>& mask, int d);

}  // namespace veldrix

// Domains from a clustering level: residue ranges, level choice, atom selection and overlaps.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "molecule/vokandata.hpp"
#include "rmsd_var/levels.hpp"
#include "util/farray.hpp"

namespace veldrix {

// The range matrix (2n x 2n for n core atoms): row d lists the residue ranges
// of candidate domain d as (start, end) pairs in columns 1-2, 3-4, ...; empty
// entries hold -1000.

// Number of filled entries of a row: the column p of the first occurrence of its
// largest value, plus one when the entry after p is not smaller (a last range of
// one residue).
int filled_entries(const FArray<int, 2>& ranges, int row);

// Residues covered by a row: the sum of end - start + 1 up to the first pair
// whose end is negative.
int get_domain_size(const FArray<int, 2>& ranges, int row);

// Ranges of the clusters of two or more items of one level, one row per cluster
// in row order. A run of members with equal residue number and chain gives one
// range; every other member a range of its own residue.
void get_domains(const VokanData& v, const LevelRecord& level, std::span<const int> core, FArray<int, 2>& ranges);

// Mean size (integer division) of the rows that count as domains: size at least
// `minimum`, or any size with the small-core flag, and never empty. 0 when none.
int get_avrg_domain_size(const FArray<int, 2>& ranges, int minimum, bool small_core);

// Smallest mean domain size a level must exceed: 0.125 n rounded up, in single precision.
int domain_limit(int n);

// Chooses the clustering level (relative to the sections' start, 1..L) whose
// domains have a mean size above the limit and leaves its ranges in `ranges`;
// the range matrix is all -1000 when the level search runs out.
int get_best_clustering(const VokanData& v, FArray<int, 2>& ranges, std::span<const std::optional<double>> spread,
                        std::span<const LevelRecord> levels, std::span<const int> core, int minimum, bool small_core);

// The ranges of a row widened by `buffer` on both sides and clipped to 1..nr.
std::vector<int> widen_ranges(const FArray<int, 2>& ranges, int row, int buffer, int nr);

// Restricts asel to the ranges s1, e1, s2, e2, ... (clipped, ascending starts).
// The first residue of a range keeps all its atoms, the end residue of a range
// that is followed by deselected atoms only its first atom; nothing is selected anew.
void modify_atom_selection(VokanData& v, std::span<const int> bounds);

// Records the residues of domain `row` (flags 1..nr+1): each one already used by
// an earlier domain is counted and appended to overlap list `row`; all become used.
void determine_overlap(const FArray<bool>& flags, FArray<bool>& used, int& noverlap, FArray<int, 2>& overlaps, int row,
                       int nr);

// For d = 1..ndomains-1, the residues in overlap list d + 1 are taken out of the
// residue and atom masks of domain d.
void remove_overlap(const VokanData& v, FArray<bool, 2>& resmask, FArray<bool, 2>& atommask,
                    const FArray<int, 2>& overlaps, int ndomains);

}  // namespace veldrix

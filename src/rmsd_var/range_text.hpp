// Range lists of residue masks, as printed in the result lines.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "molecule/vokandata.hpp"

namespace veldrix {

// Range list of the residues flagged in mask (1..nr), e.g. "5..42, 48..60", with
// chain letters only when the first and last residue differ in theirs; at most
// `length` characters. ngap: number of ranges minus one. runs, when given,
// receives the first and last residue of every range.
void rrstr(const VokanData& v, const FArray<bool>& mask, std::string& text, int& ngap, int length,
           std::vector<std::pair<int, int>>* runs = nullptr);

}  // namespace veldrix

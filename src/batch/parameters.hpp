// The analysis parameters as users give them, for every front end (veldrix-batch, the Python module):
// the limits of the numbers, and the residue range with a bound for every chain.
#pragma once

#include <string>
#include <string_view>

namespace veldrix::batch {

// The run writes reals as "%5.2f" and integers as two digits into its command.
inline constexpr std::string_view real_limits = "0..99.99";
inline constexpr int integer_low = 0, integer_high = 99;

// A finite real that is not negative and whose "%5.2f" text fits in five characters.
bool real_fits(double x);
inline bool integer_fits(long long x) { return x >= integer_low && x <= integer_high; }

// A range as users type it made into one the analysis reads: a bound without a chain letter
// stands for every chain ("1-40,A60-A90" becomes "?1-?40,A60-A90"); "all" becomes empty.
std::string widen_range(std::string_view range);

}  // namespace veldrix::batch

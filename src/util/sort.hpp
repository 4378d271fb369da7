// In-place quicksorts that carry a permutation along.
//
// The order of equal keys is decided by the exact partition steps, and later
// analysis steps depend on it, so these are not interchangeable with std::sort.
#pragma once

#include <span>

namespace veldrix {

// Ascending sort of a; p is permuted in step (mode 0: p is first set to 1..n).
void isort(std::span<int> a, std::span<int> p, int mode);
void rsort(std::span<double> a, std::span<int> p, int mode);

}  // namespace veldrix

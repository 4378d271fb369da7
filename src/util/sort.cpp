// Non-recursive quicksort with a middle-element pivot; the smaller part is sorted first.
#include "util/sort.hpp"

#include <array>
#include <utility>

namespace veldrix {

namespace {

// Keys are addressed 1-based through `Keys`, which knows how to compare and swap.
template <class Keys>
void quicksort(Keys& keys, std::span<int> p, int n, int mode) {
  if (n < 1) return;
  if (mode == 0)
    for (int k = 1; k <= n; ++k) p[k - 1] = k;
  std::array<std::pair<int, int>, 64> stack;
  int top = 0;
  stack[top++] = {1, n};
  while (top > 0) {
    auto [lo, hi] = stack[--top];
    while (lo < hi) {
      const auto v = keys.get((lo + hi) / 2);
      int i = lo, j = hi;
      do {
        // The bounds guards never fire for ordered keys; they keep an unordered key inside the range.
        while (i < hi && keys.before(keys.get(i), v)) ++i;
        while (j > lo && keys.after(keys.get(j), v)) --j;
        if (i <= j) {
          keys.swap(i, j);
          std::swap(p[i - 1], p[j - 1]);
          ++i;
          --j;
        }
      } while (i <= j);
      if (j - lo < hi - i) {
        if (i < hi) stack[top++] = {i, hi};
        hi = j;
      } else {
        if (lo < j) stack[top++] = {lo, j};
        lo = i;
      }
    }
  }
}

struct IntKeys {
  std::span<int> a;
  int get(int k) const { return a[k - 1]; }
  static bool before(int x, int v) { return x < v; }
  static bool after(int x, int v) { return x > v; }
  void swap(int i, int j) { std::swap(a[i - 1], a[j - 1]); }
};

struct RealKeys {
  std::span<double> a;
  double get(int k) const { return a[k - 1]; }
  // An element is passed over unless it is >= the pivot, so an unordered key is passed over.
  static bool before(double x, double v) { return !(x >= v); }
  static bool after(double x, double v) { return x > v; }
  void swap(int i, int j) { std::swap(a[i - 1], a[j - 1]); }
};

}  // namespace

void isort(std::span<int> a, std::span<int> p, int mode) {
  IntKeys k{a};
  quicksort(k, p, int(a.size()), mode);
}

void rsort(std::span<double> a, std::span<int> p, int mode) {
  RealKeys k{a};
  quicksort(k, p, int(a.size()), mode);
}

}  // namespace veldrix

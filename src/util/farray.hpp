// Arrays with per-dimension lower bounds, column-major storage and an "allocated" state.
//
// The molecular data model numbers residues, atoms and angles from 1 and keeps
// a few arrays from -6, -1 or 0 (the working structure, the tree's base columns);
// this type lets every routine index them exactly as the data model defines them.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

namespace veldrix {

// Bounds of one dimension; Dim(n) is 1..n.
struct Dim {
  int lo = 1;
  int hi = 0;
  constexpr Dim() = default;
  constexpr Dim(int n) : lo(1), hi(n) {}  // NOLINT(google-explicit-constructor): 1..n is the common case
  constexpr Dim(int l, int h) : lo(l), hi(h) {}
  constexpr std::size_t extent() const { return hi >= lo ? std::size_t(hi - lo + 1) : 0; }
};

[[noreturn]] inline void farray_index_error(int dim, int index, int lo, int hi) {
  std::fprintf(stderr, "array index %d out of bounds %d..%d in dimension %d\n", index, lo, hi, dim + 1);
  std::abort();
}

template <class T, int Rank = 1>
class FArray {
 public:
  FArray() = default;
  template <class... D>
  explicit FArray(D... dims) {
    allocate(dims...);
  }
  FArray(const FArray& o) { copy_from(o); }
  FArray& operator=(const FArray& o) {
    if (this != &o) copy_from(o);
    return *this;
  }
  FArray(FArray&&) noexcept = default;
  FArray& operator=(FArray&&) noexcept = default;

  // Allocates with value-initialised elements (0, false, empty text).
  template <class... D>
  void allocate(D... dims) {
    static_assert(sizeof...(D) == Rank, "one bound per dimension");
    dims_ = {Dim(dims)...};
    size_ = 1;
    for (const Dim& d : dims_) size_ *= d.extent();
    data_ = std::make_unique<T[]>(size_);
    allocated_ = true;
  }

  // Reallocates to new bounds; elements whose indices exist in both keep their values.
  template <class... D>
  void resize_keep(D... dims) {
    static_assert(sizeof...(D) == Rank, "one bound per dimension");
    if (!allocated_) {
      allocate(dims...);
      return;
    }
    FArray old(std::move(*this));
    allocate(dims...);
    std::array<Dim, Rank> common;
    for (int d = 0; d < Rank; ++d)
      common[d] = Dim(std::max(old.dims_[d].lo, dims_[d].lo), std::min(old.dims_[d].hi, dims_[d].hi));
    for (const Dim& d : common)
      if (d.extent() == 0) return;
    std::array<int, Rank> idx;
    for (int d = 0; d < Rank; ++d) idx[d] = common[d].lo;
    for (;;) {
      data_[offset(idx)] = std::move(old.data_[old.offset(idx)]);
      int d = 0;
      while (d < Rank && ++idx[d] > common[d].hi) {
        idx[d] = common[d].lo;
        ++d;
      }
      if (d == Rank) break;
    }
  }

  void deallocate() {
    data_.reset();
    size_ = 0;
    dims_ = {};
    allocated_ = false;
  }

  bool allocated() const { return allocated_; }
  int lbound(int d = 0) const { return dims_[d].lo; }
  int ubound(int d = 0) const { return dims_[d].hi; }
  std::size_t extent(int d = 0) const { return dims_[d].extent(); }
  std::size_t size() const { return size_; }

  template <class... I>
  T& operator()(I... idx) {
    static_assert(sizeof...(I) == Rank, "one index per dimension");
    return data_[offset(std::array<int, Rank>{int(idx)...})];
  }
  template <class... I>
  const T& operator()(I... idx) const {
    static_assert(sizeof...(I) == Rank, "one index per dimension");
    return data_[offset(std::array<int, Rank>{int(idx)...})];
  }

  // Address of an element, for handing a contiguous column run to a kernel.
  template <class... I>
  T* ptr(I... idx) {
    return &(*this)(idx...);
  }
  template <class... I>
  const T* ptr(I... idx) const {
    return &(*this)(idx...);
  }

  T* begin() { return data_.get(); }
  T* end() { return data_.get() + size_; }
  const T* begin() const { return data_.get(); }
  const T* end() const { return data_.get() + size_; }

  void fill(const T& v) { std::fill(begin(), end(), v); }

 private:
  std::size_t offset(const std::array<int, Rank>& idx) const {
    std::size_t off = 0, stride = 1;
    for (int d = 0; d < Rank; ++d) {
#ifdef VELDRIX_CHECKED
      if (!allocated_ || idx[d] < dims_[d].lo || idx[d] > dims_[d].hi)
        farray_index_error(d, idx[d], dims_[d].lo, dims_[d].hi);
#endif
      off += std::size_t(idx[d] - dims_[d].lo) * stride;
      stride *= dims_[d].extent();
    }
    return off;
  }

  void copy_from(const FArray& o) {
    if (!o.allocated_) {
      deallocate();
      return;
    }
    dims_ = o.dims_;
    size_ = o.size_;
    data_ = std::make_unique<T[]>(size_);
    std::copy(o.begin(), o.end(), data_.get());
    allocated_ = true;
  }

  std::unique_ptr<T[]> data_;
  std::array<Dim, Rank> dims_{};
  std::size_t size_ = 0;
  bool allocated_ = false;
};

}  // namespace veldrix

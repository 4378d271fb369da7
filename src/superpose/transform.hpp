// Rigid motions: the least-squares fit of one point set onto another as a motion, applied, composed, inverted.
#pragma once

#include <span>

#include "veldrix/veldrix.hpp"

namespace veldrix {

// The motion of the least-squares fit of the n points of x onto the n points of y
// (three consecutive doubles each); the identity for n <= 3, where rmsd() does not fit.
Transform fit_transform(std::span<const double> x, std::span<const double> y, int n);

// The point p (three doubles) moved by t, in place.
void apply(const Transform& t, double* p);

// The motion of a followed by b.
Transform then(const Transform& a, const Transform& b);

// The motion that undoes t.
Transform inverse(const Transform& t);

}  // namespace veldrix

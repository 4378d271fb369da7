// Least-squares superposition (centroids, correlation matrix, SVD, reflection guard) and the SVD itself.
#include "superpose/rmsd.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "command/message.hpp"

namespace veldrix {

namespace {

// |a| with the sign of b (b = 0 counts as positive).
double sign(double a, double b) { return b >= 0.0 ? std::fabs(a) : -std::fabs(a); }

// 1-based view of a vector.
struct Vec {
  double* p;
  double& operator[](int i) const { return p[i - 1]; }
};

// 1-based column-major view of a matrix with leading dimension ld.
struct Mat {
  double* p;
  int ld;
  double& operator()(int i, int j) const { return p[(i - 1) + std::ptrdiff_t(ld) * (j - 1)]; }
};

}  // namespace

double pythag(double a, double b) {
  const double absa = std::fabs(a);
  const double absb = std::fabs(b);
  if (absa > absb) {
    const double r = absb / absa;
    return absa * std::sqrt(1.0 + r * r);
  }
  if (absb == 0.0) return 0.0;
  const double r = absa / absb;
  return absb * std::sqrt(1.0 + r * r);
}

namespace {

// The decomposition for any size (Fixed = 0) or for 3 x 3 matrices stored 3 x 3 (Fixed = 3),
// where the sizes are constants the compiler unrolls the loops with: the same operations
// in the same order.
template <int Fixed>
void svd_impl(std::span<double> a_, int m_, int n_, int mp_, int np_, std::span<double> w_, std::span<double> v_) {
  const int m = Fixed != 0 ? Fixed : m_, n = Fixed != 0 ? Fixed : n_;
  const int mp = Fixed != 0 ? Fixed : mp_, np = Fixed != 0 ? Fixed : np_;
  if (m < 1 || n < 1) return;
  const Mat a{a_.data(), mp};
  const Mat v{v_.data(), np};
  const Vec w{w_.data()};

  // The super-diagonal work vector: on the stack for the sizes this program uses.
  std::array<double, Fixed != 0 ? Fixed + 1 : 101> rv1_small{};
  std::vector<double> rv1_large;
  double* rv1 = rv1_small.data();
  if (Fixed == 0 && n > 100) {
    rv1_large.assign(std::size_t(n) + 1, 0.0);
    rv1 = rv1_large.data();
  }

  // Householder reduction to bidiagonal form.
  double g = 0.0, scale = 0.0, anorm = 0.0;
  int l = 1;
  for (int i = 1; i <= n; ++i) {
    l = i + 1;
    rv1[i] = scale * g;
    g = 0.0;
    double s = 0.0;
    scale = 0.0;
    if (i <= m) {
      for (int k = i; k <= m; ++k) scale += std::fabs(a(k, i));
      if (scale != 0.0) {
        for (int k = i; k <= m; ++k) {
          a(k, i) /= scale;
          s += a(k, i) * a(k, i);
        }
        double f = a(i, i);
        g = -sign(std::sqrt(s), f);
        const double h = f * g - s;
        a(i, i) = f - g;
        for (int j = l; j <= n; ++j) {
          s = 0.0;
          for (int k = i; k <= m; ++k) s += a(k, i) * a(k, j);
          f = s / h;
          for (int k = i; k <= m; ++k) a(k, j) += f * a(k, i);
        }
        for (int k = i; k <= m; ++k) a(k, i) *= scale;
      }
    }
    w[i] = scale * g;
    g = 0.0;
    s = 0.0;
    scale = 0.0;
    if (i <= m && i != n) {
      for (int k = l; k <= n; ++k) scale += std::fabs(a(i, k));
      if (scale != 0.0) {
        for (int k = l; k <= n; ++k) {
          a(i, k) /= scale;
          s += a(i, k) * a(i, k);
        }
        const double f = a(i, l);
        g = -sign(std::sqrt(s), f);
        const double h = f * g - s;
        a(i, l) = f - g;
        for (int k = l; k <= n; ++k) rv1[k] = a(i, k) / h;
        for (int j = l; j <= m; ++j) {
          s = 0.0;
          for (int k = l; k <= n; ++k) s += a(j, k) * a(i, k);
          for (int k = l; k <= n; ++k) a(j, k) += s * rv1[k];
        }
        for (int k = l; k <= n; ++k) a(i, k) *= scale;
      }
    }
    anorm = std::max(anorm, std::fabs(w[i]) + std::fabs(rv1[i]));
  }

  // Accumulation of the right-hand transformations into V.
  for (int i = n; i >= 1; --i) {
    if (i < n) {
      if (g != 0.0) {
        // Double division avoids a possible underflow.
        for (int j = l; j <= n; ++j) v(j, i) = (a(i, j) / a(i, l)) / g;
        for (int j = l; j <= n; ++j) {
          double s = 0.0;
          for (int k = l; k <= n; ++k) s += a(i, k) * v(k, j);
          for (int k = l; k <= n; ++k) v(k, j) += s * v(k, i);
        }
      }
      for (int j = l; j <= n; ++j) {
        v(i, j) = 0.0;
        v(j, i) = 0.0;
      }
    }
    v(i, i) = 1.0;
    g = rv1[i];
    l = i;
  }

  // Accumulation of the left-hand transformations into a (which becomes U).
  for (int i = std::min(m, n); i >= 1; --i) {
    l = i + 1;
    g = w[i];
    for (int j = l; j <= n; ++j) a(i, j) = 0.0;
    if (g != 0.0) {
      g = 1.0 / g;
      for (int j = l; j <= n; ++j) {
        double s = 0.0;
        for (int k = l; k <= m; ++k) s += a(k, i) * a(k, j);
        const double f = (s / a(i, i)) * g;
        for (int k = i; k <= m; ++k) a(k, j) += f * a(k, i);
      }
      for (int j = i; j <= m; ++j) a(j, i) *= g;
    } else {
      for (int j = i; j <= m; ++j) a(j, i) = 0.0;
    }
    a(i, i) += 1.0;
  }

  // Diagonalisation of the bidiagonal form: implicit-shift QR, last value first.
  // The splitting test uses an absolute threshold rather than one relative to anorm.
  const double eps = svd_negligible;
  for (int k = n; k >= 1; --k) {
    for (int its = 1; its <= 30; ++its) {
      bool cancel = false;
      int nm = 0;
      for (l = k; l >= 1; --l) {
        nm = l - 1;
        // rv1(1) is always zero, so the scan stops at l = 1 at the latest.
        if (l == 1 || std::fabs(rv1[l]) < eps) break;
        if (std::fabs(w[nm]) < eps) {
          cancel = true;
          break;
        }
      }
      if (cancel) {
        // w(l-1) is negligible: chase the super-diagonal element rv1(l) out of the block.
        double c = 0.0, s = 1.0;
        for (int i = l; i <= k; ++i) {
          const double f = s * rv1[i];
          rv1[i] = c * rv1[i];
          if (std::fabs(f) + anorm == anorm) break;
          g = w[i];
          double h = pythag(f, g);
          w[i] = h;
          h = 1.0 / h;
          c = g * h;
          s = -f * h;
          for (int j = 1; j <= m; ++j) {
            const double y = a(j, nm);
            const double z = a(j, i);
            a(j, nm) = y * c + z * s;
            a(j, i) = -y * s + z * c;
          }
        }
      }
      double z = w[k];
      if (l == k) {
        // Converged: make the singular value non-negative.
        if (z < 0.0) {
          w[k] = -z;
          for (int j = 1; j <= n; ++j) v(j, k) = -v(j, k);
        }
        break;
      }
      if (its == 30) fatal_text("SVDCMP: No convergence in 30 iterations");

      // Shift from the bottom 2 x 2 minor.
      double x = w[l];
      nm = k - 1;
      double y = w[nm];
      g = rv1[nm];
      double h = rv1[k];
      double f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0 * h * y);
      g = pythag(f, 1.0);
      f = ((x - z) * (x + z) + h * ((y / (f + sign(g, f))) - h)) / x;

      // Next QR transformation.
      double c = 1.0, s = 1.0;
      for (int j = l; j <= nm; ++j) {
        const int i = j + 1;
        g = rv1[i];
        y = w[i];
        h = s * g;
        g = c * g;
        z = pythag(f, h);
        rv1[j] = z;
        if (z != 0.0) {
          c = f / z;
          s = h / z;
        } else {
          // Nothing to rotate; an identity rotation keeps the sweep free of 0/0.
          c = 1.0;
          s = 0.0;
        }
        f = x * c + g * s;
        g = -x * s + g * c;
        h = y * s;
        y = y * c;
        for (int jj = 1; jj <= n; ++jj) {
          x = v(jj, j);
          z = v(jj, i);
          v(jj, j) = x * c + z * s;
          v(jj, i) = -x * s + z * c;
        }
        z = pythag(f, h);
        w[j] = z;
        if (z != 0.0) {
          z = 1.0 / z;
          c = f * z;
          s = h * z;
        }
        f = c * g + s * y;
        x = -s * g + c * y;
        for (int jj = 1; jj <= m; ++jj) {
          y = a(jj, j);
          z = a(jj, i);
          a(jj, j) = y * c + z * s;
          a(jj, i) = -y * s + z * c;
        }
      }
      rv1[l] = 0.0;
      rv1[k] = f;
      w[k] = x;
    }
  }
}

}  // namespace

void svd(std::span<double> a, int m, int n, int mp, int np, std::span<double> w, std::span<double> v) {
  svd_impl<0>(a, m, n, mp, np, w, v);
}

BestRotation best_rotation(std::array<double, 9> c) {
  // Determinant by cofactor expansion along the first row, before c is overwritten.
  auto at = [&](int i, int j) { return c[(i - 1) + 3 * (j - 1)]; };
  const double det = at(1, 1) * (at(2, 2) * at(3, 3) - at(2, 3) * at(3, 2)) -
                     at(1, 2) * (at(2, 1) * at(3, 3) - at(2, 3) * at(3, 1)) +
                     at(1, 3) * (at(2, 1) * at(3, 2) - at(2, 2) * at(3, 1));

  std::array<double, 3> w{};
  std::array<double, 9> v{};
  svd_impl<3>(c, 3, 3, 3, 3, w, v);  // c now holds U

  // Reflection guard: when the correlation is improper (det < 0), the smallest
  // singular value changes sign so that the fit stays a proper rotation. Among
  // equal minima only the last is flipped: flipping two of them would make the fit
  // a reflection, flipping three a rotation that is not the best one.
  std::array<double, 3> d{1.0, 1.0, 1.0};
  if (det < 0.0) {
    const double wmin = std::min({w[0], w[1], w[2]});
    for (int i = 2; i >= 0; --i)
      if (w[i] == wmin) {
        d[i] = -1.0;
        break;
      }
  }

  // Rotation r(i,j) = sum_k V(i,k) d(k) U(j,k); it maps centred x onto centred y.
  BestRotation best;
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) {
      double s = 0.0;
      for (int k = 0; k < 3; ++k) s += v[i + 3 * k] * d[k] * c[j + 3 * k];
      best.r[i + 3 * j] = s;
    }
  best.trace = w[0] * d[0] + w[1] * d[1] + w[2] * d[2];
  return best;
}

double rmsd(std::span<double> x, std::span<const double> y, int n, int mode, std::span<double> z, int m) {
  if (n <= 3) return 0.0;

  // Centroids: sums, then one division. The loops below keep their sums in
  // scalars, point by point in order, so that they compile to tight code.
  const double* px = x.data();
  const double* py = y.data();
  double sx1 = 0.0, sx2 = 0.0, sx3 = 0.0, sy1 = 0.0, sy2 = 0.0, sy3 = 0.0;
  for (int k = 0; k < n; ++k) {
    const double* p = px + 3 * k;
    const double* q = py + 3 * k;
    sx1 += p[0];
    sx2 += p[1];
    sx3 += p[2];
    sy1 += q[0];
    sy2 += q[1];
    sy3 += q[2];
  }
  const std::array<double, 3> cx{sx1 / n, sx2 / n, sx3 / n};
  const std::array<double, 3> cy{sy1 / n, sy2 / n, sy3 / n};

  // Correlation matrix, column by column: c(i,j) = mean of a(i) * b(j) over the
  // centred points (rows follow the moved set). The centred coordinates are formed
  // on the fly; they are exactly the values a centred copy would hold.
  double c11 = 0.0, c21 = 0.0, c31 = 0.0, c12 = 0.0, c22 = 0.0, c32 = 0.0, c13 = 0.0, c23 = 0.0, c33 = 0.0;
  for (int k = 0; k < n; ++k) {
    const double* p = px + 3 * k;
    const double* q = py + 3 * k;
    const double a1 = p[0] - cx[0], a2 = p[1] - cx[1], a3 = p[2] - cx[2];
    const double b1 = q[0] - cy[0], b2 = q[1] - cy[1], b3 = q[2] - cy[2];
    c11 += a1 * b1;
    c21 += a2 * b1;
    c31 += a3 * b1;
    c12 += a1 * b2;
    c22 += a2 * b2;
    c32 += a3 * b2;
    c13 += a1 * b3;
    c23 += a2 * b3;
    c33 += a3 * b3;
  }
  const std::array<double, 9> c{c11 / n, c21 / n, c31 / n, c12 / n, c22 / n, c32 / n, c13 / n, c23 / n, c33 / n};

  const std::array<double, 9> r = best_rotation(c).r;

  const double r11 = r[0], r21 = r[1], r31 = r[2], r12 = r[3], r22 = r[4], r32 = r[5], r13 = r[6], r23 = r[7],
               r33 = r[8];
  double sum = 0.0;
  for (int k = 0; k < n; ++k) {
    double* p = x.data() + 3 * k;
    const double* q = py + 3 * k;
    const double a1 = p[0] - cx[0], a2 = p[1] - cx[1], a3 = p[2] - cx[2];
    const double e1 = r11 * a1 + r12 * a2 + r13 * a3;
    const double e2 = r21 * a1 + r22 * a2 + r23 * a3;
    const double e3 = r31 * a1 + r32 * a2 + r33 * a3;
    const double d1 = e1 - (q[0] - cy[0]), d2 = e2 - (q[1] - cy[1]), d3 = e3 - (q[2] - cy[2]);
    sum += d1 * d1;
    sum += d2 * d2;
    sum += d3 * d3;
    if (mode < 0) {
      p[0] = e1 + cy[0];
      p[1] = e2 + cy[1];
      p[2] = e3 + cy[2];
    }
  }

  if (mode > 0)
    for (int k = 0; k < m; ++k) {
      double* p = z.data() + 3 * k;
      const double a1 = p[0] - cx[0], a2 = p[1] - cx[1], a3 = p[2] - cx[2];
      p[0] = r11 * a1 + r12 * a2 + r13 * a3 + cy[0];
      p[1] = r21 * a1 + r22 * a2 + r23 * a3 + cy[1];
      p[2] = r31 * a1 + r32 * a2 + r33 * a3 + cy[2];
    }

  return std::sqrt(sum / n);
}

}  // namespace veldrix

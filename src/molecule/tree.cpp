// Torsion-angle tree: rigid units joined by the free dihedral angles, coordinates from angles and back.
//
// Unit u (a free angle) carries the atoms its rotation moves last in tree order.
// Its frame has the origin at the angle's second atom, x along the axis to the
// third atom, and the first atom in the x-z plane on the side of negative z.
// r0 holds each unit's frame relative to its parent at angle value 0, so that
// the local transform at value theta is r0 followed by a rotation about x by theta.
#include "molecule/tree.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "command/message.hpp"
#include "molecule/sequence.hpp"
#include "molecule/vokandata.hpp"

namespace veldrix {

namespace {

using Mat3 = std::array<double, 9>;  // column by column: element (i, j) is [i + 3 j], 0-based

double dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec3 minus(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }

// The unit vector along d, or nullopt-like false when d has no direction.
bool normalise(Vec3& d) {
  const double n = std::sqrt(dot(d, d));
  if (!(n > 0.0) || !std::isfinite(n)) return false;
  for (double& c : d) c /= n;
  return true;
}

// Frame with x from o towards `toward` and y = x cross (side - o): the columns
// x, y, z. Degenerate input (no axis, side atom on the axis) still gives an
// orthonormal frame, so that nothing undefined enters the coordinates.
Mat3 frame(const Vec3& o, const Vec3& toward, const Vec3& side) {
  Vec3 x = minus(toward, o);
  if (!normalise(x)) x = {1.0, 0.0, 0.0};
  Vec3 y = cross(x, minus(side, o));
  if (!normalise(y)) {
    y = cross(x, std::abs(x[0]) < 0.9 ? Vec3{1.0, 0.0, 0.0} : Vec3{0.0, 1.0, 0.0});
    normalise(y);
  }
  const Vec3 z = cross(x, y);
  return {x[0], x[1], x[2], y[0], y[1], y[2], z[0], z[1], z[2]};
}

Vec3 ref(const VokanData& v, int a) { return {v.coo0(1, a), v.coo0(2, a), v.coo0(3, a)}; }
void set_ref(VokanData& v, int a, const Vec3& p) {
  for (int x = 1; x <= 3; ++x) v.coo0(x, a) = p[std::size_t(x - 1)];
}

// Rotation part and origin of the transform of unit u kept in g1..g3.
Mat3 g_rot(const VokanData& v, int u) {
  Mat3 r;
  for (int j = 1; j <= 3; ++j) {
    r[std::size_t(0 + 3 * (j - 1))] = v.g1(j, u);
    r[std::size_t(1 + 3 * (j - 1))] = v.g2(j, u);
    r[std::size_t(2 + 3 * (j - 1))] = v.g3(j, u);
  }
  return r;
}
Vec3 g_shift(const VokanData& v, int u) { return {v.g1(4, u), v.g2(4, u), v.g3(4, u)}; }
void set_g(VokanData& v, int u, const Mat3& r, const Vec3& t) {
  for (int j = 1; j <= 3; ++j) {
    v.g1(j, u) = r[std::size_t(0 + 3 * (j - 1))];
    v.g2(j, u) = r[std::size_t(1 + 3 * (j - 1))];
    v.g3(j, u) = r[std::size_t(2 + 3 * (j - 1))];
  }
  v.g1(4, u) = t[0];
  v.g2(4, u) = t[1];
  v.g3(4, u) = t[2];
}

Mat3 multiply(const Mat3& a, const Mat3& b) {
  Mat3 c{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      double s = 0.0;
      for (int k = 0; k < 3; ++k) s += a[std::size_t(i + 3 * k)] * b[std::size_t(k + 3 * j)];
      c[std::size_t(i + 3 * j)] = s;
    }
  return c;
}
Mat3 transposed(const Mat3& a) {
  Mat3 t;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) t[std::size_t(i + 3 * j)] = a[std::size_t(j + 3 * i)];
  return t;
}
Vec3 transform(const Mat3& a, const Vec3& x) {
  Vec3 y;
  for (int i = 0; i < 3; ++i)
    y[std::size_t(i)] = a[std::size_t(i)] * x[0] + a[std::size_t(i + 3)] * x[1] + a[std::size_t(i + 6)] * x[2];
  return y;
}
// a followed by a rotation about the first axis by theta: the columns a1,
// cos a2 + sin a3, cos a3 - sin a2.
Mat3 turn_x(const Mat3& a, double theta) {
  const double c = std::cos(theta), s = std::sin(theta);
  Mat3 r = a;
  for (int i = 0; i < 3; ++i) {
    const double a2 = a[std::size_t(i + 3)], a3 = a[std::size_t(i + 6)];
    r[std::size_t(i + 3)] = c * a2 + s * a3;
    r[std::size_t(i + 6)] = c * a3 - s * a2;
  }
  return r;
}

constexpr Mat3 identity = {1, 0, 0, 0, 1, 0, 0, 0, 1};

bool is_atom(const VokanData& v, int a) { return a >= 0 && a <= v.na; }

// Reference coordinates (into coo0): residues placed one after the other by the
// three atoms their leading library atoms stand for, each angle then turned to
// its current value. An angle only moves atoms placed so far; every later atom
// is overwritten when its own residue is placed.
void assemble(VokanData& v) {
  const int na = v.na;
  v.coo0.fill(0.0);
  int placed = 0;
  for (int i = 1; i <= v.nr; ++i) {
    const int c = v.irlib(i);
    if (i == 1) {
      for (int j = v.ifirat(c); j <= v.nat(c); ++j) {
        const int a = v.joffst(j, 1);
        if (a < 1 || a > na) continue;
        for (int x = 1; x <= 3; ++x) v.coo0(x, a) = v.coord(x, j, c);
        placed = std::max(placed, a);
      }
      const int m = std::clamp(v.mdihat, 1, v.nat(c));
      for (int x = 1; x <= 3; ++x) v.coo0(x, 0) = v.coord(x, m, c);
    } else {
      const int o_atom = v.joffst(1, i), side = v.joffst(2, i), toward = v.joffst(3, i);
      const Mat3 f = is_atom(v, o_atom) && is_atom(v, side) && is_atom(v, toward)
                         ? frame(ref(v, o_atom), ref(v, toward), ref(v, side))
                         : identity;
      const Vec3 o = is_atom(v, o_atom) ? ref(v, o_atom) : Vec3{0.0, 0.0, 0.0};
      for (int j = 1; j <= v.nat(c); ++j) {
        const int a = v.joffst(j, i);
        if (a < 1 || a > na) continue;
        const Vec3 local = {v.coord(1, j, c), v.coord(2, j, c), v.coord(3, j, c)};
        const Vec3 p = transform(f, local);
        set_ref(v, a, {o[0] + p[0], o[1] + p[1], o[2] + p[2]});
        placed = std::max(placed, a);
      }
    }
    for (int kc = v.ifird(i); kc < v.ifird(i + 1); ++kc) {
      const int k = v.idord(kc);
      const double phi = v.dval(k) - v.dval0(k);
      const int a2 = v.ida(2, k), a3 = v.ida(3, k);
      if (phi == 0.0 || !is_atom(v, a2) || !is_atom(v, a3)) continue;
      const Vec3 p2 = ref(v, a2);
      Vec3 axis = minus(ref(v, a3), p2);
      if (!normalise(axis)) continue;
      const double cs = std::cos(phi), sn = std::sin(phi);
      const int hi = std::min({v.lda(k), na, placed});
      double* const ref0 = v.coo0.ptr(1, 0);  // atom a at ref0[3a .. 3a+2]
      for (int a = a3 + 1; a <= hi; ++a) {
        double* const q = ref0 + 3 * std::size_t(a);
        const Vec3 d = {q[0] - p2[0], q[1] - p2[1], q[2] - p2[2]};
        const Vec3 kd = cross(axis, d);
        const double along = dot(axis, d) * (1.0 - cs);
        q[0] = p2[0] + d[0] * cs + kd[0] * sn + axis[0] * along;
        q[1] = p2[1] + d[1] * cs + kd[1] * sn + axis[1] * along;
        q[2] = p2[2] + d[2] * cs + kd[2] * sn + axis[2] * along;
      }
    }
  }
}

}  // namespace

void tree(VokanData& v, const FArray<bool>& free) {
  const int nd = v.nd, na = v.na;

  // Free angles first, each group in the order of construction.
  std::vector<int> old_of(std::size_t(nd) + 1, 0), new_of(std::size_t(nd) + 1, 0);
  int n = 0;
  for (int pass = 0; pass < 2; ++pass)
    for (int k = 1; k <= nd; ++k)
      if (free(k) == (pass == 0)) {
        old_of[std::size_t(++n)] = k;
        new_of[std::size_t(k)] = n;
      }
  v.ndfree = 0;
  for (int k = 1; k <= nd; ++k) v.ndfree += free(k) ? 1 : 0;
  if (v.ndfree == 0) fatal_text("No rotatable dihedral angles.");
  {
    const auto dnam = v.dnam;
    const auto dval0 = v.dval0;
    const auto ida = v.ida;
    const auto lda = v.lda, idr = v.idr;
    std::vector<double> dval(std::size_t(nd) + 1, 0.0);
    const bool have_values = v.dval.allocated();
    if (have_values)
      for (int k = 1; k <= nd; ++k) dval[std::size_t(k)] = v.dval(k);
    for (int k = 1; k <= nd; ++k) {
      const int o = old_of[std::size_t(k)];
      v.dnam(k) = dnam(o);
      v.dval0(k) = dval0(o);
      for (int m = 1; m <= 4; ++m) v.ida(m, k) = ida(m, o);
      v.lda(k) = lda(o);
      v.idr(k) = idr(o);
      if (have_values) v.dval(k) = dval[std::size_t(o)];
    }
    for (int k = 1; k <= nd; ++k) v.idord(k) = new_of[std::size_t(v.idord(k))];
    v.idord(0) = 0;
  }
  const int nf = v.ndfree;

  // Units: each atom ends in the innermost unit whose rotation moves it.
  v.iaunit.allocate(Dim(0, na));
  v.iaunit.fill(-1);
  v.iprev.allocate(Dim(-1, nf));
  v.iprev(-1) = -2;
  for (int u = 0; u <= nf; ++u) {
    const int a3 = v.ida(3, u);
    v.iprev(u) = is_atom(v, a3) ? v.iaunit(a3) : -1;
    const int hi = std::min(v.lda(u), na);
    for (int a = std::max(a3 + 1, 0); a <= hi; ++a) v.iaunit(a) = u;
  }

  v.g1.allocate(Dim(4), Dim(-1, nf));
  v.g2.allocate(Dim(4), Dim(-1, nf));
  v.g3.allocate(Dim(4), Dim(-1, nf));
  v.r0.allocate(Dim(12), Dim(0, nf));
  v.coo0.allocate(Dim(3), Dim(0, na));
  gencor(v);
}

void assemble_reference(VokanData& v) { assemble(v); }

void gencor(VokanData& v) {
  const int nf = v.ndfree, na = v.na;
  assemble(v);

  // World frames of the units in the reference, kept in g1..g3 for the moment.
  set_g(v, -1, identity, {0.0, 0.0, 0.0});
  set_g(v, 0, identity, {0.0, 0.0, 0.0});
  for (int u = 1; u <= nf; ++u) {
    const int a1 = v.ida(1, u), a2 = v.ida(2, u), a3 = v.ida(3, u);
    const Vec3 o = is_atom(v, a2) ? ref(v, a2) : Vec3{0.0, 0.0, 0.0};
    const Mat3 f = is_atom(v, a1) && is_atom(v, a2) && is_atom(v, a3) ? frame(o, ref(v, a3), ref(v, a1)) : identity;
    set_g(v, u, f, o);
  }

  // Each frame relative to its parent, turned back to angle value 0.
  for (int x = 1; x <= 12; ++x) v.r0(x, 0) = x == 1 || x == 5 || x == 9 ? 1.0 : 0.0;
  for (int u = 1; u <= nf; ++u) {
    const int p = std::max(v.iprev(u), 0);
    const Mat3 rpt = transposed(g_rot(v, p));
    const Mat3 m = turn_x(multiply(rpt, g_rot(v, u)), -v.dval(u));
    const Vec3 t = transform(rpt, minus(g_shift(v, u), g_shift(v, p)));
    for (int x = 0; x < 9; ++x) v.r0(x + 1, u) = m[std::size_t(x)];
    for (int x = 0; x < 3; ++x) v.r0(x + 10, u) = t[std::size_t(x)];
  }

  // Atom coordinates in the frames of their units.
  for (int a = 0; a <= na; ++a) {
    const int u = v.iaunit(a);
    if (u < 1) continue;
    const Vec3 local = transform(transposed(g_rot(v, u)), minus(ref(v, a), g_shift(v, u)));
    set_ref(v, a, local);
  }
}

void gener(VokanData& v) {
  if (v.i0styp > 1) return;
  const int nf = v.ndfree, na = v.na;
  const double q0 = v.dval(0), q1 = v.dval(-1), q2 = v.dval(-2), q3 = v.dval(-3);
  // Rows of the base rotation, written here column by column.
  const Mat3 base = {2.0 * (q0 * q0 + q1 * q1 - 0.5), 2.0 * (q0 * q3 + q1 * q2),       2.0 * (q1 * q3 - q0 * q2),
                     2.0 * (q1 * q2 - q0 * q3),       2.0 * (q0 * q0 + q2 * q2 - 0.5), 2.0 * (q0 * q1 + q2 * q3),
                     2.0 * (q0 * q2 + q1 * q3),       2.0 * (q2 * q3 - q0 * q1),       2.0 * (q0 * q0 + q3 * q3 - 0.5)};
  const Vec3 shift = {v.dval(-4), v.dval(-5), v.dval(-6)};
  set_g(v, -1, base, shift);
  set_g(v, 0, base, shift);
  // A parent always has a smaller index than its unit, so index order composes parents first.
  for (int u = 1; u <= nf; ++u) {
    const int p = v.iprev(u);
    Mat3 m;
    for (int x = 0; x < 9; ++x) m[std::size_t(x)] = v.r0(x + 1, u);
    const Vec3 t = {v.r0(10, u), v.r0(11, u), v.r0(12, u)};
    const Mat3 rp = g_rot(v, p);
    const Vec3 tp = g_shift(v, p);
    const Vec3 rt = transform(rp, t);
    set_g(v, u, multiply(rp, turn_x(m, v.dval(u))), {rt[0] + tp[0], rt[1] + tp[1], rt[2] + tp[2]});
  }
  for (int a = 0; a <= na; ++a) {
    const int u = v.iaunit(a);
    const Vec3 p = transform(g_rot(v, u), ref(v, a));
    const Vec3 t = g_shift(v, u);
    const int col = v.col(0, a);
    for (int x = 0; x < 3; ++x) v.coo(x + 1, col) = p[std::size_t(x)] + t[std::size_t(x)];
  }
}

double calang(const VokanData& v, int k, int s) {
  if (k < 1 || k > v.nd) return unknown_value;
  const int a1 = v.ida(1, k) == 0 ? v.ida1 : v.ida(1, k);
  const int a4 = v.ida(4, k) <= v.na ? v.ida(4, k) : v.ida4;
  const std::array<int, 4> atoms = {a1, v.ida(2, k), v.ida(3, k), a4};
  std::array<Vec3, 4> p;
  for (std::size_t m = 0; m < 4; ++m) {
    const int a = atoms[m];
    if (a < 1 || a > v.na) return unknown_value;
    const int col = v.col(s, a);
    for (int x = 1; x <= 3; ++x) {
      const double c = v.coo(x, col);
      if (!known_coordinate(c)) return unknown_value;
      p[m][std::size_t(x - 1)] = c;
    }
  }
  const std::optional<double> theta = tor(p[0], p[1], p[2], p[3]);
  if (!theta) return unknown_value;
  if (k == 1) return *theta - v.dcorr1;
  if (k == v.ndfree) return *theta - v.dcorr4;
  return *theta;
}

}  // namespace veldrix

// The molecular data model: growable arrays, group resizes, release and structure copy.
#include "molecule/vokandata.hpp"

#include <algorithm>

namespace veldrix {

namespace {

template <class T>
void grow(FArray<T>& a, int n, int k) {
  if (!a.allocated()) {
    a.allocate(Dim(std::max(n + k, 0)));
    return;
  }
  const int m = int(a.extent());
  if (k > 0) {
    if (m >= n) return;
    a.resize_keep(Dim(n + k));
  } else if (k == 0) {
    if (m == n) return;
    a.resize_keep(Dim(std::max(n, 0)));
  }
}

}  // namespace

void ralo(FArray<double>& a, int n, int k) { grow(a, n, k); }
void lalo(FArray<bool>& a, int n, int k) { grow(a, n, k); }
void salo(FArray<std::string>& a, int n, int k) { grow(a, n, k); }

void ialo(FArray<int>& a, int n, int k) {
  if (!a.allocated()) a.allocate(Dim(std::max(n + k, 0)));
}

void alolib(VokanData& v, int ntypes, int nres, int maxdih, int maxat) {
  if (!v.attyp.allocated() || int(v.attyp.extent()) != ntypes) {
    v.attyp.resize_keep(Dim(ntypes));
    v.iatel.resize_keep(Dim(ntypes));
  }
  const bool same_size = v.aanam.allocated() && int(v.aanam.extent()) == nres && int(v.dihnam.extent(0)) == maxdih &&
                         int(v.atnam.extent(0)) == maxat;
  if (same_size) return;
  v.aanam.resize_keep(Dim(nres));
  v.aatyp.resize_keep(Dim(nres));
  v.ndih.resize_keep(Dim(nres));
  v.nat.resize_keep(Dim(nres));
  v.ifirat.resize_keep(Dim(nres));
  v.lasat.resize_keep(Dim(nres));
  v.dihnam.resize_keep(Dim(maxdih), Dim(nres));
  v.idihat.resize_keep(Dim(4), Dim(maxdih), Dim(nres));
  v.ldihat.resize_keep(Dim(maxdih), Dim(nres));
  v.atnam.resize_keep(Dim(maxat), Dim(nres));
  v.iattyp.resize_keep(Dim(maxat), Dim(nres));
  v.coord.resize_keep(Dim(3), Dim(maxat), Dim(nres));
  v.ipatom.resize_keep(Dim(maxat), Dim(nres));
}

void alostr(VokanData& v, int n, int k) {
  if (v.isstr.allocated()) {
    if (n == 0 && k == 0) {
      v.coo.deallocate();
      v.dval.deallocate();
      v.istyp.deallocate();
      v.isstr.deallocate();
      return;
    }
    const int cap = v.structure_capacity();
    const int angles = int(v.dval.extent()) - 7;
    const bool dval_fits = v.nd == 0 ? angles == 0 : angles > 0 && angles % v.nd == 0;
    const bool big_enough = k == 0 ? cap == n : cap >= n;
    if (big_enough && dval_fits) return;
  }
  const int c = n + std::max(k, 0);
  v.isstr.resize_keep(Dim(c));
  v.istyp.resize_keep(Dim(0, c));
  v.coo.resize_keep(Dim(3), Dim(0, v.na * (c + 1)));
  v.dval.resize_keep(Dim(-6, v.nd * (c + 1)));
}

void dstroy(VokanData& v) {
  for (FArray<std::string>* a : {&v.anam, &v.dnam}) a->deallocate();
  for (FArray<int>* a : {&v.iatyp, &v.iael, &v.iar, &v.idr, &v.lda, &v.idord, &v.ichain, &v.iprev, &v.iaunit})
    a->deallocate();
  for (FArray<double>* a : {&v.adisp, &v.dval0}) a->deallocate();
  v.asel.deallocate();
  for (FArray<double, 2>* a : {&v.g1, &v.g2, &v.g3, &v.r0, &v.coo0}) a->deallocate();
  v.ida.deallocate();
  v.joffst.deallocate();
  alostr(v, 0, 0);
}

void copstr(VokanData& v, int from, int to) {
  if (from == to) return;
  if (from > v.structure_capacity()) return;
  alostr(v, std::max(from, to), 1);
  v.istyp(0) = v.i0styp;
  v.istyp(to) = v.istyp(from);
  for (int k = 1; k <= v.nd; ++k) v.dval(v.dix(to, k)) = v.dval(v.dix(from, k));
  for (int a = 1; a <= v.na; ++a)
    for (int x = 1; x <= 3; ++x) v.coo(x, v.col(to, a)) = v.coo(x, v.col(from, a));
  v.i0styp = v.istyp(0);
}

}  // namespace veldrix

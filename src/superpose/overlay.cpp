// Ensemble RMSD to the mean structure, and the structure-overlay refinement of a selection.
#include "superpose/overlay.hpp"

#include <algorithm>
#include <cmath>
#include <new>
#include <span>
#include <vector>

#include "command/message.hpp"
#include "superpose/moments.hpp"
#include "superpose/rmsd.hpp"
#include "superpose/state.hpp"

namespace veldrix {

namespace {

// Coordinates of atom a of a structure are base[3a .. 3a+2], base being its column 0.
const double* structure_base(const VokanData& v, int s) { return v.coo.ptr(1, v.col(s, 0)); }

bool defined(const double* c) { return known_coordinate(c[0]) && known_coordinate(c[1]) && known_coordinate(c[2]); }

// Segments of the residue flags f(1..nr+1): maximal runs of true.
int count_segments(const FArray<bool>& f, int nr) {
  int seg = 0;
  for (int r = 1; r <= nr; ++r)
    if (f(r) && !f(r + 1)) ++seg;
  return seg;
}

int gaps_of(int segments) { return segments > 1 ? segments - 1 : 0; }

// Change of the segment count when residue r (flagged) is taken out for the moment.
int segment_change(const FArray<bool>& f, int r) {
  const bool left = r > 1 && f(r - 1);
  const bool right = f(r + 1);
  if (left && right) return 1;     // splits a segment
  if (!left && !right) return -1;  // a segment vanishes
  return 0;                        // an end of a segment
}

}  // namespace

double armsd(SuperposeState& s, const FArray<bool>& sel) {
  VokanData& v = s.vokandata;
  const int ns = v.nsstr;
  if (ns < 2 || !sel.allocated()) return -1.0;

  ArmsdScratch& w = s.armsd_scratch;
  w.atoms.clear();
  const int limit = std::min(v.na, sel.ubound());
  for (int a = std::max(1, sel.lbound()); a <= limit; ++a)
    if (sel(a)) w.atoms.push_back(a);
  // Keep the atoms defined in every member, one structure at a time (memory order).
  for (int k = 1; k <= ns && w.atoms.size() >= 4; ++k) {
    const double* base = structure_base(v, v.isstr(k));
    std::size_t kept = 0;
    for (const int a : w.atoms)
      if (defined(base + 3 * std::size_t(a))) w.atoms[kept++] = a;
    w.atoms.resize(kept);
  }
  const int nu = int(w.atoms.size());
  if (nu < 4) return -1.0;

  const std::size_t block = 3 * std::size_t(nu);
  try {
    w.p.resize(block * (std::size_t(ns) + 1));
    w.dist.assign(std::size_t(nu), 0.0);
  } catch (const std::bad_alloc&) {
    aloerr(s, "rmsd", 47);
  }
  auto member = [&](int k) { return std::span<double>(w.p.data() + block * std::size_t(k), block); };

  // Gather the usable atoms of every member into one contiguous block each.
  for (int k = 1; k <= ns; ++k) {
    double* out = member(k).data();
    const double* base = structure_base(v, v.isstr(k));
    for (int j = 0; j < nu; ++j) {
      const double* c = base + 3 * std::size_t(w.atoms[std::size_t(j)]);
      out[3 * j] = c[0];
      out[3 * j + 1] = c[1];
      out[3 * j + 2] = c[2];
    }
  }

  // Every member onto member 1.
  const std::span<double> none;
  for (int k = 2; k <= ns; ++k) rmsd(member(k), member(1), nu, -1, none, 0);

  // Mean structure: sum over the members, then one division.
  const std::span<double> mean = member(0);
  std::fill(mean.begin(), mean.end(), 0.0);
  for (int k = 1; k <= ns; ++k) {
    const std::span<double> pk = member(k);
    for (std::size_t i = 0; i < block; ++i) mean[i] += pk[i];
  }
  for (double& e : mean) e /= ns;

  // One pass of fits onto the mean; the mean is not recomputed afterwards.
  double sum = 0.0;
  for (int k = 1; k <= ns; ++k) {
    const std::span<double> pk = member(k);
    sum += rmsd(pk, mean, nu, -1, none, 0);
    for (int j = 0; j < nu; ++j) {
      const double dx = pk[3 * j] - mean[3 * j];
      const double dy = pk[3 * j + 1] - mean[3 * j + 1];
      const double dz = pk[3 * j + 2] - mean[3 * j + 2];
      w.dist[std::size_t(j)] += std::sqrt(dx * dx + dy * dy + dz * dz);
    }
  }

  if (!v.adisp.allocated() || v.adisp.lbound() != 1 || v.adisp.ubound() != v.na) v.adisp.allocate(Dim(v.na));
  v.adisp.fill(0.0);
  for (int j = 0; j < nu; ++j) v.adisp(w.atoms[std::size_t(j)]) = w.dist[std::size_t(j)] / ns;
  return sum / ns;
}

void ovrlay(SuperposeState& state, const FArray<bool>& keep, double gap, double decrease, double absdecrease,
            int gapwidth, FArray<bool>& f, double upper_rmsd) {
  VokanData& v = state.vokandata;
  if (v.nsstr == 0) fatmsg(state, "No structures selected.");
  if (v.na < 1 || !v.asel.allocated()) return;
  bool any = false;
  for (int a = 1; a <= v.na && !any; ++a) any = v.asel(a);
  if (!any) return;

  const int nr = v.nr;
  const auto first = [&](int r) { return v.ifira(r); };
  const auto last = [&](int r) { return r < nr ? v.ifira(r + 1) - 1 : v.na; };
  const auto kept = [&](int r) { return keep.allocated() && r <= keep.ubound() && keep(r); };

  FArray<bool> s = v.asel;
  if (!f.allocated() || f.lbound() != 1 || f.ubound() < nr + 1) f.allocate(Dim(nr + 1));
  int nres = 0;
  for (int r = 1; r <= nr; ++r) {
    f(r) = false;
    for (int a = first(r); a <= last(r) && !f(r); ++a) f(r) = s(a);
    if (f(r)) ++nres;
  }
  f(nr + 1) = false;

  // The ensemble RMSD of a selection comes from additive statistics where they suit the
  // ensemble: those of the whole selection are kept, and a trial removal takes one
  // residue's atoms out of a copy. Otherwise (and where the statistics cannot give
  // armsd's value closely) armsd runs on a trial selection, which equals s except while
  // one residue is taken out of it.
  const bool moments = EnsembleMoments::suits(v.nsstr);
  EnsembleMoments& em = state.moments;
  std::vector<double> total, trial;
  FArray<bool> trial_sel;
  const auto take = [&](std::vector<double>& block, int r, double sign) {
    for (int a = first(r); a <= last(r); ++a)
      if (s(a) && em.usable(a)) em.add_atom(block, a, sign);
  };
  if (moments) {
    em.prepare(v, s);
    total.assign(em.size(), 0.0);
    for (int r = 1; r <= nr; ++r)
      if (f(r)) take(total, r, 1.0);
  }
  trial_sel = s;
  std::vector<int> atoms;

  const auto drop = [&](int r) {
    if (moments) take(total, r, -1.0);
    for (int a = first(r); a <= last(r); ++a) s(a) = trial_sel(a) = false;
    f(r) = false;
    --nres;
  };
  const auto rmsd_without = [&](int r) {
    if (moments) {
      trial = total;
      take(trial, r, -1.0);
      if (const std::optional<double> value = em.rmsd(trial)) return *value;
    }
    for (int a = first(r); a <= last(r); ++a) trial_sel(a) = false;
    const double value = armsd(state, trial_sel);
    for (int a = first(r); a <= last(r); ++a) trial_sel(a) = s(a);
    return value;
  };
  // armsd of s; also refreshes adisp.
  const auto rmsd_of_s = [&]() {
    if (moments) {
      atoms.clear();
      for (int a = 1; a <= v.na; ++a)
        if (s(a) && em.usable(a)) atoms.push_back(a);
      if (const std::optional<double> value = em.rmsd(total, atoms, v.adisp)) return *value;
    }
    return armsd(state, s);
  };

  for (;;) {
    const int nres0 = nres;
    const int seg0 = count_segments(f, nr);
    const int g0 = gaps_of(seg0);
    const double r0 = rmsd_of_s();
    if (r0 < upper_rmsd || r0 <= 0.0) break;

    // Residues without a selected neighbour go first.
    bool isolated = false;
    for (int r = 1; r <= nr; ++r) {
      if (kept(r) || !f(r)) continue;
      if ((r == 1 || !f(r - 1)) && (r == nr || !f(r + 1))) {
        drop(r);
        isolated = true;
      }
    }
    if (isolated) continue;

    // Candidates by mean displacement: slot 1 ends a segment, slot 2 lies inside one.
    // On equal values the later residue takes the slot.
    int cand[3] = {0, 0, 0};
    double value[3] = {0.0, 0.0, 0.0};
    for (int r = 1; r <= nr; ++r) {
      if (!f(r) || kept(r)) continue;
      double sum = 0.0;
      int count = 0;
      for (int a = first(r); a <= last(r); ++a)
        if (s(a)) {
          sum += v.adisp(a);
          ++count;
        }
      const double avg = count > 0 ? sum / count : 0.0;
      const int g = gaps_of(seg0 + segment_change(f, r));
      if (g < g0) fatmsg(state, "Error in structure overlay.");
      const int t = g == g0 ? 1 : 2;
      if (avg >= value[t]) {
        cand[t] = r;
        value[t] = avg;
      }
    }
    // Nothing removable: every flagged residue is kept.
    if (cand[1] == 0 && cand[2] == 0) break;

    // Trial removal of each candidate; opening a gap is weighted by `gap`.
    for (int t = 1; t <= 2; ++t)
      if (cand[t] != 0) value[t] = (r0 - rmsd_without(cand[t])) * (t == 2 ? gap : 1.0);

    // The end residue wins ties; an empty slot never wins.
    int ts = value[2] <= value[1] ? 1 : 2;
    if (cand[ts] == 0) ts = 3 - ts;
    int j = cand[ts];
    double dec = value[ts];

    int aj = 0, as = 0;
    for (int a = 1; a <= v.na; ++a)
      if (s(a)) ++as;
    for (int a = first(j); a <= last(j); ++a)
      if (s(a)) ++aj;
    const double frac = double(float(aj) / float(as));
    const double thr = (double(3.0f / float(nres)) + decrease) * frac;
    const double absthr = absdecrease * frac;
    double rel = dec / r0;

    // The chosen candidate is not worth it: try every removable residue instead.
    if (rel < thr && dec < absthr && nr > 0) {
      double best = dec;
      int jbest = j;
      for (int r = 1; r <= nr; ++r) {
        if (!f(r) || kept(r)) continue;
        const int g = gaps_of(seg0 + segment_change(f, r));
        const double rr = rmsd_without(r);
        const double d = (r0 - rr) * (g == g0 ? 1.0 : gap);
        if (d > best) {
          best = d;
          jbest = r;
        }
      }
      j = jbest;
      dec = best;
      rel = best / r0;
    }

    if (rel >= thr || dec >= absthr) drop(j);
    if (nres == nres0) break;
  }

  // Close gaps shorter than gapwidth residues, taking the atoms back as asel has them.
  for (int r = 2; r <= nr - 1; ++r) {
    if (f(r) || !f(r - 1)) continue;
    int q = r + 1;
    while (q <= nr && !f(q)) ++q;
    if (q <= nr && q - r < gapwidth) {
      for (int a = first(r); a <= v.ifira(q) - 1; ++a) s(a) = v.asel(a);
      for (int k = r; k < q; ++k) f(k) = true;
    }
  }

  v.asel = s;
}

}  // namespace veldrix

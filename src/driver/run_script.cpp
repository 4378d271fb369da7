// The fixed script of one run: banner, library, coordinates, backbone selection, analysis.
#include "driver/run_script.hpp"

#include <cstdio>

#include "command/message.hpp"
#include "input/readf.hpp"
#include "rmsd_var/structures.hpp"
#include "select/atoms.hpp"
#include "util/text.hpp"

namespace veldrix {

namespace {

// A real written with 2 decimals in a field of 5, left-adjusted; asterisks when it does not fit.
std::string real_word(double x) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%5.2f", x);
  const std::string s(buf);
  return s.size() > 5 ? std::string(5, '*') : std::string(ltrim(s));
}

// An integer written as exactly 2 digits with leading zero; asterisks when it does not fit.
std::string integer_word(int i) {
  if (i < 0 || i > 99) return "**";
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d", i);
  return buf;
}

// Residues with at least one selected atom.
int selected_residues(const VokanData& v) {
  int n = 0;
  for (int r = 1; r <= v.nr; ++r)
    for (int a = v.ifira(r); a < v.ifira(r + 1); ++a)
      if (v.asel(a)) {
        ++n;
        break;
      }
  return n;
}

}  // namespace

std::vector<std::string> overlay_command(const Options& o) {
  return {"overlay",
          "gap=" + real_word(o.gap),
          "decrease=" + real_word(o.decrease),
          "absdecrease=" + real_word(o.absdecrease),
          "gapwidth=" + integer_word(o.gapwidth),
          "buffer=" + integer_word(o.buffer),
          "minimum=" + integer_word(o.minimum),
          "upper_rmsd=" + real_word(o.upper_rmsd)};
}

void run_script(Session& s, const Options& o, const std::string& input) {
  const std::string stars(44, '*');
  putlin(s, 12, stars);
  putlin(s, 12,
         "              VELDRIX (v. " + std::to_string(VELDRIX_VERSION_MAJOR) + "." +
             std::to_string(VELDRIX_VERSION_MINOR) + ")");
  putlin(s, 12, stars);

  // Without a library file the built-in library is read, silently.
  std::vector<std::string> param{"lib", std::string(rtrim(o.library))};
  readf(s, param, !is_blank(o.library));

  {
    PhaseTimer timer(s.profile, Phase::reading);
    param = {"pdb", std::string(rtrim(input)), "unknown=skip", "chains=*"};
    readf(s, param, true);
  }

  const std::string range = o.range.empty() ? "ALL" : ":" + o.range;
  param = {"select", "BACKBONE " + std::string(rtrim(range)) + " / WITHCOORDALL - &DUMMY"};
  atoms(s, param);
  s.rmsd_var.range_residues = selected_residues(s.vokandata);
  putlin(s, 2, " ");

  param = overlay_command(o);
  structures(s, param);
  putlin(s, 2, " ");
}

}  // namespace veldrix

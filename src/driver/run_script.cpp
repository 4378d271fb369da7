// The fixed script of one run: set-up, banner, library, coordinates, backbone selection, analysis.
#include "driver/run_script.hpp"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "command/message.hpp"
#include "command/praxel.hpp"
#include "input/readf.hpp"
#include "molecule/vokandata.hpp"
#include "rmsd_var/state.hpp"
#include "rmsd_var/structures.hpp"
#include "select/atoms.hpp"
#include "util/profile.hpp"
#include "util/text.hpp"

namespace veldrix {

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

std::vector<std::string> overlay_command(const DriverState& st) {
  return {"overlay",
          "gap=" + real_word(st.gap),
          "decrease=" + real_word(st.decrease),
          "absdecrease=" + real_word(st.absdecrease),
          "gapwidth=" + integer_word(st.gapwidth),
          "buffer=" + integer_word(st.buffer),
          "minimum=" + integer_word(st.minimum),
          "upper_rmsd=" + real_word(st.upper_rmsd)};
}

void run_script(const DriverState& st) {
  praxel(" ", 50, ".vok", std::string(200, ' '), std::string(400, ' '));
  nulify();
  inivar();
  const std::string stars(44, '*');
  putlin(12, stars);
  putlin(12, "              VELDRIX (v. 2.0)");
  putlin(12, stars);

  // Without a library file the built-in library is read, silently.
  std::vector<std::string> param{"lib", std::string(rtrim(st.libpath))};
  readf(param, !is_blank(st.libpath));

  {
    PhaseTimer timer(Phase::reading);
    param = {"pdb", std::string(rtrim(st.pdbpath)), "unknown=skip", "chains=*"};
    readf(param, true);
  }

  param = {"select", "BACKBONE " + std::string(rtrim(st.res_range)) + " / WITHCOORDALL - &DUMMY"};
  atoms(param);
  putlin(2, " ");
  for (int r = 1; r <= vokandata.nr; ++r)
    for (int a = vokandata.ifira(r); a < vokandata.ifira(r + 1); ++a)
      if (vokandata.asel(a)) {
        ++rmsd_var.range_residues;
        break;
      }

  param = overlay_command(st);
  structures(param);
  putlin(2, " ");

  stopit(0);
}

}  // namespace veldrix

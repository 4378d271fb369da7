// The fixed script of one run.
#include "driver/run_script.hpp"

#include <string>

#include "command/message.hpp"
#include "command/praxel.hpp"
#include "molecule/vokandata.hpp"

namespace veldrix {

void run_script(const DriverState& st) {
  (void)st;
  praxel(" ", 50, ".vok", std::string(200, ' '), std::string(400, ' '));
  nulify();
  inivar();
  const std::string stars(44, '*');
  putlin(12, stars);
  putlin(12, "              VELDRIX (v. 2.0)");
  putlin(12, stars);
  stopit(0);
}

}  // namespace veldrix

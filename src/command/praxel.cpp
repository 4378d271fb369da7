// Interpreter start-up, data-model defaults, error flag and the day count.
#include "command/praxel.hpp"

#include <cmath>
#include <filesystem>

#include "command/message.hpp"
#include "command/params.hpp"
#include "molecule/vokandata.hpp"
#include "util/text.hpp"

namespace veldrix {

void reset_interpreter() {
  praxeldata = PraxelData{};
  vardata = VarData{};
}

void praxel(std::string_view command, int capacity, std::string_view extension,
            std::string_view libdir, std::string_view startup) {
  PraxelData& px = praxeldata;
  if (px.started) {
    px.command = field(command, 80);
    return;
  }
  px.started = true;
  px.safe = 0;
  px.safdir = field(ltrim(libdir), 200);
  px.erflag = false;
  px.lp.assign(std::size_t(std::max(capacity, 0)), 0);
  vardata.iunit = 10;
  px.iploop = 0;
  px.isub.assign(1, 1);
  vardata.nvar = 0;
  alovar(1, 20);
  vardata.nalias = 0;
  px.iecho = 0;
  px.prompt.clear();
  px.timing = double(1.0e20f);
  px.infos = px.infof = px.infos2 = px.infof2 = 2;
  px.iured = 0;
  px.rdfil.assign(60, std::string());
  px.intrpt = 0;
  putlin(0, " ");
  setcmd(" ");
  vardata.extnsn = field(extension, 32);
  px.startup_file = std::string(rtrim(startup)) + ".vok";
  std::error_code ec;
  px.startup_exists = !is_blank(startup) && std::filesystem::exists(px.startup_file, ec);
  vardata.npid = vardata.irank = 0;
  px.icrank = 0;
}

void inivar() {
  VokanData& v = vokandata;
  v.ipseud = 0;
  v.nr = 0;
  v.nsstr = 0;
  v.wgyr = v.tfasym = 1.0;
  v.corr14 = double(0.1f);
  v.waco = v.tfoffs = 5.0;
  v.nactyp = 1;
  v.level = 0;
  v.modetf = 2;
  v.viocap = 1.0e20;
  v.cut = {0.0, double(0.2f), double(0.2f), double(0.2f), 5.0, 0.5, 5.0, 0.5, 30.0, 0.5, 0.5};
  v.cutloc = 0.2;
  v.iseed = 3771;
  v.nuv = 2;
  v.uplval = {0.0, 2.4, 5.5};
  v.obsdis = 5.0;
  v.iswap = 0;
  v.iexpnd = 1;
  v.tolppm = {0.0, 0.02, 0.02, 0.4, 0.4};
  v.tolpik = {0.0, 0.02, 0.02, 0.4, 0.4};
  v.cutfra = 100.0;
}

void alovar(int n, int extra) {
  const std::size_t size = std::size_t(std::max(n + extra, 0));
  const std::size_t keep = std::size_t(std::max(n, 0));
  vardata.var.resize(std::min(keep, vardata.var.size()));
  vardata.vardef.resize(std::min(keep, vardata.vardef.size()));
  vardata.var.resize(size);
  vardata.vardef.resize(size);
}

bool haverr() { return praxeldata.erflag; }
void seterr() { praxeldata.erflag = true; }

int numday(int year, int month, int day) {
  if (year < 0) ++year;
  const int m3 = month < 3 ? 1 : 0;
  // Single-precision factors and products, as in the classic Julian-day formula.
  long jd = long(std::trunc(365.25f * float(year - m3))) + day +
            long(std::trunc(30.6001f * float(month + 1 + 12 * m3))) + 1720995;
  if ((month + 12 * year) * 31 + day >= 588829) {
    const long a = long(std::trunc(0.01f * float(year - m3)));
    return int(jd - a + long(std::trunc(0.25f * float(a))) - 2440586);
  }
  return int(jd - 2440588);
}

}  // namespace veldrix

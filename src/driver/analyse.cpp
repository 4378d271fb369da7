// The library's entry: one analysis of one ensemble, its printed lines and its results as data.
#include <mutex>

#include "command/message.hpp"
#include "driver/driver.hpp"
#include "driver/run_script.hpp"
#include "input/readf.hpp"
#include "input/source.hpp"
#include "molecule/vokandata.hpp"
#include "rmsd_var/state.hpp"
#include "util/profile.hpp"
#include "veldrix/veldrix.hpp"

namespace veldrix {

namespace {
std::mutex modules_in_use;
}

Result analyse(const std::string& path, const Options& options) {
  const std::lock_guard<std::mutex> lock(modules_in_use);
  reset_modules();
  DriverState st;
  st.pdbpath = path;
  st.libpath = options.library;
  st.res_range = options.range.empty() ? "ALL" : ":" + options.range;
  st.gap = options.gap;
  st.decrease = options.decrease;
  st.absdecrease = options.absdecrease;
  st.upper_rmsd = options.upper_rmsd;
  st.gapwidth = options.gapwidth;
  st.buffer = options.buffer;
  st.minimum = options.minimum;
  int status = 0;
  try {
    run_script(st);
  } catch (const Stop& stop) {
    status = stop.status;
  }
  if (status != 0) throw Error(printdata.fatal, std::move(printdata.lines));
  Result r;
  try {
    r.file_format = sniff_file(path);
  } catch (const InputError&) {
    // The run itself read the file: it can no longer be read, and the format stays the default.
  }
  r.domains = std::move(rmsd_var.domains);
  r.conformers = {readdata.rigid, readdata.flexible};
  r.residues = vokandata.nr;
  r.range_residues = rmsd_var.range_residues;
  r.warnings = std::move(printdata.warnings);
  r.lines = std::move(printdata.lines);
  const auto& s = profile.seconds;
  r.phases = {s[0], s[1], s[2], s[3]};
  return r;
}

FileFormat detect_format(const std::string& path) {
  try {
    return sniff_file(path);
  } catch (const InputError& e) {
    throw Error(e.what(), {});
  }
}

std::string version() { return "2.0.0"; }

}  // namespace veldrix

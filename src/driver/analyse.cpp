// The library's entry: one analysis in its own session, its printed lines and its results as data.
#include "driver/analyse.hpp"

#include "command/message.hpp"
#include "driver/run_script.hpp"
#include "input/source.hpp"
#include "stats/stats.hpp"
#include "veldrix/veldrix.hpp"

namespace veldrix {

namespace {

Result run(const Options& options, const std::string& name, std::optional<std::string_view> content, bool statistics) {
  Session s;
  s.readdata.content = content;
  s.readdata.names = options.names;
  try {
    run_script(s, options, name);
  } catch (const Stop& stop) {
    throw Error(stop.message, std::move(s.printdata.lines));
  }
  Result r;
  r.domains = std::move(s.rmsd_var.domains);
  r.conformers = {s.readdata.rigid, s.readdata.flexible};
  r.file_format = s.readdata.format;
  r.residues = s.vokandata.nr;
  r.range_residues = s.rmsd_var.range_residues;
  r.warnings = std::move(s.printdata.warnings);
  r.lines = std::move(s.printdata.lines);
  const auto& t = s.profile.seconds;
  r.phases = {t[0], t[1], t[2], t[3]};
  if (statistics) add_statistics(s, r);
  return r;
}

}  // namespace

Result analyse(const std::string& path, const Options& options) { return run(options, path, std::nullopt, true); }

Result analyse_lines(const std::string& path, const Options& options) {
  return run(options, path, std::nullopt, false);
}

Result analyse_text(std::string_view text, const Options& options, const std::string& name) {
  return run(options, name, text, true);
}

FileFormat detect_format(const std::string& path) {
  try {
    return sniff_file(path);
  } catch (const InputError& e) {
    throw Error(e.what(), {});
  }
}

std::string version() { return VELDRIX_VERSION; }

}  // namespace veldrix

// Fuzz harness: a structure file through the whole run (sequence, models, backbone selection, range analysis).
//
// The input is the file, handed to the read command as bytes in memory (plain or gzip,
// PDB or mmCIF, as a file would be). A first line of the form "VELDRIX <flags>" is handed
// to the flag reader as well (the coordinate reader ignores such a line), so that the
// analysis is also exercised with other ranges and tuning values. An input of odd length
// is read with today's residue and atom names mapped to the library's (Names::modern),
// one of even length with its names as they are: a final empty line switches.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver/driver.hpp"
#include "driver/run_script.hpp"
#include "fuzz_support.hpp"
#include "rmsd_var/structures.hpp"
#include "select/atoms.hpp"
#include "util/text.hpp"

using namespace veldrix;

namespace {

// Options from a leading "VELDRIX ..." line, or the defaults; nullopt when the flag
// reader stops (it printed a fatal message, the help or the usage text).
std::optional<Options> flags(std::string_view data) {
  constexpr std::string_view head = "VELDRIX ";
  std::vector<std::string> args;
  if (starts_with(data, head)) {
    const std::string_view line = data.substr(0, data.find('\n'));
    std::size_t i = head.size();
    while (i < line.size() && args.size() < 32) {
      const std::size_t end = std::min(line.find(' ', i), line.size());
      if (end > i) args.emplace_back(line.substr(i, end - i));
      i = end + 1;
    }
  }
  args.push_back("input.pdb");
  CommandState s;
  Options o;
  const std::optional<Stop> stop = fuzz::run([&] { read_arguments(s, args, std::nullopt, o); });
  fuzz::show(s, stop);
  if (stop) return std::nullopt;
  // The library was read before: a library flag names no file of this run.
  o.library.clear();
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size > fuzz::max_input) return 0;
  const std::string_view data(reinterpret_cast<const char*>(bytes), size);
  const Session& library = fuzz::library_session();
  const std::optional<Options> o = flags(data);
  if (!o) return 0;

  Session s = library;
  s.readdata.content = data;
  s.readdata.names = size % 2 == 1 ? Names::modern : Names::library;
  // The run script after its library step.
  const std::optional<Stop> stop = fuzz::run([&] {
    std::vector<std::string> param{"pdb", "input.pdb", "unknown=skip", "chains=*"};
    readf(s, param, true);
    const std::string range = o->range.empty() ? "ALL" : ":" + o->range;
    param = {"select", "BACKBONE " + std::string(rtrim(range)) + " / WITHCOORDALL - &DUMMY"};
    atoms(s, param);
    param = overlay_command(*o);
    structures(s, param);
  });
  fuzz::show(s, stop);
  fuzz::check_output(s, stop);
  return 0;
}

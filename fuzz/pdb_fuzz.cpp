// Fuzz harness: a PDB file through the whole run (sequence, models, backbone selection, range analysis).
//
// The input is the file. A first line of the form "VELDRIX <flags>" is handed to
// the flag reader as well (the coordinate reader ignores such a line), so that
// the analysis is also exercised with other ranges and tuning values.
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

// The data model right after the built-in library was read, taken once.
const VokanData& library_state() {
  static const VokanData state = [] {
    fuzz::reset_everything();
    fuzz::start_interpreter();
    std::vector<std::string> words{"lib", ""};
    if (!fuzz::run([&] { readf(words, false); })) std::abort();
    return vokandata;
  }();
  return state;
}

// Flags from a leading "VELDRIX ..." line, or the defaults.
std::optional<DriverState> flags(std::string_view data) {
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
  DriverState st;
  if (!fuzz::run([&] { st = read_arguments(args, std::nullopt); })) return std::nullopt;
  st.libpath.clear();
  return st;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static const fuzz::ScratchDir dir;
  if (size > fuzz::max_input) return 0;
  const std::string_view data(reinterpret_cast<const char*>(bytes), size);
  const VokanData& library = library_state();

  fuzz::reset_everything();
  const std::optional<DriverState> st = flags(data);
  if (!st) return 0;
  fuzz::start_interpreter();
  vokandata = library;
  const std::string path = dir.write("input.pdb", data);

  const fuzz::RunOutput output;
  const bool completed = fuzz::run([&] {
    std::vector<std::string> param{"pdb", path, "unknown=skip", "chains=*"};
    readf(param, true);
    param = {"select", "BACKBONE " + std::string(rtrim(st->res_range)) + " / WITHCOORDALL - &DUMMY"};
    atoms(param);
    param = overlay_command(*st);
    structures(param);
  });
  output.check(!completed);
  return 0;
}

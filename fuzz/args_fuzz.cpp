// Fuzz harness: the command-line flags (split at newlines and NUL bytes), then the
// command lines the run composes from them, parsed by their handlers on an empty molecule.
//
// A first piece of the form "ENV=<value>" stands for the library environment variable.
// The structures command line must carry the tuning values of the flags.
#include <cmath>
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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size > 4096) return 0;
  const std::string_view data(reinterpret_cast<const char*>(bytes), size);
  std::vector<std::string> args = fuzz::split_lines(data, 64);
  std::optional<std::string> env;
  if (!args.empty() && starts_with(args[0], "ENV=")) {
    env = args[0].substr(4);
    args.erase(args.begin());
  }

  Options o;
  {
    CommandState s;
    const std::optional<Stop> stop = fuzz::run([&] { read_arguments(s, args, env, o); });
    fuzz::show(s, stop);
    if (stop) return 0;
  }

  // The command lines of the run, on an empty molecule: they must parse or stop with a message.
  Session s;
  const std::string range = o.range.empty() ? "ALL" : ":" + o.range;
  std::optional<Stop> stop = fuzz::run([&] {
    std::vector<std::string> param{"select", "BACKBONE " + std::string(rtrim(range)) + " / WITHCOORDALL - &DUMMY"};
    atoms(s, param);
  });
  fuzz::show(s, stop);
  s.printdata.lines.clear();
  const std::vector<std::string> command = overlay_command(o);
  std::optional<Options> parsed;
  stop = fuzz::run([&] {
    std::vector<std::string> param = command;
    FArray<bool> keep;
    parsed = read_structures_command(s, param, keep);
  });
  fuzz::show(s, stop);
  // What the command line carries is what the flags said, to its two decimals; a value too
  // wide for its field is written as asterisks and is not compared.
  if (parsed) {
    const auto written = [&](std::string_view name) {
      for (const std::string& word : command)
        if (starts_with(word, std::string(name) + "=")) return word.find('*') == std::string::npos;
      return false;
    };
    const auto real_kept = [&](std::string_view name, double flag, double value) {
      if (written(name) && std::isfinite(flag) && !(std::abs(flag - value) <= 0.005 + 1e-9 * std::abs(flag)))
        __builtin_trap();
    };
    const auto int_kept = [&](std::string_view name, int flag, int value) {
      if (written(name) && flag != value) __builtin_trap();
    };
    real_kept("gap", o.gap, parsed->gap);
    real_kept("decrease", o.decrease, parsed->decrease);
    real_kept("absdecrease", o.absdecrease, parsed->absdecrease);
    real_kept("upper_rmsd", o.upper_rmsd, parsed->upper_rmsd);
    int_kept("gapwidth", o.gapwidth, parsed->gapwidth);
    int_kept("buffer", o.buffer, parsed->buffer);
    int_kept("minimum", o.minimum, parsed->minimum);
  }
  return 0;
}

// Fuzz harness: the command-line flags (split at newlines and NUL bytes), then the
// command lines the run composes from them, parsed by their handlers on an empty molecule.
//
// A first piece of the form "ENV=<value>" stands for the library environment variable.
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

  fuzz::reset_everything();
  DriverState st;
  if (!fuzz::run([&] { st = read_arguments(args, env); })) return 0;

  // The command lines of the run, on an empty molecule: they must parse or stop with a message.
  fuzz::start_interpreter();
  fuzz::run([&] {
    std::vector<std::string> param{"select", "BACKBONE " + std::string(rtrim(st.res_range)) + " / WITHCOORDALL - &DUMMY"};
    atoms(param);
  });
  fuzz::run([&] {
    std::vector<std::string> param = overlay_command(st);
    read_structures_command(param);
  });
  return 0;
}

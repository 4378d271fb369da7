// Fuzz harness: arbitrary bytes through the loading of a structure file (gzip, mmCIF or PDB by content).
//
// A load either gives PDB text or ends with InputError; anything else (a sanitizer
// report, another exception, runaway memory) is a finding. The decompressed size
// is limited far below the real limit, so that a small bomb is caught quickly.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "input/source.hpp"

using namespace veldrix;

namespace {

constexpr std::size_t max_input = 64 * 1024;
constexpr std::size_t fuzz_limit = std::size_t(16) << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > max_input) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    const LoadedInput loaded = load_structure_bytes(bytes, "fuzz.gz", fuzz_limit);
    // Plain PDB passes through untouched; nothing comes out beyond the limit.
    if (!loaded.format.compressed && loaded.format.format == Format::pdb && loaded.pdb_text != bytes) __builtin_trap();
    if (loaded.format.compressed != is_gzip(bytes)) __builtin_trap();
    if (loaded.format.format == Format::pdb && loaded.pdb_text.size() > fuzz_limit) __builtin_trap();
  } catch (const InputError&) {
  }
  return 0;
}

// The built-in residue library: the generated table (tools/gen_builtin_lib.cpp) and its lines.
#include "molecule/lib_in_code.hpp"

#include <iterator>

namespace veldrix {
namespace {

constexpr std::string_view kTable[] = {
#include "molecule/lib_in_code_table.inc"
};
static_assert(std::size(kTable) == internal_libfile_lines, "the built-in library has a fixed line count");

}  // namespace

std::string_view internal_libfile(int i) {
  if (i < 1 || i > internal_libfile_lines) return {};
  return kTable[i - 1];
}

}  // namespace veldrix

// Fuzz harness: the mmCIF conversion's grammar (gemmi's, with a shortcut for simple
// loop values) against gemmi's own syntax check on arbitrary text.
//
// Where gemmi finds a syntax error the conversion must fail too; where gemmi finds
// none, the conversion must not report one (beyond loops whose values do not fill
// their rows, which gemmi checks only when it builds a document).
// Built as C++17: gemmi 0.5.7's CIF document header does not compile with clang 14 in C++20.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <gemmi/cif.hpp>

#include "input/mmcif.hpp"
#include "input/source.hpp"

using namespace veldrix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 64 * 1024) return 0;
  const std::string_view cif(reinterpret_cast<const char*>(data), size);
  tao::pegtl::memory_input<> in(cif.data(), cif.size(), "fuzz");
  std::string gemmi_message;
  const bool gemmi_ok = gemmi::cif::check_syntax(in, &gemmi_message);
  bool converted = true;
  std::string message;
  try {
    mmcif_to_pdb(cif);
  } catch (const InputError& e) {
    converted = false;
    message = e.what();
  }
  const bool syntax_error = message.rfind("mmCIF syntax error", 0) == 0;
  if (!gemmi_ok && converted) __builtin_trap();
  if (gemmi_ok && syntax_error && message.find("wrong number of values in the loop") == std::string::npos)
    __builtin_trap();
  return 0;
}

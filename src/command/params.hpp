// Command parameter parsing: templates, matching by name and position, conversion, fetching.
//
// A handler describes its parameters in one template line, e.g.
//   "structure=0<@i=1 chains=*=* rigid flexible bfactor append new"
// and hands it with the command's words to params. The results stay in
// paramdata until the next params call; the handler fetches them by name.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "util/farray.hpp"

namespace veldrix {

constexpr int param_capacity = 50;  // entries a template normally has room for (grows when needed)
constexpr std::size_t value_width = 400;
constexpr std::size_t pname_width = 32;

// Result of the last parameter parse. Entries 1..npar are the named parameters
// in template order, npar+1..nopt the options.
struct ParamData {
  int npar = 0;
  int nopt = 0;
  FArray<std::string> pnam{Dim(param_capacity)};        // names without abbreviation mark
  FArray<std::string> pval{Dim(param_capacity)};        // values as text
  FArray<int, 2> ipar{Dim(2), Dim(param_capacity)};     // integer value / range / keyword position
  FArray<double, 2> rpar{Dim(2), Dim(param_capacity)};  // real value / range
  FArray<bool> havep{Dim(param_capacity)};              // given (or option set)
  FArray<bool> havex{Dim(param_capacity)};              // exclusion group used, by its first entry
};

struct CommandState;

// Matches the words against the template. The words handed back (through "*"
// or "**") are moved to the front of `words`, which is shrunk to their number.
// Every error is a fatal message.
void params(CommandState& s, std::vector<std::string>& words, std::string_view templ);

// Fetching by name (exact, last entry first). Unknown names are fatal.
std::string getpar(CommandState& s, std::string_view name);
int iparam(CommandState& s, std::string_view name);
double rparam(CommandState& s, std::string_view name);
bool havpar(CommandState& s, std::string_view name);
// Only options are searched.
bool option(CommandState& s, std::string_view name);

// Abbreviation search: 1-based index of the entry the word names, 0 when none,
// -1 when ambiguous. minabb (optional, per entry) is the shortest prefix that
// counts; a value above the name's length lets the entry match no word.
int icoman(std::string_view word, std::span<const std::string> list, std::span<const std::size_t> minabb = {});
// Keyword search in "a|b|c" (a trailing "*" admits any other value). Returns the
// 1-based position, 0 when refused; value becomes the full keyword.
int inlist(std::string& value, std::string_view alternatives);
// Range reading: [lo, hi] is the allowed range on entry and the result on
// return. False when the text is unreadable or the range is refused.
bool rangei(std::string_view text, int& lo, int& hi);
// Appends the default extension when the file name has none ("name|" means: no extension).
void appext(std::string& name, std::string_view ext);

}  // namespace veldrix

// Atom selection expressions: getsel/select, the store of named selections, residue-identifier split.
//
// An expression is a sequence of terms joined by the operator words "=", "+",
// "-", "/" and "!". Inside a term, atom words (names with wildcards, "&type",
// BACKBONE, WITHCOORDALL, "~name") unite, residue words (":A1-A40", "5..9,12")
// unite, and the term is the intersection of both parts; a part without words
// does not restrict. Terms combine left to right:
//   "=" replaces the result, "+" adds the term, "-" and "!" remove it,
//   "/" keeps only atoms also in the term.
// "~pattern" is an atom word that takes the atoms whose names do NOT match pattern.
#pragma once

#include <string>
#include <string_view>

#include "util/farray.hpp"

namespace veldrix {

constexpr std::size_t selection_name_width = 20;

struct SelectData {
  bool slinit = true;  // the store of named selections is not set up yet
  int nasl = 0;        // stored atom selections
  int ndsl = 0;        // stored dihedral-angle selections
  FArray<std::string> aslnam, dslnam;  // (nasl), (ndsl) names, 20 characters
  FArray<bool, 2> asl;                 // (na, nasl) one column per stored atom selection
  FArray<bool, 2> dsl;                 // (nd, ndsl)
  int nsel = 0;                        // selected atoms after the last getsel
};
inline SelectData selectdata;
void reset_select();

// Evaluates the command parameter `name` as a selection (mode 1: atoms) into
// selection(1..na), combining it with the current asel when the value starts
// with "+", "-" or "/" (each optionally with "!"). Without the parameter the
// result is asel itself. Sets selectdata.nsel.
void getsel(std::string_view name, int mode, FArray<bool>& selection);

// Evaluates one expression into selection(1..na). error is set when a word is
// longer than the 200 characters an expression word may have.
void select(std::string_view text, FArray<bool>& selection, int mode, bool& error);

// mode 0: empty the store (new molecule); otherwise set it up on first use.
void savsel(int mode);
// Copies the stored atom selection `name`; error stays true when there is none.
void recsel(std::string_view name, FArray<bool>& selection, int mode, bool& error);

// Splits every residue identifier into text prefix, number and text suffix
// (arrays 1..nr); anyprefix tells whether some prefix is not blank.
void msplit(FArray<std::string>& prefixes, FArray<int>& numbers, FArray<std::string>& suffixes, bool& anyprefix);

}  // namespace veldrix

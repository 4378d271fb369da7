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

// The store of named atom selections.
struct SelectData {
  bool slinit = true;          // the store is not set up yet
  int nasl = 0;                // stored atom selections
  FArray<std::string> aslnam;  // (nasl) names, 20 characters
  FArray<bool, 2> asl;         // (na, nasl) one column per stored selection
};

struct SelectState;

// Evaluates the command parameter `name` as a selection (mode 1: atoms) into
// selection(1..na), combining it with the current asel when the value starts
// with "+", "-" or "/" (each optionally with "!"). Without the parameter the
// result is asel itself. Returns the number of atoms selected.
int getsel(SelectState& s, std::string_view name, int mode, FArray<bool>& selection);

// Evaluates one expression into selection(1..na). error is set when a word is
// longer than the 200 characters an expression word may have.
void select(SelectState& s, std::string_view text, FArray<bool>& selection, int mode, bool& error);

// mode 0: empty the store (new molecule); otherwise set it up on first use.
void savsel(SelectState& s, int mode);
// Copies the stored atom selection `name`; error stays true when there is none.
void recsel(SelectState& s, std::string_view name, FArray<bool>& selection, int mode, bool& error);

}  // namespace veldrix

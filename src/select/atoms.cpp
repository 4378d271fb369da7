// The atoms command.
#include "select/atoms.hpp"

#include "command/params.hpp"
#include "select/state.hpp"
#include "util/text.hpp"

namespace veldrix {

void atoms(SelectState& s, std::vector<std::string>& words) {
  params(s, words, atoms_template);
  const std::string action = field(getpar(s, "action"), 20);
  if (action != "select" && action != "count") return;

  params(s, words, atoms_select_template);
  VokanData& v = s.vokandata;
  FArray<bool> mask(Dim(std::max(v.na, 0)));
  getsel(s, "selection", 1, mask);
  if (action == "select") {
    if (!v.asel.allocated() || v.asel.lbound() != 1 || int(v.asel.extent()) != v.na) v.asel.resize_keep(Dim(v.na));
    for (int a = 1; a <= v.na; ++a) v.asel(a) = mask(a);
  }
  // A save name only sets the store of named selections up; nothing is stored under it.
  if (!is_blank(field(getpar(s, "save"), 200))) savsel(s, 1);
}

}  // namespace veldrix

// The atoms command.
#include "select/atoms.hpp"

#include "command/params.hpp"
#include "command/praxel.hpp"
#include "molecule/vokandata.hpp"
#include "select/select.hpp"
#include "util/text.hpp"

namespace veldrix {

void atoms(std::vector<std::string>& words) {
  params(words, atoms_template);
  if (haverr()) return;
  const std::string action = field(getpar("action"), 20);
  setcmd("atoms " + action);
  if (action != "select" && action != "count") return;

  params(words, atoms_select_template);
  if (haverr()) return;
  VokanData& v = vokandata;
  FArray<bool> mask(Dim(std::max(v.na, 0)));
  getsel("selection", 1, mask);
  if (haverr()) return;
  if (action == "select") {
    if (!v.asel.allocated() || v.asel.lbound() != 1 || int(v.asel.extent()) != v.na) v.asel.resize_keep(Dim(v.na));
    for (int a = 1; a <= v.na; ++a) v.asel(a) = mask(a);
  }
  // A save name only sets the store of named selections up; nothing is stored under it.
  if (!is_blank(field(getpar("save"), 200))) savsel(1);
}

}  // namespace veldrix

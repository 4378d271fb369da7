// The structures command.
#include "rmsd_var/structures.hpp"

#include "command/params.hpp"
#include "rmsd_var/ranges.hpp"
#include "select/select.hpp"
#include "util/numbers.hpp"
#include "util/text.hpp"

namespace veldrix {

std::string overlay_template() {
  const Options d;
  return "keep=*= decrease=@r=" + shortest_text(d.decrease) + " absdecrease=@r=" + shortest_text(d.absdecrease) +
         " gap=@r=" + shortest_text(d.gap) + " gapwidth=@i=" + std::to_string(d.gapwidth) +
         " minimum=@i=" + std::to_string(d.minimum) + " buffer=@i=" + std::to_string(d.buffer) +
         " upper_rmsd=@r=" + shortest_text(d.upper_rmsd);
}

std::optional<Options> read_structures_command(Session& s, std::vector<std::string>& words, FArray<bool>& keep) {
  params(s, words,
         "action=insert|mean|list|clear|copy|select|sort|violate|secondary|hbonds|swap|calibrate|overlay|radius|"
         "peakvolumes=list **");
  const std::string action = field(getpar(s, "action"), 20);
  // Of all the actions only overlay is implemented; the others do nothing.
  if (!same(action, "overlay")) return std::nullopt;

  params(s, words, overlay_template());
  const VokanData& v = s.vokandata;
  keep.allocate(Dim(v.nr));
  if (havpar(s, "keep")) {
    FArray<bool> atoms(Dim(v.na));
    getsel(s, "keep", 1, atoms);
    for (int r = 1; r <= v.nr; ++r)
      for (int a = v.ifira(r); a < v.ifira(r + 1) && !keep(r); ++a) keep(r) = atoms(a);
  }
  Options o;
  o.gap = rparam(s, "gap");
  o.decrease = rparam(s, "decrease");
  o.minimum = iparam(s, "minimum");
  o.buffer = iparam(s, "buffer");
  o.gapwidth = iparam(s, "gapwidth");
  o.absdecrease = rparam(s, "absdecrease");
  o.upper_rmsd = rparam(s, "upper_rmsd");
  return o;
}

void structures(Session& s, std::vector<std::string>& words) {
  FArray<bool> keep;
  if (const std::optional<Options> o = read_structures_command(s, words, keep)) find_best_superpos_ranges(s, keep, *o);
}

}  // namespace veldrix

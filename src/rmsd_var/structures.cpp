// The structures command.
#include "rmsd_var/structures.hpp"

#include "command/params.hpp"
#include "command/praxel.hpp"
#include "molecule/vokandata.hpp"
#include "rmsd_var/rmsd_var.hpp"
#include "select/select.hpp"
#include "util/text.hpp"

namespace veldrix {

std::optional<OverlayRequest> read_structures_command(std::vector<std::string>& words) {
  params(words,
         "action=insert|mean|list|clear|copy|select|sort|violate|secondary|hbonds|swap|calibrate|overlay|radius|"
         "peakvolumes=list **");
  if (haverr()) return std::nullopt;
  const std::string action = field(getpar("action"), 20);
  setcmd(field("structures " + action, 31));
  // Of all the actions only overlay is implemented; the others do nothing.
  if (!same(action, "overlay")) return std::nullopt;

  params(words,
         "keep=*= decrease=@r=1.2 absdecrease=@r=1.6 gap=@r=0.4 gapwidth=@i=3 "
         "minimum=@i=8 buffer=@i=3 upper_rmsd=@r=0.1");
  if (haverr()) return std::nullopt;

  const VokanData& v = vokandata;
  OverlayRequest req;
  req.keep.allocate(Dim(v.nr));
  if (havpar("keep")) {
    FArray<bool> atoms(Dim(v.na));
    getsel("keep", 1, atoms);
    if (haverr()) return std::nullopt;
    for (int r = 1; r <= v.nr; ++r)
      for (int a = v.ifira(r); a < v.ifira(r + 1) && !req.keep(r); ++a) req.keep(r) = atoms(a);
  }
  req.gap = rparam("gap");
  req.decrease = rparam("decrease");
  req.minimum = iparam("minimum");
  req.buffer = iparam("buffer");
  req.gapwidth = iparam("gapwidth");
  req.absdecrease = rparam("absdecrease");
  req.upper_rmsd = rparam("upper_rmsd");
  return req;
}

void structures(std::vector<std::string>& words) {
  const std::optional<OverlayRequest> req = read_structures_command(words);
  if (!req) return;
  find_best_superpos_ranges(req->keep, req->gap, req->decrease, req->minimum, req->buffer, req->gapwidth,
                            req->absdecrease, req->upper_rmsd);
}

}  // namespace veldrix

// The sequence of a coordinate file: residues from the ATOM records of its first model.
#include "input/extseq.hpp"

#include <string>
#include <unordered_map>

#include "command/message.hpp"
#include "input/pdbfields.hpp"
#include "molecule/sequence.hpp"
#include "util/text.hpp"

namespace veldrix {

namespace {

constexpr int sequence_increment = 500;  // headroom of the sequence arrays while they grow

bool is_alnum(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

}  // namespace

void extseq(MoleculeState& s, PdbText& in, int format, std::string_view chains, int unknown) {
  VokanData& v = s.vokandata;
  v.nr = 0;
  const std::unordered_map<std::string, int> types = residue_types(v);
  const std::string_view sel = trim(chains);
  const bool first_only = sel == "first";
  char first_chain = ' ';
  int count = 0;
  std::string_view line;
  while (in.next(line)) {
    ++count;
    if (const std::size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
    if (format != 2 && format != 3) fatmsg(s, "Illegal file format.");
    if (starts_with(line, "ENDMDL")) break;
    if (!starts_with(line, "ATOM ")) continue;
    const std::string name = field(columns(line, 18, 21), 4);
    const std::optional<int> number = int_columns(line, 23, 26);
    const char chain = record_chain(line);
    if (!number || !is_alnum(chain)) cannot_read(s, count, line);
    if (first_chain == ' ') first_chain = chain;
    if (first_only) {
      if (chain != first_chain) break;
    } else if (!chain_selected(chain, sel)) {
      continue;
    }
    const std::string id = residue_id(chain, *number);
    if (v.nr > 0 && id == v.rnum(v.nr)) continue;  // a further atom of the last residue
    if (v.nr > 0 && id == v.rnum(1)) break;        // the next model begins
    if (types.find(name) == types.end()) {
      if (unknown == 0) fatmsg(s, "Illegal residue name " + strq(s, name) + ".");
      if (unknown == 1) wrnmsg(s, "Illegal residue name " + strq(s, name) + ".");
      continue;
    }
    ++v.nr;
    salo(v.rnum, v.nr, sequence_increment);
    salo(v.rnam, v.nr, sequence_increment);
    lalo(v.cis, v.nr, sequence_increment);
    v.rnum(v.nr) = id;
    v.rnam(v.nr) = name;
    v.cis(v.nr) = false;
  }
  if (in.bad()) cannot_read(s, count + 1, "");
  salo(v.rnum, v.nr, 0);
  salo(v.rnam, v.nr, 0);
  lalo(v.cis, v.nr, 0);
  build(s);
}

}  // namespace veldrix

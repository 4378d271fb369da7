// The read command: the residue library and the models of a PDB coordinate file.
#include "input/readf.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>

#include "command/message.hpp"
#include "command/params.hpp"
#include "input/extseq.hpp"
#include "input/names.hpp"
#include "input/pdbfields.hpp"
#include "input/source.hpp"
#include "input/state.hpp"
#include "molecule/library.hpp"
#include "molecule/sequence.hpp"
#include "util/text.hpp"

namespace veldrix {

// Every stored model holds all atoms of the molecule, however few records it had.
// A file of model fragments (two records each, say) would thus claim memory far
// beyond its own size; the models may hold at most this many times as many atoms
// as their records gave positions for, beyond a first million atoms.
bool models_fit(int models, int atoms, long long positions) {
  constexpr double max_atoms_per_position = 16.0;
  constexpr double free_atoms = 1.0e6;
  return double(models) * double(atoms) <= max_atoms_per_position * double(positions) + free_atoms;
}

namespace {

constexpr std::string_view first_stage =
    "action=lib|seq|ang|cor|pdb|upl|lol|aco|cco|rdc|pcs|peaks|xpk|prot|bmrb|nmrview|xplor|csa "
    "file=@f.$action ** "
    "unknown=error|warning|skip=error";
constexpr std::string_view first_stage_by_extension = "file=* ** unknown=error|warning|skip=error";
constexpr std::string_view pdb_stage =
    "structure=0<@i=1 chains=*=* rigid flexible bfactor append new "
    "unknown=error|warning|skip=error";

// Only a regular file will do: the file is read twice, and a directory, a pipe or
// a device (which may never end, or never deliver a first byte) cannot be.
void open_input(CommandState& s, std::ifstream& file, const std::string& name) {
  std::error_code ec;
  const bool regular = std::filesystem::is_regular_file(name, ec);
  if (regular) file.open(name, std::ios::in | std::ios::binary);
  if (!regular || !file.is_open()) fatmsg(s, "Input file " + strq(s, name) + " cannot be opened.");
}

// The coordinate file, from disk or from the caller's memory, as PDB text; today's names
// mapped to the library's when asked for.
LoadedInput load_coordinates(InputState& s) {
  ReadData& r = s.readdata;
  LoadedInput in;
  try {
    in = r.content ? load_structure_bytes(*r.content, r.filnam) : load_structure(r.filnam);
  } catch (const InputError& e) {
    fatmsg(s, strp(s, e.what()));
  }
  r.format = in.format;
  if (r.names == Names::modern) {
    const std::string warning = map_modern_names_in_place(in.pdb_text);
    if (!warning.empty()) wrnmsg(s, strp(s, warning));
  }
  return in;
}

// Capacity for structure m while all models of a file are copied in. The arrays
// grow geometrically; `planned` follows the capacity that growing by one
// structure and one spare at a time would give, which is what the read leaves.
void make_room(VokanData& v, int m, int& planned) {
  if (m > planned) planned = m + 1;
  const int cap = v.structure_capacity();
  if (m > cap) alostr(v, std::max(m, 2 * cap), 1);
}

// Room for all models at once, from the size of the second model's text: NMR files repeat one
// model's records, so the text left holds about that many more. Only a size that the fill
// check could still accept is given; growing stays for files that do not keep to the rule.
void presize(VokanData& v, const PdbText& text, std::size_t after_first, long long positions) {
  const std::size_t after_second = text.position();
  if (after_second <= after_first || after_second >= text.size()) return;
  const std::size_t span = after_second - after_first;
  const std::size_t rest = text.size() - after_second;
  const double models = 2.0 + double(rest / span);
  // Every further position needs a record of at least atom_record_width characters and a line end.
  const double more = double(rest) / double(atom_record_width + 1);
  if (models > 1.0e6 || !models_fit(int(models), v.na, positions + (long long)(more))) return;
  if (int(models) + 1 > v.structure_capacity()) alostr(v, int(models) + 1, 0);
}

void check_fill(InputState& s, int models, long long positions) {
  const VokanData& v = s.vokandata;
  if (models_fit(models, v.na, positions)) return;
  const int k = int(std::min<long long>(positions, std::numeric_limits<int>::max()));
  fatmsg(s, s.readdata.typ + strq(s, s.readdata.filnam) + " holds coordinates for too few atoms: " + intp(s, k) +
                " positions in " + plural(s, models, "model") + " of " + plural(s, v.na, "atom") + ".");
}

void read_pdb(InputState& s, PdbText& file, std::vector<std::string>& words, int unknown) {
  VokanData& v = s.vokandata;
  ReadData& r = s.readdata;
  params(s, words, pdb_stage);
  int mode = option(s, "bfactor") ? 2 : 3;
  r.chains = getpar(s, "chains");
  const int kind = option(s, "rigid") ? 2 : option(s, "flexible") ? 1 : 0;
  v.i0styp = kind;

  if (v.nr == 0 || option(s, "new")) {
    extseq(s, file, mode, r.chains, unknown);
    iniseq(s);
    savsel(s, 0);  // the named selections of the previous molecule went with it
    v.nsstr = 0;   // and so did its structures
    file.rewind();
  }

  int nflexible = 0, nrigid = 0;
  if (havpar(s, "structure")) {
    // Models 1..n are read; the last of them stays in the working structure.
    const int n = iparam(s, "structure");
    int state = 0;
    for (int k = 1; k <= n; ++k) {
      if (k > 1 && state == -1) fatmsg(s, r.typ + "does not contain enough structures.");
      v.i0styp = kind;
      getcor(s, file, mode, r.chains, state, unknown);
    }
    (v.i0styp == 1 ? nflexible : nrigid) = 1;
  } else {
    // Structures that came from a file are replaced.
    v.nsstr = std::min(v.nsstr, v.structure_capacity());
    for (int k = 1; k <= v.nsstr; ++k)
      if (v.isstr(k) > 0) {
        v.nsstr = k - 1;
        break;
      }
    const int cap = v.structure_capacity();
    for (int k = 1; k <= cap; ++k) v.istyp(k) = 1;
    int planned = cap;
    int state = 0;
    int m = 0;
    long long positions = 0;
    std::size_t after_first = 0;
    do {
      ++m;
      v.i0styp = kind;
      getcor(s, file, mode, r.chains, state, unknown);
      positions += s.pdbread.stored;
      check_fill(s, m, positions);
      if (m == 1) after_first = file.position();
      if (m == 2 && state != -1 && v.nsstr == 1) presize(v, file, after_first, positions);
      make_room(v, std::max(m, v.nsstr + 1), planned);
      copstr(v, 0, m);
      r.frames.resize(std::size_t(m));
      r.frames.back() = s.pdbread.frame;
      ++v.nsstr;
      v.isstr(v.nsstr) = m;
      (v.i0styp == 1 ? nflexible : nrigid) += 1;
    } while (state != -1);
    if (v.structure_capacity() != planned) alostr(v, planned, 0);
    copstr(v, 1, 0);
  }

  r.rigid = nrigid;
  r.flexible = nflexible;
  const std::string head = r.typ + strq(s, r.filnam) + " read, ";
  if (nflexible == 0)
    putlin(s, 2, head + plural(s, nrigid, "rigid conformer") + ".");
  else if (nrigid == 0)
    putlin(s, 2, head + plural(s, nflexible, "flexible conformer") + ".");
  else
    putlin(s, 2, head + intp(s, nflexible) + " flexible and " + plural(s, nrigid, "rigid conformer") + ".");
}

}  // namespace

void readf(InputState& s, std::vector<std::string>& words, bool check) {
  VokanData& v = s.vokandata;
  ReadData& r = s.readdata;
  if (words.empty()) fatmsg(s, "Missing parameter \"file\".");

  // A first word with an extension is a file whose extension names the action.
  const std::string first(rtrim(words[0]));
  const std::size_t slash = first.rfind('/');
  const std::size_t dot = first.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
    r.action = first.substr(dot + 1);
    params(s, words, first_stage_by_extension);
  } else {
    params(s, words, first_stage);
    r.action = getpar(s, "action");
  }
  r.filnam = getpar(s, "file");
  const int unknown = iparam(s, "unknown") - 1;
  if (v.nr > 0) iresid(s, " ", "/", 3);

  // The file is opened first: a missing file is reported before anything else.
  std::ifstream file;
  if (check && r.action != "pdb") open_input(s, file, r.filnam);
  if (r.action == "lib") {
    params(s, words, "append");
    if (!option(s, "append")) v.naa = v.nattyp = v.maxdih = v.maxat = 0;
    const int before = v.naa;
    if (!check && !v.attyp.allocated() && !v.aanam.allocated()) {
      load_builtin_library(s);  // checked when it was first read
      v.nr = 0;
    } else {
      getlib(s, check ? &file : nullptr);
      v.nr = 0;
      libchk(s);
    }
    if (check)
      putlin(s, 2, "Library file " + strq(s, r.filnam) + " read, " + plural(s, v.naa - before, "residue type") + ".");
  } else if (r.action == "pdb") {
    // Coordinates always come from a file (plain or gzip, PDB or mmCIF), or from the bytes the caller holds.
    LoadedInput in = load_coordinates(s);
    PdbText text(in.pdb_text, in.read_error);
    read_pdb(s, text, words, unknown);
  } else {
    fatmsg(s, "Unknown file type " + strq(s, r.action) + ".");
  }
}

}  // namespace veldrix

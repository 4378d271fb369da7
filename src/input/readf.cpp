// The read command: the residue library and the models of a PDB coordinate file.
#include "input/readf.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>

#include "command/message.hpp"
#include "command/params.hpp"
#include "command/praxel.hpp"
#include "input/getcor.hpp"
#include "molecule/library.hpp"
#include "molecule/sequence.hpp"
#include "molecule/vokandata.hpp"
#include "util/text.hpp"

namespace veldrix {

void reset_readdata() { readdata = ReadData{}; }

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
void open_input(std::ifstream& file, const std::string& name) {
  std::error_code ec;
  const bool regular = std::filesystem::is_regular_file(name, ec);
  if (regular) file.open(name, std::ios::in | std::ios::binary);
  if (!regular || !file.is_open()) fatmsg("Input file " + strq(name) + " cannot be opened.");
}

void rewind(std::ifstream& file) {
  file.clear();
  file.seekg(0);
  if (file.fail()) fatmsg("Input file " + strq(readdata.filnam) + " cannot be read a second time.");
}

// Capacity for structure m while all models of a file are copied in. The arrays
// grow geometrically; `planned` follows the capacity that growing by one
// structure and one spare at a time would give, which is what the read leaves.
void make_room(int m, int& planned) {
  if (m > planned) planned = m + 1;
  const int cap = vokandata.structure_capacity();
  if (m > cap) alostr(std::max(m, 2 * cap), 1);
}

void check_fill(int models, long long positions) {
  const VokanData& v = vokandata;
  if (models_fit(models, v.na, positions)) return;
  const int k = int(std::min<long long>(positions, std::numeric_limits<int>::max()));
  fatmsg(readdata.typ + strq(readdata.filnam) + " holds coordinates for too few atoms: " + intp(k) +
         " positions in " + plural(models, "model") + " of " + plural(v.na, "atom") + ".");
}

void read_pdb(std::ifstream& file, std::vector<std::string>& words, int unknown) {
  VokanData& v = vokandata;
  ReadData& r = readdata;
  params(words, pdb_stage);
  if (haverr()) return;
  int mode = option("bfactor") ? 2 : 3;
  r.chains = getpar("chains");
  const int kind = option("rigid") ? 2 : option("flexible") ? 1 : 0;
  v.i0styp = kind;

  if (v.nr == 0 || option("new")) {
    extseq(file, mode, r.chains, unknown);
    if (haverr()) return;
    iniseq();
    if (haverr()) return;
    v.nsstr = 0;  // the structures of the previous molecule went with it
    rewind(file);
  }

  int nflexible = 0, nrigid = 0;
  if (havpar("structure")) {
    // Models 1..s are read; the last of them stays in the working structure.
    const int s = iparam("structure");
    int state = 0;
    for (int k = 1; k <= s; ++k) {
      if (k > 1 && state == -1) fatmsg(r.typ + "does not contain enough structures.");
      v.i0styp = kind;
      getcor(file, mode, r.chains, state, unknown);
      if (haverr()) return;
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
    for (int k = 1; k <= cap; ++k) {
      v.target(k) = -1.0;
      v.istyp(k) = 1;
    }
    int planned = cap;
    int state = 0;
    int m = 0;
    long long positions = 0;
    do {
      ++m;
      v.i0styp = kind;
      getcor(file, mode, r.chains, state, unknown);
      if (haverr()) return;
      positions += pdbread.stored;
      check_fill(m, positions);
      make_room(std::max(m, v.nsstr + 1), planned);
      copstr(0, m);
      ++v.nsstr;
      v.isstr(v.nsstr) = m;
      (v.i0styp == 1 ? nflexible : nrigid) += 1;
    } while (state != -1);
    if (v.structure_capacity() != planned) alostr(planned, 0);
    copstr(1, 0);
  }

  r.rigid = nrigid;
  r.flexible = nflexible;
  const std::string head = r.typ + strq(r.filnam) + " read, ";
  if (nflexible == 0) putlin(2, head + plural(nrigid, "rigid conformer") + ".");
  else if (nrigid == 0) putlin(2, head + plural(nflexible, "flexible conformer") + ".");
  else putlin(2, head + intp(nflexible) + " flexible and " + plural(nrigid, "rigid conformer") + ".");
}

}  // namespace

void readf(std::vector<std::string>& words, bool check) {
  VokanData& v = vokandata;
  ReadData& r = readdata;
  if (words.empty()) fatmsg("Missing parameter \"file\".");

  // A first word with an extension is a file whose extension names the action.
  const std::string first(rtrim(words[0]));
  const std::size_t slash = first.rfind('/');
  const std::size_t dot = first.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
    r.action = first.substr(dot + 1);
    params(words, first_stage_by_extension);
  } else {
    params(words, first_stage);
    if (haverr()) return;
    r.action = getpar("action");
  }
  if (haverr()) return;
  setcmd("read " + r.action);
  r.filnam = getpar("file");
  const int unknown = iparam("unknown") - 1;
  if (v.nr > 0) iresid(" ", "/", 3);

  std::ifstream file;
  if (check) open_input(file, r.filnam);
  if (r.action == "lib") {
    params(words, "append");
    if (haverr()) return;
    if (!option("append")) v.naa = v.nattyp = v.maxdih = v.maxat = 0;
    const int before = v.naa;
    getlib(check ? &file : nullptr);
    if (haverr()) return;
    v.nr = 0;
    libchk();
    if (check) putlin(2, "Library file " + strq(r.filnam) + " read, " + plural(v.naa - before, "residue type") + ".");
  } else if (r.action == "pdb") {
    // Coordinates always come from a file, also when the caller did not ask for the check.
    if (!check) open_input(file, r.filnam);
    read_pdb(file, words, unknown);
  } else {
    fatmsg("Unknown file type " + strq(r.action) + ".");
  }
}

}  // namespace veldrix

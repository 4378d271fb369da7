// PDB coordinate reader: one model at a time into the working structure, flexible or rigid.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "veldrix/veldrix.hpp"

namespace veldrix {

// State of the reader between calls, for the file being read.
struct PdbReadData {
  std::string_view line;   // current line (in the text read); the line that ended a model is the first of the next
  char ch1 = ' ';          // chain of the model's first ATOM record (for chains "first")
  std::string rnp;         // identifier of the last residue reported by iresid
  std::string rp = "/";    // and its name as given in the record
  std::string a1, a2;      // alternative atom names tried by iatom
  int lineno = 0;          // lines read from the file so far
  bool extra = false;      // a REMARK announced extra coordinate digits
  bool atom_seen = false;  // an ATOM record of the file has been met
  int stored = 0;          // atoms the records of the last model gave coordinates
  // The motion of the last model as kept onto the model as read: the identity for a rigid
  // model; for a flexible one, the best fit of the coordinates its angles give onto the file's.
  Transform frame;

  // Identifier -> first residue with it, for the molecule it was made for.
  std::unordered_map<std::string, int> index;
  bool index_valid = false;
  std::vector<char> seen;                // residue already met in this model
  std::vector<double> saved;             // coordinates as read, while a model is judged
  std::vector<double> as_read, rebuilt;  // the atoms compared for that judgement

  // The residue the last record named: its chain, number and residue name as in the
  // record, and iresid's answer. A record naming the same gets the same answer.
  bool last_valid = false;
  char last_chain = 0;
  int last_number = 0;
  std::string last_name;
  int last_residue = 0;
  // Atom names of the molecule packed into 8 bytes (7 characters and the length), for the
  // search of a record's atom among its residue's; `unpacked` for a longer name.
  std::vector<std::uint64_t> names;
  static constexpr std::uint64_t unpacked = ~std::uint64_t(0);
};

class PdbText;

struct InputState;

// Reads the next model from `in` into the working structure (structure 0).
// mode: 3 decodes extra coordinate digits when the file announces them (and
// becomes 2 at the first ATOM record of a file that does not), 2 never does.
// chains: "*" or "all", "first", or a pattern for the chain identifier.
// state: 0 on the first call for a file; on return the line number where the
// next model starts, or -1 when the file has ended. unknown: 0 error, 1 warning, 2 skip.
void getcor(InputState& s, PdbText& in, int& mode, std::string_view chains, int& state, int unknown);

// Residue with identifier id (chain character + number), or 0. Identifiers of
// chain A also match residues written without a chain character. unknown = 3
// only resets the memory of the last residue reported.
int iresid(InputState& s, std::string_view id, std::string_view name, int unknown);

// Atom of residue `residue` named `name`, trying "Q"/"QQ" for "H" names and "H"
// for "Q"/"QQ" names; 0 when there is none.
int iatom(InputState& s, std::string_view name, int residue, int unknown);

}  // namespace veldrix

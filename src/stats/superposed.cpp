// Superposed copies of a structure file: every atom of every model moved onto a domain's mean, written with gemmi.
#define GEMMI_WRITE_IMPLEMENTATION  // gemmi's writers are compiled here, and only here
#define USE_STD_SNPRINTF            // Debian's gemmi comes without its bundled stb_sprintf
// With std::snprintf the writer's fixed PDB fields draw truncation warnings; the fields are sized by design.
#pragma GCC diagnostic push
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wformat-truncation"
#endif
#include <gemmi/cif.hpp>
#include <gemmi/mmcif.hpp>
#include <gemmi/pdb.hpp>
#include <gemmi/to_cif.hpp>
#include <gemmi/to_mmcif.hpp>
#include <gemmi/to_pdb.hpp>
#pragma GCC diagnostic pop

#include <fstream>
#include <iterator>
#include <sstream>
#include <unordered_map>

#include "input/pdbfields.hpp"
#include "input/source.hpp"
#include "veldrix/veldrix.hpp"

namespace veldrix {

namespace {

std::string quoted(const std::string& path) { return "\"" + path + "\""; }

// The position moved by t. (This source is also built as C++17, where the motion helpers' spans are not.)
gemmi::Position moved(const Transform& t, const gemmi::Position& p) {
  const auto& r = t.rotation;
  const auto& d = t.translation;
  return gemmi::Position(r[0] * p.x + r[1] * p.y + r[2] * p.z + d[0], r[3] * p.x + r[4] * p.y + r[5] * p.z + d[1],
                         r[6] * p.x + r[7] * p.y + r[8] * p.z + d[2]);
}

// The file's text, decompressed when it is gzip, within the size limit of the reader.
std::string file_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Error("Input file " + quoted(path) + " cannot be opened.", {});
  std::string bytes;
  char buf[1 << 16];
  while (in.read(buf, sizeof buf) || in.gcount() > 0) {
    bytes.append(buf, std::size_t(in.gcount()));
    if (bytes.size() > max_structure_bytes) throw Error("Input file " + quoted(path) + " is too large.", {});
  }
  if (in.bad()) throw Error("Input file " + quoted(path) + " cannot be read.", {});
  try {
    return is_gzip(bytes) ? gunzip(bytes, path) : bytes;
  } catch (const InputError& e) {
    throw Error(e.what(), {});
  }
}

gemmi::Structure read_structure(std::string& text, const std::string& path, bool mmcif) {
  try {
    if (mmcif) return gemmi::make_structure(gemmi::cif::read_memory(text.data(), text.size(), path.c_str()));
    try {
      return gemmi::read_pdb_from_memory(text.data(), text.size(), path);
    } catch (const std::runtime_error&) {
      // Old entries keep their code and a line number past column 72, where gemmi reads charges.
      gemmi::PdbReadOptions old;
      old.max_line_length = 72;
      return gemmi::read_pdb_from_memory(text.data(), text.size(), path, old);
    }
  } catch (const std::exception& e) {
    throw Error("Input file " + quoted(path) + " cannot be read for the superposition: " + e.what(), {});
  }
}

}  // namespace

void write_superposed(const std::string& input, const Result& result, std::size_t domain, const std::string& output) {
  if (domain >= result.domains.size()) throw Error("There is no domain " + std::to_string(domain + 1) + ".", {});
  const std::vector<Transform>& moves = result.domains[domain].superposition;
  std::string text = file_text(input);
  const bool mmcif = is_mmcif_text(text);
  gemmi::Structure st = read_structure(text, input, mmcif);
  text = std::string();
  if (st.models.size() != moves.size())
    throw Error("The " + std::to_string(st.models.size()) + " models of " + quoted(input) + " do not match its " +
                    std::to_string(moves.size()) + " conformers.",
                {});

  std::unordered_map<std::string, double> rmsf;
  for (const ResidueProfile& p : result.per_residue) rmsf.emplace(p.id, p.rmsf.value_or(0.0));
  for (std::size_t k = 0; k < moves.size(); ++k)
    for (gemmi::Chain& chain : st.models[k].chains)
      for (gemmi::Residue& residue : chain.residues) {
        // Identifiers as the reader makes them: a blank chain is chain A.
        const char letter = chain.name.empty() || chain.name[0] == ' ' ? 'A' : chain.name[0];
        const auto it = rmsf.find(residue_id(letter, residue.seqid.num.value));
        for (gemmi::Atom& atom : residue.atoms) {
          atom.pos = moved(moves[k], atom.pos);
          atom.b_iso = float(it == rmsf.end() ? 0.0 : it->second);
        }
      }

  std::ostringstream out;
  try {
    if (mmcif)
      gemmi::cif::write_cif_to_stream(out, gemmi::make_mmcif_document(st));
    else
      gemmi::write_pdb(st, out);
  } catch (const std::exception& e) {
    throw Error("The superposed structure cannot be written: " + std::string(e.what()), {});
  }
  std::ofstream file(output, std::ios::binary | std::ios::trunc);
  const std::string written = out.str();
  if (!file || !file.write(written.data(), std::streamsize(written.size())) || !file.flush())
    throw Error("Output file " + quoted(output) + " cannot be written.", {});
}

}  // namespace veldrix

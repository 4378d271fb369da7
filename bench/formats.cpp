// Times reading an ensemble as PDB and as mmCIF: gemmi's readers, and veldrix's loading and conversion.
//
//   bench_formats [file.pdb.gz ...]   (default: the big synthetic ensembles and 1aq5)
//
// Each input is given to gemmi's converter for its mmCIF form (gemmi's compact layout);
// a second mmCIF form in the wwPDB layout (all label and author items, esd columns) is
// written here. Every figure is the best of three runs. The PDB reading cost is the
// read phase of veldrix's own analysis of the plain PDB file.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <gemmi/mmread.hpp>

#include "input/mmcif.hpp"
#include "input/source.hpp"
#include "veldrix/veldrix.hpp"

namespace {

double best_of_3(const std::function<void()>& f) {
  double best = 1e30;
  for (int k = 0; k < 3; ++k) {
    const auto start = std::chrono::steady_clock::now();
    f();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_file(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// The structure in the wwPDB layout of _atom_site, as the archive's files have it.
std::string wwpdb_layout(const gemmi::Structure& st) {
  std::string cif = "data_BENCH\n#\nloop_\n";
  for (const char* item : {"group_PDB",
                           "id",
                           "type_symbol",
                           "label_atom_id",
                           "label_alt_id",
                           "label_comp_id",
                           "label_asym_id",
                           "label_entity_id",
                           "label_seq_id",
                           "pdbx_PDB_ins_code",
                           "Cartn_x",
                           "Cartn_y",
                           "Cartn_z",
                           "occupancy",
                           "B_iso_or_equiv",
                           "Cartn_x_esd",
                           "Cartn_y_esd",
                           "Cartn_z_esd",
                           "occupancy_esd",
                           "B_iso_or_equiv_esd",
                           "pdbx_formal_charge",
                           "auth_seq_id",
                           "auth_comp_id",
                           "auth_asym_id",
                           "auth_atom_id",
                           "pdbx_PDB_model_num"})
    cif += std::string("_atom_site.") + item + " \n";
  char row[256];
  int serial = 0;
  for (const gemmi::Model& model : st.models)
    for (const gemmi::Chain& chain : model.chains)
      for (const gemmi::Residue& res : chain.residues)
        for (const gemmi::Atom& a : res.atoms) {
          const std::string name = a.name.find('\'') != std::string::npos ? "\"" + a.name + "\"" : a.name;
          std::snprintf(row, sizeof row,
                        "%-6s %-5d %-2s %-4s . %-3s %s 1 %-3d ? %-7.3f %-7.3f %-7.3f 1.00 %-5.2f ? ? ? ? ? ? %-3d "
                        "%-3s %s %-4s %s \n",
                        res.het_flag == 'H' ? "HETATM" : "ATOM", ++serial, a.element.uname(), name.c_str(),
                        res.name.c_str(), chain.name.c_str(), res.seqid.num.value, a.pos.x, a.pos.y, a.pos.z, a.b_iso,
                        res.seqid.num.value, res.name.c_str(), chain.name.c_str(), name.c_str(), model.name.c_str());
          cif += row;
        }
  return cif + "#\n";
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> inputs(argv + 1, argv + argc);
  if (inputs.empty()) {
    const std::string synthetic = std::getenv("VELDRIX_SYNTHETIC") != nullptr
                                      ? std::getenv("VELDRIX_SYNTHETIC")
                                      : std::string(VELDRIX_SOURCE_DIR) + "/../shared/data/synthetic";
    for (const char* name : {"big_300res_20models", "big_300res_50models", "big_600res_20models"})
      inputs.push_back(synthetic + "/" + name + ".pdb.gz");
    inputs.push_back(std::string(VELDRIX_SOURCE_DIR) + "/tests/data/1aq5.pdb.gz");
  }
  const std::filesystem::path work =
      std::filesystem::temp_directory_path() / ("veldrix-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(work);

  std::printf("%-20s %-10s %8s %9s %8s  %s\n", "input", "form", "MB", "seconds", "MB/s", "what");
  for (const std::string& gz_path : inputs) {
    if (!std::filesystem::exists(gz_path)) {
      std::printf("%s: not found, skipped\n", gz_path.c_str());
      continue;
    }
    std::string id = std::filesystem::path(gz_path).filename().string();
    id = id.substr(0, id.find('.'));
    const std::string gz = read_file(gz_path);
    const std::string pdb = veldrix::load_structure_bytes(gz, gz_path).pdb_text;
    const std::string pdb_path = (work / (id + ".pdb")).string();
    const std::string compact_path = (work / (id + ".cif")).string();
    write_file(pdb_path, pdb);
    const std::string convert = "gemmi convert " + pdb_path + " " + compact_path;
    if (std::system(convert.c_str()) != 0) {
      std::printf("%s: gemmi convert failed, skipped\n", id.c_str());
      continue;
    }
    const std::string compact = read_file(compact_path);
    std::vector<char> buffer(pdb.begin(), pdb.end());
    const gemmi::Structure st = gemmi::read_structure_from_char_array(buffer.data(), buffer.size(), "x.pdb");
    const std::string wwpdb = wwpdb_layout(st);

    auto row = [&](const char* form, double mb, double seconds, const char* what) {
      std::printf("%-20s %-10s %8.1f %9.4f %8.1f  %s\n", id.c_str(), form, mb, seconds, mb / seconds, what);
    };
    auto gemmi_read = [](const std::string& text, const char* name) {
      std::vector<char> b(text.begin(), text.end());
      const gemmi::Structure s = gemmi::read_structure_from_char_array(b.data(), b.size(), name);
      if (s.models.empty()) std::abort();
    };
    const double mb_pdb = double(pdb.size()) / 1e6, mb_compact = double(compact.size()) / 1e6,
                 mb_wwpdb = double(wwpdb.size()) / 1e6;

    double read_phase = 1e30;
    for (int k = 0; k < 3; ++k) read_phase = std::min(read_phase, veldrix::analyse(pdb_path).phases.reading);
    row("pdb", mb_pdb, read_phase, "veldrix read phase of the plain PDB file (the reference)");
    row("pdb", mb_pdb, best_of_3([&] { gemmi_read(pdb, "x.pdb"); }), "gemmi read_structure");
    row("pdb", mb_pdb, best_of_3([&] { veldrix::load_structure(pdb_path); }), "veldrix load_structure (plain)");
    row("pdb.gz", mb_pdb, best_of_3([&] { veldrix::load_structure_bytes(gz, "x"); }), "veldrix load (gunzip)");
    row("cif gemmi", mb_compact, best_of_3([&] { gemmi_read(compact, "x.cif"); }), "gemmi read_structure");
    row("cif wwpdb", mb_wwpdb, best_of_3([&] { gemmi_read(wwpdb, "x.cif"); }), "gemmi read_structure");
    const double t_compact = best_of_3([&] { veldrix::mmcif_to_pdb(compact); });
    const double t_wwpdb = best_of_3([&] { veldrix::mmcif_to_pdb(wwpdb); });
    row("cif gemmi", mb_compact, t_compact, "veldrix mmcif_to_pdb");
    row("cif wwpdb", mb_wwpdb, t_wwpdb, "veldrix mmcif_to_pdb");
    const std::string wwpdb_gz_path = (work / (id + ".cif.gz")).string();
    write_file((work / (id + "_ww.cif")).string(), wwpdb);
    const std::string zip = "gzip -6 -c " + (work / (id + "_ww.cif")).string() + " > " + wwpdb_gz_path;
    if (std::system(zip.c_str()) == 0)
      row("cif.gz wwpdb", mb_wwpdb, best_of_3([&] { veldrix::load_structure(wwpdb_gz_path); }),
          "veldrix load_structure (gunzip + conversion)");
    std::printf("%-20s ratio of conversion to PDB read phase: %.2f (gemmi layout), %.2f (wwPDB layout)\n\n", id.c_str(),
                t_compact / read_phase, t_wwpdb / read_phase);
  }
  std::filesystem::remove_all(work);
  return 0;
}

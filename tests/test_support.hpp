// Shared test helpers: sessions with a molecule, runs that may stop, test data and temporary files.
#pragma once

#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <streambuf>
#include <string>
#include <unistd.h>
#include <vector>

#include "command/message.hpp"
#include "input/readf.hpp"
#include "rmsd_var/state.hpp"

namespace veldrix::testing {

// Runs f; returns the stop it ended with, or nullopt when it returned.
inline std::optional<Stop> stop_of(const std::function<void()>& f) {
  try {
    f();
  } catch (const Stop& s) {
    return s;
  }
  return std::nullopt;
}

// The fatal message f ends with; empty when it returns or stops without one.
inline std::string fatal_of(const std::function<void()>& f) {
  const std::optional<Stop> s = stop_of(f);
  return s ? s->message : std::string();
}

// Everything printed so far, each line ended by a newline.
inline std::string printed(const CommandState& s) {
  std::string t;
  for (const std::string& line : s.printdata.lines) t += line + "\n";
  return t;
}

// The built-in residue library, read as the run script reads it.
inline void load_library(InputState& s) {
  std::vector<std::string> words{"lib", ""};
  readf(s, words, false);
}

// The models of a coordinate file held in memory, read as the run script reads them.
inline void read_coordinates(InputState& s, const std::string& text, const std::string& name = "model.pdb") {
  s.readdata.content = text;
  std::vector<std::string> words{"pdb", name, "unknown=skip", "chains=*"};
  readf(s, words, true);
  s.readdata.content.reset();
}

// An ATOM record in the columns the reader uses.
inline std::string atom_record(int serial, const std::string& name, const std::string& residue, char chain,
                               int number, double x, double y, double z) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "ATOM  %5d %-4s %-4s%c%4d    %8.3f%8.3f%8.3f  1.00  0.00", serial,
                name.size() < 4 ? (" " + name).c_str() : name.c_str(), residue.c_str(), chain, number, x, y, z);
  return std::string(buf) + "\n";
}

// A test data file (relative to tests/data), decompressed when it ends in .gz.
inline std::string data_file(const std::string& name) {
  const std::string path = std::string(VELDRIX_TEST_DATA) + "/" + name;
  std::string text;
  if (name.size() > 3 && name.compare(name.size() - 3, 3, ".gz") == 0) {
    gzFile gz = gzopen(path.c_str(), "rb");
    if (gz == nullptr) return text;
    char buf[1 << 16];
    for (int n; (n = gzread(gz, buf, sizeof buf)) > 0;) text.append(buf, std::size_t(n));
    gzclose(gz);
  } else {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    text = out.str();
  }
  return text;
}

// Serves a text and then fails the way a file buffer fails on an I/O error: by throwing.
class FailingBuffer : public std::streambuf {
 public:
  explicit FailingBuffer(std::string text) : text_(std::move(text)) {
    setg(text_.data(), text_.data(), text_.data() + text_.size());
  }

 protected:
  int_type underflow() override { throw std::ios_base::failure("read error"); }

 private:
  std::string text_;
};

// A temporary directory of this test process, removed with its contents when the object goes.
class TempDir {
 public:
  explicit TempDir(const std::string& tag)
      : path_(std::filesystem::temp_directory_path() /
              ("veldrix_" + tag + "_" + std::to_string(::getpid()) + "_" + std::to_string(counter()++))) {
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

  // Writes a file into the directory and returns its path.
  std::string write(const std::string& name, const std::string& content) const {
    const std::filesystem::path p = path_ / name;
    std::ofstream(p, std::ios::binary) << content;
    return p.string();
  }

 private:
  static int& counter() {
    static int n = 0;
    return n;
  }
  std::filesystem::path path_;
};

// A molecule of nres residues with `per` atoms each (chain A, residues A1, A2, ...,
// all atoms carbon and selected) and nstr structures whose coordinates start at 0.
inline void make_molecule(VokanData& v, int nres, int per, int nstr) {
  v.nr = nres;
  v.na = nres * per;
  v.ifira.allocate(Dim(nres + 1));
  v.rnum.allocate(Dim(nres));
  v.rnam.allocate(Dim(nres));
  v.ichain.allocate(Dim(nres));
  for (int r = 1; r <= nres; ++r) {
    v.ifira(r) = (r - 1) * per + 1;
    v.rnum(r) = "A" + std::to_string(r);
    v.rnam(r) = "ALA";
    v.ichain(r) = 1;
  }
  v.ifira(nres + 1) = v.na + 1;
  v.iar.allocate(Dim(v.na));
  v.anam.allocate(Dim(v.na));
  v.iael.allocate(Dim(v.na));
  v.asel.allocate(Dim(v.na));
  v.adisp.allocate(Dim(v.na));
  for (int a = 1; a <= v.na; ++a) {
    v.iar(a) = (a - 1) / per + 1;
    v.anam(a) = "C" + std::to_string((a - 1) % per + 1);
    v.iael(a) = 6;
    v.asel(a) = true;
  }
  alostr(v, nstr, 0);
  v.nsstr = nstr;
  for (int k = 1; k <= nstr; ++k) v.isstr(k) = k;
}

// Coordinates of atom a in structure s.
inline void set_xyz(VokanData& v, int s, int a, double x, double y, double z) {
  v.coo(1, v.col(s, a)) = x;
  v.coo(2, v.col(s, a)) = y;
  v.coo(3, v.col(s, a)) = z;
}

}  // namespace veldrix::testing

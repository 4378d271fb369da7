// Shared test helpers: a clean global state, captured output, and running code that may stop.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <ios>
#include <optional>
#include <sstream>
#include <streambuf>
#include <string>
#include <unistd.h>

#include "command/message.hpp"
#include "command/params.hpp"
#include "command/praxel.hpp"
#include "driver/driver.hpp"
#include "input/getcor.hpp"
#include "input/readf.hpp"
#include "molecule/vokandata.hpp"
#include "select/select.hpp"

namespace veldrix::testing {

// Every module back to its start-up state.
inline void reset_all() { reset_modules(); }

// Resets the state and captures everything putlin prints while it lives.
class Captured {
 public:
  Captured() { reset_all(); }
  Captured(const Captured&) = delete;
  Captured& operator=(const Captured&) = delete;
  // The lines printed so far, each ended by a newline, the fatal message last.
  std::string text() const {
    std::string t;
    for (const std::string& line : printdata.lines) t += line + "\n";
    if (!printdata.fatal.empty()) t += "*** FATAL ERROR: " + printdata.fatal + "\n";
    return t;
  }
  void clear() {
    printdata.lines.clear();
    printdata.fatal.clear();
  }
};

// Runs f; returns the status of the stop it ended with, or nullopt when it returned.
inline std::optional<int> stop_status(const std::function<void()>& f) {
  try {
    f();
  } catch (const Stop& s) {
    return s.status;
  }
  return std::nullopt;
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

 private:
  static int& counter() {
    static int n = 0;
    return n;
  }
  std::filesystem::path path_;
};

// The test data file `name` + ".gz" (relative to tests/data) decompressed into dir;
// returns the path of the decompressed file, empty when that failed.
inline std::string unpack(const std::string& name, const std::filesystem::path& dir) {
  const std::filesystem::path out = dir / std::filesystem::path(name).filename();
  const std::string command =
      "gzip -dc '" + std::string(VELDRIX_TEST_DATA) + "/" + name + ".gz' > '" + out.string() + "'";
  if (std::system(command.c_str()) != 0) return "";
  return out.string();
}

// A molecule of nres residues with `per` atoms each (chain A, residues A1, A2, ...,
// all atoms carbon and selected) and nstr structures whose coordinates start at 0.
inline void make_molecule(int nres, int per, int nstr) {
  VokanData& v = vokandata;
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
  alostr(nstr, 0);
  v.nsstr = nstr;
  for (int k = 1; k <= nstr; ++k) v.isstr(k) = k;
}

// Coordinates of atom a in structure s.
inline void set_xyz(int s, int a, double x, double y, double z) {
  VokanData& v = vokandata;
  v.coo(1, v.col(s, a)) = x;
  v.coo(2, v.col(s, a)) = y;
  v.coo(3, v.col(s, a)) = z;
}

}  // namespace veldrix::testing

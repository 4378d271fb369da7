// What every fuzz harness shares: a clean global state per input, silent output, a scratch file.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "command/message.hpp"
#include "command/params.hpp"
#include "command/praxel.hpp"
#include "driver/driver.hpp"
#include "input/getcor.hpp"
#include "input/readf.hpp"
#include "molecule/vokandata.hpp"
#include "rmsd_var/state.hpp"
#include "select/select.hpp"
#include "util/profile.hpp"

namespace veldrix::fuzz {

// Inputs above this size are skipped, so that every run stays short.
constexpr std::size_t max_input = 64 * 1024;

// Where printed output goes: nowhere, or standard output when FUZZ_VERBOSE is set
// (for looking at what one input does: fuzz_pdb -runs=1 file).
inline std::ostream& null_stream() {
  static std::ostream null(nullptr);
  static std::ostream& out = std::getenv("FUZZ_VERBOSE") != nullptr ? std::cout : null;
  return out;
}

// Every module back to its start-up state, printing into the null stream.
inline void reset_everything() {
  reset_modules();
  printdata.out = &null_stream();
}

// The interpreter start-up of a run.
inline void start_interpreter() {
  praxel(" ", 50, ".vok", std::string(200, ' '), std::string(400, ' '));
  nulify();
  inivar();
}

// The printed output of one run, checked after it: a run that ended with a fatal
// message must not have printed a result line first, and no result line may hold
// a value that is not a number. A violation is a finding (the harness traps).
class RunOutput {
 public:
  RunOutput() {
    if (std::getenv("FUZZ_VERBOSE") == nullptr) printdata.out = &text_;
  }
  void check(bool stopped) const {
    // A result line begins with the prefix of information messages; the text may
    // also turn up inside a message that quotes an input line.
    std::istringstream lines(text_.str());
    bool result = false;
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("    Optimal range ", 0) != 0) continue;
      result = true;
      if (line.find("nan") != std::string::npos || line.find("inf") != std::string::npos) __builtin_trap();
    }
    if (stopped && result) __builtin_trap();
  }

 private:
  std::ostringstream text_;
};

// Runs one step of the program; a fatal message (Stop) is a legitimate end.
// Returns false when the step stopped.
inline bool run(const std::function<void()>& step) {
  try {
    step();
  } catch (const Stop&) {
    return false;
  }
  return true;
}

// A private scratch directory for the files a harness hands to the reader,
// removed when the process ends.
class ScratchDir {
 public:
  ScratchDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "veldrix-fuzz-XXXXXX").string();
    if (::mkdtemp(templ.data()) == nullptr) std::abort();
    path_ = templ;
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // Writes the bytes into the file `name` of the directory and returns its path.
  std::string write(const std::string& name, std::string_view bytes) const {
    const std::string p = (path_ / name).string();
    std::ofstream(p, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
    return p;
  }

 private:
  std::filesystem::path path_;
};

// Splits text at newlines and NUL bytes into at most `limit` pieces.
inline std::vector<std::string> split_lines(std::string_view text, std::size_t limit) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : text) {
    if (c == '\n' || c == '\0') {
      out.push_back(cur);
      cur.clear();
      if (out.size() == limit) return out;
    } else {
      cur.push_back(c);
    }
  }
  if (!cur.empty() || out.empty()) out.push_back(cur);
  return out;
}

}  // namespace veldrix::fuzz

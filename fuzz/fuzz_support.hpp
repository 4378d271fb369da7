// What every fuzz harness of the session API shares: sessions prepared once and copied per
// input, runs that may stop, the check of the printed lines, and input splitting.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command/message.hpp"
#include "input/readf.hpp"
#include "rmsd_var/state.hpp"

namespace veldrix::fuzz {

// Inputs above this size are skipped, so that every run stays short.
constexpr std::size_t max_input = 64 * 1024;

// Whether the printed lines of each input go to standard output (FUZZ_VERBOSE set), for
// looking at what one input does: fuzz_pdb -runs=1 file.
inline bool verbose() {
  static const bool on = std::getenv("FUZZ_VERBOSE") != nullptr;
  return on;
}

// Runs one step of the program. A Stop (fatal message, or the end after the help or
// usage text) is a legitimate end; it is returned, nullopt when the step returned.
inline std::optional<Stop> run(const std::function<void()>& step) {
  try {
    step();
  } catch (const Stop& stop) {
    return stop;
  }
  return std::nullopt;
}

// Prints what a session printed, and the fatal message it stopped with (verbose only).
inline void show(const CommandState& s, const std::optional<Stop>& stop) {
  if (!verbose()) return;
  for (const std::string& line : s.printdata.lines) std::cout << line << '\n';
  if (stop && !stop->message.empty()) std::cout << "*** FATAL ERROR: " << stop->message << '\n';
  std::cout.flush();
}

// The session right after the built-in library was read, as the run script reads it; taken
// once per process and copied for every input.
inline const Session& library_session() {
  static const Session prepared = [] {
    Session s;
    std::vector<std::string> words{"lib", ""};
    if (run([&] { readf(s, words, false); })) std::abort();
    s.printdata.lines.clear();
    s.printdata.warnings.clear();
    return s;
  }();
  return prepared;
}

// The printed lines of one run, checked after it: a run that ended with a fatal message
// must not have printed a result line first, and no result line may hold a value that is
// not a number. A violation is a finding (the harness traps).
inline void check_output(const CommandState& s, const std::optional<Stop>& stop) {
  // A result line begins with the prefix of information messages; the text may also turn
  // up inside a message that quotes an input line.
  bool result = false;
  for (const std::string& line : s.printdata.lines) {
    if (line.rfind("    Optimal range ", 0) != 0) continue;
    result = true;
    if (line.find("nan") != std::string::npos || line.find("inf") != std::string::npos) __builtin_trap();
  }
  const bool fatal = stop && stop->status != 0;
  if (fatal && result) __builtin_trap();
}

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

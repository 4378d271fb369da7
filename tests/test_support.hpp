// Shared test helpers: a clean global state, captured output, and running code that may stop.
#pragma once

#include <functional>
#include <optional>
#include <sstream>
#include <string>

#include "command/message.hpp"
#include "command/params.hpp"
#include "command/praxel.hpp"
#include "molecule/vokandata.hpp"

namespace veldrix::testing {

// Every module back to its start-up state.
inline void reset_all() {
  reset_printdata();
  reset_interpreter();
  paramdata = ParamData{};
  vokandata = VokanData{};
}

// Resets the state and captures everything putlin prints while it lives.
class Captured {
 public:
  Captured() {
    reset_all();
    printdata.out = &out_;
  }
  ~Captured() { printdata.out = nullptr; }
  Captured(const Captured&) = delete;
  Captured& operator=(const Captured&) = delete;
  std::string text() const { return out_.str(); }
  void clear() { out_.str(""); }

 private:
  std::ostringstream out_;
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

}  // namespace veldrix::testing

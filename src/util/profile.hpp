// Wall time of the run's phases.
#pragma once

#include <array>
#include <chrono>
#include <iosfwd>

namespace veldrix {

enum class Phase { reading, order_and_variances, clustering, domain_search, count };

struct Profile {
  std::array<double, std::size_t(Phase::count)> seconds{};
};
inline Profile profile;

// Adds the time between its construction and destruction to a phase.
class PhaseTimer {
 public:
  explicit PhaseTimer(Phase p) : phase_(p), start_(clock::now()) {}
  ~PhaseTimer() { profile.seconds[std::size_t(phase_)] += std::chrono::duration<double>(clock::now() - start_).count(); }
  PhaseTimer(const PhaseTimer&) = delete;
  PhaseTimer& operator=(const PhaseTimer&) = delete;

 private:
  using clock = std::chrono::steady_clock;
  Phase phase_;
  clock::time_point start_;
};

// One line per phase: name and seconds.
void print_profile(std::ostream& out);

}  // namespace veldrix

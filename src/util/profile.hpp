// Wall time of the phases of a run.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>

namespace veldrix {

enum class Phase { reading, order_and_variances, clustering, domain_search, count };

struct Profile {
  std::array<double, std::size_t(Phase::count)> seconds{};
};

// Adds the time between its construction and destruction to a phase.
class PhaseTimer {
 public:
  PhaseTimer(Profile& profile, Phase phase) : profile_(profile), phase_(phase), start_(clock::now()) {}
  ~PhaseTimer() {
    profile_.seconds[std::size_t(phase_)] += std::chrono::duration<double>(clock::now() - start_).count();
  }
  PhaseTimer(const PhaseTimer&) = delete;
  PhaseTimer& operator=(const PhaseTimer&) = delete;

 private:
  using clock = std::chrono::steady_clock;
  Profile& profile_;
  Phase phase_;
  clock::time_point start_;
};

}  // namespace veldrix

// Printing the phase times.
#include "util/profile.hpp"

#include <cstdio>
#include <ostream>

namespace veldrix {

void print_profile(std::ostream& out) {
  static constexpr const char* names[] = {"reading", "order parameters and distance variances", "clustering",
                                          "domain search and output"};
  for (std::size_t i = 0; i < std::size_t(Phase::count); ++i) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "phase\t%s\t%.6f\n", names[i], profile.seconds[i]);
    out << buf;
  }
}

}  // namespace veldrix

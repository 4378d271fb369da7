// The analysis parameters as users give them: limits and residue ranges.
#include "batch/parameters.hpp"

#include <cmath>
#include <cstdio>

namespace veldrix::batch {

bool real_fits(double x) {
  if (!std::isfinite(x) || x < 0.0) return false;
  char buf[64];
  return std::snprintf(buf, sizeof buf, "%5.2f", x) <= 5;
}

std::string widen_range(std::string_view range) {
  if (range == "all" || range == "ALL") return "";
  auto widen_bound = [](std::string_view bound) {
    const bool has_chain = bound.empty() || (bound[0] >= 'A' && bound[0] <= 'Z') ||
                           (bound[0] >= 'a' && bound[0] <= 'z') || bound[0] == '?' || bound[0] == '*';
    return has_chain ? std::string(bound) : std::string("?").append(bound);
  };
  std::string out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = range.find(',', start);
    const std::string_view item = range.substr(start, comma == std::string_view::npos ? comma : comma - start);
    // The analysis splits an item at ".." first, else at its first '-'.
    std::size_t sep = item.find("..");
    std::size_t width = 2;
    if (sep == std::string_view::npos) {
      sep = item.find('-');
      width = 1;
    }
    if (sep == std::string_view::npos) {
      out += widen_bound(item);
    } else {
      out += widen_bound(item.substr(0, sep));
      out += item.substr(sep, width);
      out += widen_bound(item.substr(sep + width));
    }
    if (comma == std::string_view::npos) break;
    out += ',';
    start = comma + 1;
  }
  return out;
}

}  // namespace veldrix::batch

// Command parameter parsing.
#include "command/params.hpp"

#include "util/text.hpp"

namespace veldrix {

void setcmd(std::string_view name) {
  if (name.find('=') != std::string_view::npos) {
    paramdata.prefix.clear();
    return;
  }
  const auto slash = name.rfind('/');
  std::string p(trim(slash == std::string_view::npos ? name : name.substr(slash + 1)));
  if (p.empty()) {
    paramdata.prefix.clear();
    return;
  }
  for (char& c : p)
    if (c == ' ') c = '_';
  paramdata.prefix = field(p + "_", 32);
}

}  // namespace veldrix

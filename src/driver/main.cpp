// The veldrix executable: hands the arguments to the driver and maps its stop to the exit status.
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "command/message.hpp"
#include "driver/driver.hpp"
#include "util/profile.hpp"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  std::optional<std::string> libenv;
  if (const char* env = std::getenv("VELDRIXLIB")) libenv = env;
  int status = 0;
  try {
    veldrix::vokan(args, libenv);
  } catch (const veldrix::Stop& stop) {
    status = stop.status;
  }
  for (const std::string& line : veldrix::printdata.lines) std::cout << line << '\n';
  if (status != 0 && !veldrix::printdata.fatal.empty()) std::cout << "*** FATAL ERROR: " << veldrix::printdata.fatal << '\n';
  std::cout.flush();
  if (std::getenv("VELDRIX_PROFILE")) veldrix::print_profile(std::cerr);
  return status;
}

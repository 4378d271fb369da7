// The veldrix executable: the arguments to the driver, its lines to standard output, its status to the shell.
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "driver/driver.hpp"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + 1, argv + argc);
  std::optional<std::string> libenv;
  if (const char* env = std::getenv("VELDRIXLIB")) libenv = env;
  const bool profile = std::getenv("VELDRIX_PROFILE") != nullptr;
  const int status = veldrix::vokan(args, libenv, std::cout, profile ? &std::cerr : nullptr);
  std::cout.flush();
  return status;
}

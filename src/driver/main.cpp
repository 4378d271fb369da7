// The veldrix executable: hands the arguments to the driver and maps its stop to the exit status.
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "command/message.hpp"
#include "driver/driver.hpp"

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
  std::cout.flush();
  return status;
}

// The veldrix-batch executable: hands the arguments to the batch front end.
#include <string>
#include <vector>

#include "batch/batch.hpp"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return veldrix::batch::run_batch(args);
}

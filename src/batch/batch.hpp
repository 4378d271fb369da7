// The veldrix-batch program: command line, inputs, worker processes, records, progress, exit status.
#pragma once

#include <span>
#include <string>

namespace veldrix::batch {

// Exit statuses of the program.
enum class Exit : int { ok = 0, failed = 1, usage = 2 };

// Runs the program on the arguments (without the program name); returns its exit status:
// 0 when every input is ok, 1 when any failed, 2 for a usage error, 128 + the signal when interrupted.
int run_batch(std::span<const std::string> args);

}  // namespace veldrix::batch

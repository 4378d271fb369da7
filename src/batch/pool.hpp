// Worker processes: one forked child per task, a few at a time, each with a pipe back and a time limit.
//
// The parent stays single-threaded, so that forking it is safe; it multiplexes the children's pipes
// with poll(), kills a child that runs past the time limit, and turns SIGINT and SIGTERM into an
// orderly stop. Nothing a child does (a crash, a hang, a flood of output) can take the parent down.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace veldrix::batch {

enum class Ending {
  exited,       // code: the exit status
  signalled,    // code: the signal that ended the child
  timed_out,    // killed at the time limit
  not_started,  // the child could not be forked; output holds the reason
};

struct WorkerEnd {
  Ending ending = Ending::exited;
  int code = 0;
  std::string output;    // everything the child wrote to its pipe
  double seconds = 0.0;  // wall time from start to end
};

struct PoolSettings {
  int jobs = 1;
  double timeout = 600.0;               // seconds per task
  std::size_t max_ahead = 1024;         // a task starts at most this far beyond the oldest unfinished one
  std::optional<double> tick_interval;  // seconds: tick runs at least this often, not only on events
};

struct PoolTasks {
  std::size_t count = 0;
  // Runs in the child: does task `index` and writes its answer to `fd`. The child ends after it.
  std::function<void(std::size_t index, int fd)> work;
  // Runs in the parent for each task as it ends (in completion order); false stops the pool.
  std::function<bool(std::size_t index, WorkerEnd end)> ended;
  // Runs in the parent after every event, and at the tick interval.
  std::function<void()> tick;
};

enum class PoolEnd { completed, stopped, interrupted };

struct PoolResult {
  PoolEnd end = PoolEnd::completed;
  int signal = 0;  // interrupted: SIGINT or SIGTERM
};

// Runs every task, at most settings.jobs at a time. On SIGINT or SIGTERM, or when `ended` returns
// false, the running children are killed and reaped, and the pool returns at once.
PoolResult run_workers(const PoolTasks& tasks, const PoolSettings& settings);

}  // namespace veldrix::batch

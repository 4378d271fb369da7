// Worker processes: fork, pipes, poll, time limits, and SIGINT/SIGTERM through a self-pipe.
#include "batch/pool.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <list>
#include <utility>
#include <vector>

namespace veldrix::batch {

namespace {

using Clock = std::chrono::steady_clock;

// A file descriptor closed with its owner.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(Fd&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
  Fd& operator=(Fd&& o) noexcept {
    if (this != &o) {
      reset();
      fd_ = std::exchange(o.fd_, -1);
    }
    return *this;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { reset(); }
  int get() const { return fd_; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

bool make_pipe(Fd& read_end, Fd& write_end) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  read_end = Fd(fds[0]);
  write_end = Fd(fds[1]);
  return true;
}

// The write end of the self-pipe, and the stop signal received, for the signal handler.
volatile sig_atomic_t signal_fd = -1;
volatile sig_atomic_t stop_received = 0;

extern "C" void on_signal(int sig) {
  const int saved = errno;
  if (sig != SIGCHLD) stop_received = sig;
  const unsigned char byte = static_cast<unsigned char>(sig);
  if (signal_fd >= 0) {
    const ssize_t n = ::write(signal_fd, &byte, 1);  // a full pipe wakes the poll all the same
    (void)n;
  }
  errno = saved;
}

// SIGINT and SIGTERM stop the pool; SIGCHLD only wakes it to reap a child.
constexpr std::array<int, 3> caught_signals{SIGINT, SIGTERM, SIGCHLD};

// The caught signals arrive as bytes on a pipe while this object lives, so that poll() wakes.
class SignalPipe {
 public:
  SignalPipe() {
    if (!make_pipe(read_, write_)) return;
    ::fcntl(read_.get(), F_SETFL, O_NONBLOCK);
    ::fcntl(write_.get(), F_SETFL, O_NONBLOCK);
    stop_received = 0;
    signal_fd = write_.get();
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sa.sa_flags = SA_NOCLDSTOP;
    sigemptyset(&sa.sa_mask);
    for (std::size_t i = 0; i < caught_signals.size(); ++i) ::sigaction(caught_signals[i], &sa, &old_[i]);
  }
  ~SignalPipe() {
    for (std::size_t i = 0; i < caught_signals.size(); ++i) ::sigaction(caught_signals[i], &old_[i], nullptr);
    signal_fd = -1;
  }
  SignalPipe(const SignalPipe&) = delete;
  SignalPipe& operator=(const SignalPipe&) = delete;
  int fd() const { return read_.get(); }
  // Empties the pipe; the stop signal received, or 0.
  int stop() const {
    unsigned char buf[256];
    while (::read(read_.get(), buf, sizeof buf) > 0) {
    }
    return stop_received;
  }

 private:
  Fd read_, write_;
  std::array<struct sigaction, caught_signals.size()> old_{};
};

// The caught signals held back while forking, so that the child never runs the parent's handler.
class BlockedSignals {
 public:
  BlockedSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : caught_signals) sigaddset(&set, s);
    ::sigprocmask(SIG_BLOCK, &set, &old_);
  }
  ~BlockedSignals() { ::sigprocmask(SIG_SETMASK, &old_, nullptr); }
  BlockedSignals(const BlockedSignals&) = delete;
  BlockedSignals& operator=(const BlockedSignals&) = delete;

 private:
  sigset_t old_;
};

struct Worker {
  std::size_t index = 0;
  pid_t pid = -1;
  Fd pipe;  // read end; closed at end of file
  std::string output;
  Clock::time_point start;
  Clock::time_point deadline;
};

double since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

[[noreturn]] void child_main(const PoolTasks& tasks, std::size_t index, Fd write_end, pid_t parent) {
  // The parent decides about interrupts; a child must not outlive it.
  ::signal(SIGINT, SIG_IGN);
  ::signal(SIGTERM, SIG_DFL);
  ::signal(SIGCHLD, SIG_DFL);
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) ::_exit(1);
  // Only the record pipe stays open: the siblings' read ends and the parent's signal pipe would keep a
  // pipe alive after its owner closed it.
  const unsigned keep = unsigned(write_end.get());
  if (keep > 3) ::close_range(3, keep - 1, 0);
  ::close_range(keep + 1, ~0U, 0);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  try {
    tasks.work(index, write_end.get());
  } catch (...) {
    ::_exit(1);
  }
  write_end.reset();
  ::_exit(0);  // no exit handlers, no flush of the parent's buffered output
}

// Reads what is there without blocking; false at end of file or on an error.
bool drain(Worker& w) {
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(w.pipe.get(), buf, sizeof buf);
    if (n > 0) {
      w.output.append(buf, std::size_t(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return n < 0 && errno == EAGAIN;
  }
}

WorkerEnd ending_of(Worker& w, int wstatus) {
  WorkerEnd end;
  if (WIFSIGNALED(wstatus)) {
    end.ending = Ending::signalled;
    end.code = WTERMSIG(wstatus);
  } else {
    end.code = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  }
  end.output = std::move(w.output);
  end.seconds = since(w.start);
  return end;
}

void kill_and_reap(Worker& w) {
  ::kill(w.pid, SIGKILL);
  int wstatus = 0;
  while (::waitpid(w.pid, &wstatus, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

PoolResult run_workers(const PoolTasks& tasks, const PoolSettings& settings) {
  const SignalPipe signals;
  std::list<Worker> running;
  std::size_t next = 0;
  bool fork_failed = false;  // wait for a running child to end before trying again
  const auto timeout = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(settings.timeout));
  const pid_t self = ::getpid();

  auto stop_all = [&](PoolResult result) {
    for (Worker& w : running) kill_and_reap(w);
    running.clear();
    return result;
  };

  while (next < tasks.count || !running.empty()) {
    // Start as many children as may run.
    while (!fork_failed && next < tasks.count && int(running.size()) < settings.jobs) {
      std::size_t oldest = next;
      for (const Worker& w : running) oldest = std::min(oldest, w.index);
      if (next >= oldest + settings.max_ahead) break;
      Fd read_end, write_end;
      pid_t pid = -1;
      int fork_errno = 0;
      if (make_pipe(read_end, write_end)) {
        const BlockedSignals blocked;
        pid = ::fork();
        fork_errno = errno;
        if (pid == 0) {
          read_end.reset();
          child_main(tasks, next, std::move(write_end), self);
        }
      } else {
        fork_errno = errno;
      }
      if (pid < 0) {
        if (!running.empty()) {
          fork_failed = true;
          break;
        }
        WorkerEnd end;
        end.ending = Ending::not_started;
        end.output = std::strerror(fork_errno);
        if (!tasks.ended(next++, std::move(end))) return stop_all({PoolEnd::stopped, 0});
        continue;
      }
      write_end.reset();
      ::fcntl(read_end.get(), F_SETFL, O_NONBLOCK);
      Worker& w = running.emplace_back();
      w.index = next++;
      w.pid = pid;
      w.pipe = std::move(read_end);
      w.start = Clock::now();
      w.deadline = w.start + timeout;
    }

    // Wait for output, an end of file, a deadline, a signal or the next tick.
    std::vector<pollfd> fds{{signals.fd(), POLLIN, 0}};
    std::vector<Worker*> polled;
    auto wait = timeout;
    const auto now = Clock::now();
    for (Worker& w : running) {
      wait = std::min(wait, std::max(Clock::duration::zero(), w.deadline - now));
      if (w.pipe.get() >= 0) {
        fds.push_back({w.pipe.get(), POLLIN, 0});
        polled.push_back(&w);
      }
    }
    if (settings.tick_interval)
      wait = std::min(
          wait, std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(*settings.tick_interval)));
    const int ms = int(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
    const int ready = ::poll(fds.data(), fds.size(), ms);
    if (ready < 0 && errno != EINTR) return stop_all({PoolEnd::stopped, 0});
    if (ready > 0 && (fds[0].revents & POLLIN))
      if (const int sig = signals.stop()) return stop_all({PoolEnd::interrupted, sig});
    for (std::size_t i = 0; ready > 0 && i < polled.size(); ++i)
      if (fds[i + 1].revents != 0 && !drain(*polled[i])) polled[i]->pipe.reset();

    // Reap the children that have ended and kill those past their deadline.
    for (auto it = running.begin(); it != running.end();) {
      Worker& w = *it;
      std::optional<WorkerEnd> end;
      int wstatus = 0;
      if (w.pipe.get() < 0 && ::waitpid(w.pid, &wstatus, WNOHANG) == w.pid) {
        end = ending_of(w, wstatus);
      } else if (Clock::now() >= w.deadline) {
        kill_and_reap(w);
        end = ending_of(w, 0);
        end->ending = Ending::timed_out;
        end->code = 0;
      }
      if (!end) {
        ++it;
        continue;
      }
      const std::size_t index = w.index;
      it = running.erase(it);
      fork_failed = false;
      if (!tasks.ended(index, std::move(*end))) return stop_all({PoolEnd::stopped, 0});
    }
    if (tasks.tick) tasks.tick();
  }
  return {};
}

}  // namespace veldrix::batch

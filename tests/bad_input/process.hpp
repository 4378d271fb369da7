// Running the veldrix executable as a child process: output, exit status, peak memory, time limit.
#pragma once

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <optional>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace veldrix::testing {

struct RunResult {
  int status = -1;          // exit status; -1 when the process did not exit normally
  int signal = 0;           // the signal that ended it, if one did
  std::string out;          // standard output and standard error, in order
  long peak_kb = 0;         // peak resident memory of the child (kB); the forked copy of the
                            // test process counts too, so keep the test small when measuring
  bool exec_failed = false; // the program could not be started (status 127 from the child)
};

struct RunOptions {
  unsigned time_limit = 120;          // seconds; a child still running then is killed (a hang)
  std::optional<std::string> libenv;  // VELDRIXLIB, unset when absent
  std::optional<uid_t> user;          // run as this user (only possible as root)
};

// Runs VELDRIX_EXE with the arguments and collects what it did.
inline RunResult run_veldrix(const std::vector<std::string>& args, const RunOptions& opt = {}) {
  RunResult r;
  ::malloc_trim(0);  // the child starts as a copy of this process: as small a copy as can be
  int fds[2];
  if (::pipe(fds) != 0) return r;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fds[1], 1);
    ::dup2(fds[1], 2);
    ::close(fds[0]);
    ::close(fds[1]);
    if (opt.libenv) ::setenv("VELDRIXLIB", opt.libenv->c_str(), 1);
    else ::unsetenv("VELDRIXLIB");
    if (opt.user && (::setgid(*opt.user) != 0 || ::setuid(*opt.user) != 0)) ::_exit(127);
    ::alarm(opt.time_limit);  // survives the exec: SIGALRM ends a run that hangs
    std::vector<char*> argv;
    std::string exe = VELDRIX_EXE;
    argv.push_back(exe.data());
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(exe.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fds[0], buf, sizeof buf);
    if (n > 0) r.out.append(buf, std::size_t(n));
    else if (n == 0 || errno != EINTR) break;
  }
  ::close(fds[0]);
  int wstatus = 0;
  struct rusage usage {};
  while (::wait4(pid, &wstatus, 0, &usage) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(wstatus)) r.status = WEXITSTATUS(wstatus);
  if (WIFSIGNALED(wstatus)) r.signal = WTERMSIG(wstatus);
  r.exec_failed = r.status == 127;
  r.peak_kb = usage.ru_maxrss;
  return r;
}

// A private directory for the files of the tests, removed with the object.
class TempDir {
 public:
  TempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "veldrix-bad-input-XXXXXX").string();
    if (::mkdtemp(templ.data()) != nullptr) path_ = templ;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string path(const std::string& name) const { return (path_ / name).string(); }
  std::string write(const std::string& name, const std::string& content) const {
    const std::string p = path(name);
    std::ofstream(p, std::ios::binary | std::ios::trunc) << content;
    return p;
  }
  const std::filesystem::path& root() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The lines of a text.
inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

}  // namespace veldrix::testing

// Shared test helpers: sessions with a molecule, runs that may stop, test data and temporary files.
#pragma once

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <streambuf>
#include <string>
#include <vector>

#include "command/message.hpp"
#include "input/readf.hpp"
#include "rmsd_var/state.hpp"

namespace veldrix::testing {

// The stop f ends with, or nullopt when it returns.
inline std::optional<Stop> stop_of(const std::function<void()>& f) {
  try {
    f();
  } catch (const Stop& s) {
    return s;
  }
  return std::nullopt;
}

// The fatal message f ends with; empty when it returns or stops without one.
inline std::string fatal_of(const std::function<void()>& f) {
  const std::optional<Stop> s = stop_of(f);
  return s ? s->message : std::string();
}

// Everything printed so far, each line ended by a newline.
inline std::string printed(const CommandState& s) {
  std::string t;
  for (const std::string& line : s.printdata.lines) t += line + "\n";
  return t;
}

// The built-in residue library, read as the run script reads it.
inline void load_library(InputState& s) {
  std::vector<std::string> words{"lib", ""};
  readf(s, words, false);
}

// A test data file (relative to tests/data); zlib reads compressed and plain files alike.
inline std::string data_file(const std::string& name) {
  std::string text;
  gzFile gz = gzopen((std::string(VELDRIX_TEST_DATA) + "/" + name).c_str(), "rb");
  if (gz == nullptr) return text;
  char buf[1 << 16];
  for (int n; (n = gzread(gz, buf, sizeof buf)) > 0;) text.append(buf, std::size_t(n));
  gzclose(gz);
  return text;
}

// Serves a text and then fails the way a file buffer fails on an I/O error: by throwing.
class FailingBuffer : public std::streambuf {
 public:
  explicit FailingBuffer(std::string text) : text_(std::move(text)) {
    setg(text_.data(), text_.data(), text_.data() + text_.size());
  }

 protected:
  int_type underflow() override { throw std::ios_base::failure("read error"); }

 private:
  std::string text_;
};

// A temporary directory of this test process, removed with its contents when the object goes.
class TempDir {
 public:
  explicit TempDir(const std::string& tag) {
    std::string p = (std::filesystem::temp_directory_path() / ("veldrix_" + tag + "_XXXXXX")).string();
    path_ = ::mkdtemp(p.data())
                ? p
                : throw std::filesystem::filesystem_error("mkdtemp", std::error_code(errno, std::generic_category()));
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }
  std::string path(const std::string& name) const { return (path_ / name).string(); }
  std::string write(const std::string& name, const std::string& content) const {
    std::ofstream(path_ / name, std::ios::binary) << content;
    return path(name);
  }

 private:
  std::filesystem::path path_;
};

// How a run of the veldrix executable ended: its status (-1 when a signal ended it), standard output and
// error in order, and its peak memory (of the child, a copy of this process at first).
struct RunResult {
  int status = -1;
  std::string out;
  long peak_kb = 0;
};

struct RunOptions {
  std::string cwd{};                    // this process's own when empty
  std::optional<std::string> libenv{};  // VELDRIXLIB, unset when absent
  unsigned time_limit = 120;            // seconds; a run that hangs is ended then
  std::optional<uid_t> user{};          // run as this user (only possible as root)
};

inline RunResult run_veldrix(std::vector<std::string> args, const RunOptions& opt = {}) {
  RunResult r;
  ::malloc_trim(0);  // as small a copy of this process as can be
  int fds[2];
  if (::pipe(fds) != 0) return r;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fds[1], 1);
    ::dup2(fds[1], 2);
    ::close(fds[0]);
    ::close(fds[1]);
    opt.libenv ? ::setenv("VELDRIXLIB", opt.libenv->c_str(), 1) : ::unsetenv("VELDRIXLIB");
    if (!opt.cwd.empty() && ::chdir(opt.cwd.c_str()) != 0) ::_exit(127);
    if (opt.user && (::setgid(*opt.user) != 0 || ::setuid(*opt.user) != 0)) ::_exit(127);
    ::alarm(opt.time_limit);  // survives the exec
    std::string exe = VELDRIX_EXE;
    std::vector<char*> argv{exe.data()};
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(exe.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  char buf[65536];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR);)
    r.out.append(buf, std::size_t(std::max<ssize_t>(n, 0)));
  ::close(fds[0]);
  int wstatus = 0;
  struct rusage usage {};
  while (::wait4(pid, &wstatus, 0, &usage) < 0 && errno == EINTR) {
  }
  r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  r.peak_kb = usage.ru_maxrss;
  return r;
}

// A molecule of nres residues with `per` atoms each (chain A, residues A1, A2, ...,
// all atoms carbon and selected) and nstr structures whose coordinates start at 0.
inline void make_molecule(VokanData& v, int nres, int per, int nstr) {
  v.nr = nres;
  v.na = nres * per;
  v.ifira.allocate(Dim(nres + 1));
  [nres](auto&... a) { (a.allocate(Dim(nres)), ...); }(v.rnum, v.rnam, v.ichain);
  [&v](auto&... a) { (a.allocate(Dim(v.na)), ...); }(v.iar, v.anam, v.iael, v.asel, v.adisp);
  for (int r = 1; r <= nres + 1; ++r) v.ifira(r) = (r - 1) * per + 1;
  for (int r = 1; r <= nres; ++r) {
    v.rnum(r) = "A" + std::to_string(r);
    v.rnam(r) = "ALA";
    v.ichain(r) = 1;
  }
  for (int a = 1; a <= v.na; ++a) {
    v.iar(a) = (a - 1) / per + 1;
    v.anam(a) = "C" + std::to_string((a - 1) % per + 1);
    v.iael(a) = 6;
    v.asel(a) = true;
  }
  alostr(v, nstr, 0);
  v.nsstr = nstr;
  for (int k = 1; k <= nstr; ++k) v.isstr(k) = k;
}

inline void set_xyz(VokanData& v, int s, int a, double x, double y, double z) {
  v.coo(1, v.col(s, a)) = x;
  v.coo(2, v.col(s, a)) = y;
  v.coo(3, v.col(s, a)) = z;
}

}  // namespace veldrix::testing

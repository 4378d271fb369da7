// Running veldrix-batch and veldrix as child processes, and reading their records and lines.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "batch/record.hpp"
#include "batch/schema_check.hpp"

namespace veldrix::batch::testing {

namespace fs = std::filesystem;

// A temporary directory, removed with its contents; readable by all, as some tests run as another user.
class TempDir {
 public:
  TempDir() {
    std::string templ = (fs::temp_directory_path() / "veldrix-batch-test-XXXXXX").string();
    if (::mkdtemp(templ.data())) path_ = templ;
    fs::permissions(path_, fs::perms::all & ~fs::perms::others_write & ~fs::perms::group_write);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

inline std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void write_file(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// The test data file `name` (relative to tests/data, ending in .gz) decompressed to `to`.
inline std::string gunzip(const std::string& name, const fs::path& to) {
  fs::create_directories(to.parent_path());
  const std::string cmd = "gzip -dc '" + std::string(VELDRIX_TEST_DATA) + "/" + name + "' > '" + to.string() + "'";
  EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
  return to.string();
}

struct Ran {
  int status = -1;  // exit status, -1 when ended by a signal
  std::string out, err;
  double seconds = 0.0;
};

struct RunSpec {
  std::vector<std::string> args{};
  std::string exe = VELDRIX_BATCH_EXE;
  std::string input{};                                           // standard input
  std::vector<std::string> env{};                                // NAME=VALUE
  std::optional<uid_t> user{};                                   // run as this user (only as root)
  std::function<bool(const std::string& out)> interrupt_when{};  // send SIGINT once this holds
  unsigned time_limit = 120;                                     // seconds, then SIGALRM ends a hang
};

// Runs the program with its standard streams on files in `dir`.
inline Ran run(const RunSpec& spec, const TempDir& dir) {
  static int serial = 0;
  const std::string tag = std::to_string(serial++);
  const std::string in = dir / ("stdin" + tag), out = dir / ("stdout" + tag), err = dir / ("stderr" + tag);
  write_file(in, spec.input);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(::open(in.c_str(), O_RDONLY), 0);
    ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    ::unsetenv("VELDRIXLIB");
    for (const std::string& e : spec.env) ::putenv(const_cast<char*>(e.c_str()));
    if (spec.user && (::setgid(*spec.user) != 0 || ::setuid(*spec.user) != 0)) ::_exit(127);
    ::alarm(spec.time_limit);
    std::vector<char*> argv{const_cast<char*>(spec.exe.c_str())};
    for (const std::string& a : spec.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(spec.exe.c_str(), argv.data());
    ::_exit(127);
  }
  Ran r;
  int wstatus = 0;
  bool interrupted = false;
  while (::waitpid(pid, &wstatus, WNOHANG) == 0) {
    if (spec.interrupt_when && !interrupted && spec.interrupt_when(read_file(out))) {
      ::kill(pid, SIGINT);
      interrupted = true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  r.out = read_file(out);
  r.err = read_file(err);
  return r;
}

inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

// The records of JSON-lines output, each checked against the schema.
inline std::vector<Json> records(const std::string& out) {
  static const SchemaCheck schema(VELDRIX_RECORD_SCHEMA);
  std::vector<Json> rs;
  for (const std::string& line : lines_of(out)) {
    rs.push_back(Json::parse(line));
    for (const std::string& v : schema.violations(rs.back())) ADD_FAILURE() << v << " in " << line;
  }
  EXPECT_TRUE(out.empty() || out.back() == '\n') << "output ends in a cut line";
  return rs;
}

inline std::vector<std::string> files_of(const std::vector<Json>& rs) {
  std::vector<std::string> files;
  for (const Json& r : rs) files.push_back(r["file"]);
  return files;
}

// The output without the one key that varies between runs.
inline std::string without_seconds(const std::string& out) {
  std::string s;
  for (Json r : records(out)) {
    r.erase("seconds");
    s += to_line(r) + "\n";
  }
  return s;
}

}  // namespace veldrix::batch::testing

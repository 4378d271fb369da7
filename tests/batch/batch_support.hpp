// Running veldrix-batch and veldrix as child processes, and reading their records, each checked against the schema.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <optional>
#include <thread>

#include "batch/record.hpp"
#include "batch/schema_check.hpp"
#include "test_support.hpp"

namespace veldrix::batch::testing {

namespace fs = std::filesystem;
using veldrix::testing::data_file;
using veldrix::testing::TempDir;

inline std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string write_file(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
  return path.string();
}

struct Ran {
  int status = -1;  // -1 when a signal ended it
  std::string out, err;
};

struct RunSpec {
  std::vector<std::string> args{};
  std::string exe = VELDRIX_BATCH_EXE;
  std::string input{};                                           // standard input
  std::vector<std::string> env{};                                // NAME=VALUE
  std::optional<uid_t> user{};                                   // run as this user (only as root)
  std::function<bool(const std::string& out)> interrupt_when{};  // SIGINT once the output so far satisfies it
};

// Runs the program with its standard streams on files in `dir`; a hang ends after two minutes.
inline Ran run(const RunSpec& spec, const TempDir& dir) {
  static int serial = 0;
  const std::string tag = std::to_string(serial++), out = dir.path("stdout" + tag), err = dir.path("stderr" + tag);
  const std::string in = write_file(dir.path("stdin" + tag), spec.input);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(::open(in.c_str(), O_RDONLY), 0);
    ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    ::unsetenv("VELDRIXLIB");
    for (const std::string& e : spec.env) ::putenv(const_cast<char*>(e.c_str()));
    if (spec.user && (::setgid(*spec.user) != 0 || ::setuid(*spec.user) != 0)) ::_exit(127);
    ::alarm(120);
    std::vector<char*> argv{const_cast<char*>(spec.exe.c_str())};
    for (const std::string& a : spec.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(spec.exe.c_str(), argv.data());
    ::_exit(127);
  }
  int wstatus = 0;
  for (bool interrupted = false; ::waitpid(pid, &wstatus, WNOHANG) == 0;) {
    if (spec.interrupt_when && !interrupted && spec.interrupt_when(read_file(out)))
      interrupted = ::kill(pid, SIGINT) == 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return {WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1, read_file(out), read_file(err)};
}

// The records of JSON-lines output, each valid against the schema and with its keys in the documented order.
inline std::vector<Json> records(const std::string& out) {
  static const SchemaCheck schema(VELDRIX_RECORD_SCHEMA);
  std::vector<Json> rs;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    rs.push_back(Json::parse(line));
    std::vector<std::string> keys;
    for (const auto& item : rs.back().items()) keys.push_back(item.key());
    EXPECT_EQ(nlohmann::json(keys), schema.root()["required"]) << line;
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

}  // namespace veldrix::batch::testing

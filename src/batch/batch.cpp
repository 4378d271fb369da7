// The veldrix-batch program: each input analysed in a worker process, records written in input order.
#include "batch/batch.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <vector>

#include "batch/files.hpp"
#include "batch/inputs.hpp"
#include "batch/options.hpp"
#include "batch/output.hpp"
#include "batch/pool.hpp"
#include "batch/record.hpp"

namespace veldrix::batch {

namespace {

// Test-only: VELDRIX_BATCH_TEST_FAULT="crash:NAME,hang:NAME" makes the worker of each input whose
// file name is NAME crash or hang before the analysis, so that the tests can provoke both without
// a fault in the analysis. Read once by the parent; acted on only in the worker.
class TestFault {
 public:
  static TestFault from_environment() {
    TestFault f;
    const char* env = std::getenv("VELDRIX_BATCH_TEST_FAULT");
    std::istringstream in(env ? env : "");
    for (std::string item; std::getline(in, item, ',');) {
      if (item.starts_with("crash:")) f.crash_.push_back(item.substr(6));
      if (item.starts_with("hang:")) f.hang_.push_back(item.substr(5));
    }
    return f;
  }
  void strike(const std::string& file) const {
    const std::string name = std::filesystem::path(file).filename().string();
    for (const std::string& n : crash_)
      if (n == name) {
        std::signal(SIGSEGV, SIG_DFL);  // past any sanitizer's handler: a plain crash
        std::raise(SIGSEGV);
      }
    for (const std::string& n : hang_)
      if (n == name)
        for (;;) ::pause();
  }

 private:
  std::vector<std::string> crash_, hang_;
};

void write_all(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // the parent is gone or gave up on this worker
    text.remove_prefix(std::size_t(n));
  }
}

// In the worker: the format first (so that the parent knows it even if the analysis crashes), then
// the files asked for and the record, one JSON line each. A file that cannot be written is a warning
// of the record: the analysis itself stands.
void analyse_in_worker(const Input& in, const std::string& name, const BatchOptions& opt, const TestFault& fault,
                       int fd) {
  if (in.error) {
    write_all(fd, to_line(format_fields(std::nullopt)) + "\n");
    write_all(fd, to_line(record(in.file, Outcome{std::nullopt, std::nullopt, in.error, 0.0}, opt.analysis)) + "\n");
    return;
  }
  std::optional<veldrix::FileFormat> format;
  try {
    format = veldrix::detect_format(in.file);
  } catch (const veldrix::Error&) {
    // The analysis says why the file cannot be read.
  }
  write_all(fd, to_line(format_fields(format)) + "\n");
  fault.strike(in.file);
  const Outcome outcome = analyse_input(in.file, format, opt.analysis, opt.range_text);
  Json r = record(in.file, outcome, opt.analysis);
  if (!outcome.error && outcome.result)
    for (const std::string& failure : write_files(in.file, name, *outcome.result, opt.superpose_dir, opt.plot_dir))
      r["warnings"].push_back(failure);
  write_all(fd, to_line(r) + "\n");
}

std::optional<Json> parse_object(std::string_view line) {
  Json j = Json::parse(line, nullptr, false);
  if (j.is_discarded() || !j.is_object()) return std::nullopt;
  return j;
}

std::string seconds_text(double s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", s);
  return buf;
}

// The record a worker sent, or one that says how it ended without one.
Json record_of(const Input& in, WorkerEnd end, const BatchOptions& opt) {
  std::vector<std::string_view> lines;
  for (std::string_view rest = end.output; !rest.empty();) {
    const std::size_t nl = rest.find('\n');
    if (nl == std::string_view::npos) break;  // a line cut off by the end of the worker
    lines.push_back(rest.substr(0, nl));
    rest.remove_prefix(nl + 1);
  }
  if (end.ending == Ending::exited && end.code == 0 && lines.size() == 2)
    if (std::optional<Json> r = parse_object(lines[1])) return *r;
  std::optional<veldrix::FileFormat> format;
  if (!lines.empty())
    if (std::optional<Json> f = parse_object(lines[0])) format = format_from_fields(*f);
  std::string why;
  switch (end.ending) {
    case Ending::signalled:
      why = "The analysis crashed (signal " + std::to_string(end.code) + ", " + ::strsignal(end.code) + ").";
      break;
    case Ending::timed_out: why = "The analysis ran past the time-out of " + seconds_text(opt.timeout) + " s."; break;
    case Ending::not_started: why = "The worker process could not be started: " + end.output + "."; break;
    case Ending::exited:
      why = "The analysis ended without a record (exit status " + std::to_string(end.code) + ").";
      break;
  }
  return record(in.file, Outcome{format, std::nullopt, why, end.seconds}, opt.analysis);
}

// Opens the output for writing. Non-blocking at first, so that a named pipe without a reader is
// refused at once instead of waiting for one.
std::FILE* open_output(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* f = ::fdopen(fd, "w");
  if (!f) ::close(fd);
  return f;
}

}  // namespace

int run_batch(std::span<const std::string> args) {
  auto parsed = parse_command_line(args, available_cores());
  if (const CommandEnd* stop = std::get_if<CommandEnd>(&parsed)) {
    std::fputs(stop->text.c_str(), stop->to_stderr ? stderr : stdout);
    return stop->status;
  }
  const BatchOptions& opt = std::get<BatchOptions>(parsed);

  // The output is opened before any work, so that a path that cannot be written is a usage error.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(nullptr, std::fclose);
  if (opt.output) {
    file.reset(open_output(*opt.output));
    if (!file) {
      std::fprintf(stderr, "veldrix-batch: cannot write \"%s\": %s\n", opt.output->c_str(), std::strerror(errno));
      return int(Exit::usage);
    }
  }
  std::FILE* out = file ? file.get() : stdout;
  for (const std::optional<std::string>& dir : {opt.superpose_dir, opt.plot_dir})
    if (dir)
      if (const std::optional<std::string> why = prepare_directory(*dir)) {
        std::fprintf(stderr, "veldrix-batch: cannot write into \"%s\": %s\n", dir->c_str(), why->c_str());
        return int(Exit::usage);
      }

  const std::vector<Input> inputs = find_inputs(opt.inputs, std::cin);
  const std::vector<std::string> names = output_names(inputs);
  if (inputs.empty() && !opt.quiet)
    std::fputs("veldrix-batch: no input found (an empty list, or no structure files in the directories)\n", stderr);

  const TestFault fault = TestFault::from_environment();
  Progress progress(!opt.quiet && ::isatty(STDERR_FILENO), inputs.size());
  RecordWriter writer(out, opt.format);

  PoolTasks tasks;
  tasks.count = inputs.size();
  tasks.work = [&](std::size_t i, int fd) { analyse_in_worker(inputs[i], names[i], opt, fault, fd); };
  const bool output_on_terminal = ::isatty(::fileno(out));
  tasks.ended = [&](std::size_t i, WorkerEnd end) {
    const Json r = record_of(inputs[i], std::move(end), opt);
    progress.count(r.value("status", "") == "ok");
    if (output_on_terminal) progress.clear();  // records and the progress line share the screen
    return writer.add(i, to_line(r), r);
  };
  tasks.tick = [&] { progress.draw(); };
  PoolSettings settings;
  settings.jobs = opt.jobs;
  settings.timeout = opt.timeout;
  if (!opt.quiet && ::isatty(STDERR_FILENO)) settings.tick_interval = 0.1;

  const PoolResult result = run_workers(tasks, settings);
  progress.clear();
  const bool interrupted = result.end == PoolEnd::interrupted;
  // Records that finished after an input the interruption left undone are written all the same.
  if (interrupted) writer.finish();
  int error = writer.error();
  if (file && std::fclose(file.release()) != 0 && error == 0) error = errno;
  if (error != 0) {
    std::fprintf(stderr, "veldrix-batch: cannot write the output: %s\n", std::strerror(error));
    return int(Exit::failed);
  }
  if (!opt.quiet)
    std::fprintf(
        stderr, "%s\n",
        summary_text(inputs.size(), progress.done(), progress.failed(), progress.elapsed(), interrupted).c_str());
  if (interrupted) return 128 + result.signal;
  return progress.failed() > 0 ? int(Exit::failed) : int(Exit::ok);
}

}  // namespace veldrix::batch

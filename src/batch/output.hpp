// What the batch writes: records in input order (JSON lines or TSV), the progress line, the summary.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <map>
#include <optional>
#include <string>

#include "batch/options.hpp"
#include "batch/record.hpp"

namespace veldrix::batch {

// The TSV header line and the rows of one record: one per domain, or one for a failed input or an
// input without domains. Tabs, newlines and backslashes in fields are escaped.
std::string tsv_header();
std::string tsv_rows(const Json& record);

// Writes records in input order whatever order they finish in; each is flushed as complete lines.
class RecordWriter {
 public:
  RecordWriter(std::FILE* out, OutputFormat format);
  // Takes the record of input `index` (`line` is its JSON text); false when the output failed.
  bool add(std::size_t index, std::string line, const Json& record);
  // Writes the records still held back for an earlier input that never finished (an interrupted run),
  // in input order; false when the output failed.
  bool finish();
  // The errno of the first failed write; 0 while none failed.
  int error() const { return error_; }

 private:
  bool write(const std::string& text);
  std::FILE* out_;
  OutputFormat format_;
  std::size_t next_ = 0;
  int error_ = 0;
  std::map<std::size_t, std::string> waiting_;  // finished, text ready, predecessors not yet written
};

// "120/200 done, 3 failed, 45.2/s, elapsed 0:02, ETA 0:01"
std::string progress_text(std::size_t done, std::size_t total, std::size_t failed, double elapsed);

// "53 inputs: 49 ok, 4 failed in 12.3 s", with the inputs not done when interrupted.
std::string summary_text(std::size_t total, std::size_t done, std::size_t failed, double elapsed, bool interrupted);

// One progress line on a terminal, redrawn in place at most 10 times a second.
class Progress {
 public:
  Progress(bool show, std::size_t total);
  void count(bool ok);
  void draw();   // when due
  void clear();  // removes the line
  std::size_t done() const { return done_; }
  std::size_t failed() const { return failed_; }
  double elapsed() const;

 private:
  bool show_;
  std::size_t total_, done_ = 0, failed_ = 0;
  std::chrono::steady_clock::time_point start_;
  std::optional<std::chrono::steady_clock::time_point> last_draw_;  // the rate limit outlives a clear
  bool visible_ = false;
};

}  // namespace veldrix::batch

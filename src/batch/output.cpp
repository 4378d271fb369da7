// Records in input order, TSV rows, and the progress and summary lines.
#include "batch/output.hpp"

#include <cerrno>
#include <cmath>

namespace veldrix::batch {

namespace {

std::string escape_field(std::string_view s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out;
}

// A field's text: strings as they are, numbers as in the JSON record, null empty.
std::string field(const Json& v) {
  if (v.is_null()) return "";
  if (v.is_string()) return escape_field(v.get<std::string>());
  return to_line(v);
}

std::string clock_text(double seconds) {
  const long s = std::lround(std::max(0.0, seconds));
  char buf[32];
  if (s >= 3600)
    std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
  return buf;
}

}  // namespace

std::string tsv_header() {
  return "file\tformat\tcompressed\tstatus\tdomain\tranges\trmsd\tgaps\tresidues\t"
         "backbone_rmsd\tbackbone_sd\tbackbone_atoms\theavy_rmsd\theavy_sd\theavy_atoms\t"
         "backbone_all_rmsd\tbackbone_all_sd\theavy_all_rmsd\theavy_all_sd\t"
         "rigid\tflexible\twarnings\terror\n";
}

std::string tsv_rows(const Json& r) {
  const Json& conf = r["conformers"];
  const std::string head =
      field(r["file"]) + '\t' + field(r["format"]) + '\t' + field(r["compressed"]) + '\t' + field(r["status"]) + '\t';
  std::string tail(1, '\t');
  tail.append(field(conf.is_object() ? conf["rigid"] : Json())).append(1, '\t');
  tail.append(field(conf.is_object() ? conf["flexible"] : Json())).append(1, '\t');
  tail.append(std::to_string(r["warnings"].size())).append(1, '\t').append(field(r["error"])).append(1, '\n');
  const Json& domains = r["domains"];
  if (domains.empty()) return std::string(head).append(14, '\t').append(tail);
  std::string rows;
  for (std::size_t i = 0; i < domains.size(); ++i) {
    const Json& d = domains[i];
    const Json& st = d["stats"];
    std::string stats;
    for (const char* part : {"backbone", "heavy"})
      stats += '\t' + field(st[part]["mean"]) + '\t' + field(st[part]["sd"]) + '\t' + field(st[part]["atoms"]);
    for (const char* part : {"backbone_all", "heavy_all"})
      stats += '\t' + field(st[part]["mean"]) + '\t' + field(st[part]["sd"]);
    rows += head + std::to_string(i + 1) + '\t' + field(d["ranges"]) + '\t' + field(d["rmsd"]) + '\t' +
            field(d["gaps"]) + '\t' + field(d["residues"]) + stats + tail;
  }
  return rows;
}

RecordWriter::RecordWriter(std::FILE* out, OutputFormat format) : out_(out), format_(format) {
  if (format_ == OutputFormat::tsv) write(tsv_header());
}

bool RecordWriter::write(const std::string& text) {
  if (error_ != 0) return false;
  if (std::fwrite(text.data(), 1, text.size(), out_) != text.size() || std::fflush(out_) != 0)
    error_ = errno != 0 ? errno : EIO;
  return error_ == 0;
}

bool RecordWriter::add(std::size_t index, std::string line, const Json& record) {
  waiting_[index] = format_ == OutputFormat::tsv ? tsv_rows(record) : std::move(line) + '\n';
  std::string ready;
  for (auto it = waiting_.begin(); it != waiting_.end() && it->first == next_; it = waiting_.erase(it), ++next_)
    ready += it->second;
  return ready.empty() || write(ready);
}

bool RecordWriter::finish() {
  std::string rest;
  for (const auto& [index, text] : waiting_) rest += text;
  waiting_.clear();
  return rest.empty() || write(rest);
}

std::string progress_text(std::size_t done, std::size_t total, std::size_t failed, double elapsed) {
  const double rate = elapsed > 0.0 ? double(done) / elapsed : 0.0;
  char buf[160];
  std::snprintf(buf, sizeof buf, "%zu/%zu done, %zu failed, %.1f/s, elapsed %s, ETA %s", done, total, failed, rate,
                clock_text(elapsed).c_str(), rate > 0.0 ? clock_text(double(total - done) / rate).c_str() : "-");
  return buf;
}

std::string summary_text(std::size_t total, std::size_t done, std::size_t failed, double elapsed, bool interrupted) {
  char buf[200];
  const int n = std::snprintf(buf, sizeof buf, "%zu input%s: %zu ok, %zu failed", total, total == 1 ? "" : "s",
                              done - failed, failed);
  std::string s(buf, std::size_t(std::max(0, n)));
  if (interrupted) s += ", " + std::to_string(total - done) + " not done (interrupted)";
  std::snprintf(buf, sizeof buf, " in %.1f s", elapsed);
  return s + buf;
}

Progress::Progress(bool show, std::size_t total)
    : show_(show), total_(total), start_(std::chrono::steady_clock::now()) {}

double Progress::elapsed() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void Progress::count(bool ok) {
  ++done_;
  if (!ok) ++failed_;
}

void Progress::draw() {
  const auto now = std::chrono::steady_clock::now();
  if (!show_ || (last_draw_ && now - *last_draw_ < std::chrono::milliseconds(100))) return;
  last_draw_ = now;
  visible_ = true;
  // Carriage return and clear to the end of the line: the line is redrawn in place.
  std::fprintf(stderr, "\r%s\033[K", progress_text(done_, total_, failed_, elapsed()).c_str());
  std::fflush(stderr);
}

void Progress::clear() {
  if (!visible_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  visible_ = false;
}

}  // namespace veldrix::batch

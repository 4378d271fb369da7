// Message output and print arguments.
#include "command/message.hpp"

#include <cstdio>
#include <optional>

#include "command/state.hpp"
#include "util/numbers.hpp"
#include "util/text.hpp"

namespace veldrix {

void stopit(int status) { throw Stop{status, {}}; }

namespace {

bool is_conversion(char c) { return c == 'd' || c == 'r' || c == 'e' || c == 'f' || c == 'g' || c == 's'; }

// Width or decimals of a placeholder, blanks ignored; anything unreadable or absurd counts as 0.
int format_number(std::string_view s) {
  const std::optional<int> v = read_int(s, {.blanks_ignored = true, .empty_is_zero = true, .sign = false});
  return v && *v <= 1000000 ? *v : 0;
}

int next_slot(PrintData& p, int count) {
  p.narg += count;
  if (p.narg > max_print_args) fatal_text("Too many print arguments.");
  return p.narg;
}

// The lines of a message at one level: prefix on the first, blanks of its width on the others.
std::vector<std::string> message_lines(const PrintData& p, int level, std::string_view text) {
  const std::string expanded = starts_with(text, "@_") ? squeze(fmtstr(p, text.substr(2))) : fmtstr(p, text);
  std::string_view first, next;
  switch (level) {
    case -3:
      first = "*** FATAL ERROR: ";
      next = "                 ";
      break;
    case -2:
      first = "*** ERROR: ";
      next = "           ";
      break;
    case -1:
      first = "*** WARNING: ";
      next = "             ";
      break;
    default:
      if (level >= 10)
        first = next = "";
      else
        first = next = "    ";
  }
  std::vector<std::string> lines;
  std::string_view rest = rtrim(expanded);
  for (;;) {
    const std::size_t brk = rest.find("@/");
    const std::string_view body = brk == std::string_view::npos ? rest : rest.substr(0, brk);
    std::string line(lines.empty() ? first : next);
    line.append(body);
    line.resize(rtrim(line).size());
    if (line.empty()) line.push_back(' ');  // an empty line is printed as one blank
    lines.push_back(std::move(line));
    if (brk == std::string_view::npos) break;
    rest = rest.substr(brk + 2);
  }
  return lines;
}

// What follows the prefix of a message's first line, its other lines as printed.
std::string after_prefix(const std::vector<std::string>& lines, std::size_t prefix) {
  std::string text = lines[0].size() > prefix ? lines[0].substr(prefix) : std::string();
  for (std::size_t k = 1; k < lines.size(); ++k) text += "\n" + lines[k];
  return text;
}

char slot_letter(int k) { return char(64 + k); }

}  // namespace

std::string fmtstr(const PrintData& p, std::string_view text) {
  const std::string_view t = rtrim(text);
  std::string out;
  out.reserve(t.size() + 32);
  int m = 0;
  std::size_t i = 0;
  while (i < t.size()) {
    if (t[i] != '%') {
      out.push_back(t[i++]);
      continue;
    }
    std::size_t j = i + 1;
    while (j < t.size() && !is_conversion(t[j]) && t[j] != '%') ++j;
    if (j >= t.size()) break;  // an unterminated placeholder drops the rest
    if (t[j] == '%') {         // "%...%" writes one "%"
      out.push_back('%');
      i = j + 1;
      continue;
    }
    const char conv = t[j];
    std::size_t s = i + 1;
    int k;
    if (t[s] >= 'A' && t[s] <= 'Z') {
      k = t[s] - 64;
      ++s;
    } else {
      k = ++m;
    }
    std::string_view format = t.substr(s, std::min<std::size_t>(j - s, 10));
    int w = 0, d = 0;
    if (auto dot = format.find('.'); dot != std::string_view::npos) {
      w = format_number(format.substr(0, std::min<std::size_t>(dot, 5)));
      d = format_number(format.substr(dot + 1, 5));
    } else {
      w = format_number(format.substr(0, 5));
    }
    i = j + 1;
    if (k < 1 || k > max_print_args) continue;
    std::string slot = p.sarg[k];
    if (conv == 'd') {
      slot = std::to_string(p.iarg[k]);
    } else if (conv == 'f') {
      char buf[400];
      std::snprintf(buf, sizeof buf, "%.*f", std::min(d, 9), p.rarg[k]);
      slot = buf;
    }
    if (conv != 's') slot = std::string(ltrim(slot));
    const std::string_view value = rtrim(slot);
    if (w > 0 && value.size() < std::size_t(w)) out.append(std::size_t(w) - value.size(), ' ');
    out.append(value);
  }
  return out;
}

std::string squeze(std::string_view text) {
  std::string r;
  r.reserve(text.size());
  for (char c : ltrim(text)) {
    if (c == ' ' && !r.empty() && r.back() == ' ') continue;
    r.push_back(c);
  }
  return r;
}

void putlin(CommandState& s, int level, std::string_view text) {
  PrintData& p = s.printdata;
  if (level == 0 || (level >= 10 ? level - 10 : level) > p.infos) {
    p.narg = 0;
    return;
  }
  std::vector<std::string> lines = message_lines(p, level, text);
  p.narg = 0;
  if (level == -3) throw Stop{1, after_prefix(lines, 17)};
  if (level == -1) p.warnings.push_back(after_prefix(lines, 13));
  for (std::string& line : lines) p.lines.push_back(std::move(line));
}

void wrnmsg(CommandState& s, std::string_view text) { putlin(s, -1, text); }

void fatmsg(CommandState& s, std::string_view text) {
  putlin(s, -3, text);
  throw Stop{1, {}};  // not reached: putlin throws a fatal message
}

void fatal_text(std::string_view text) {
  PrintData plain;
  throw Stop{1, after_prefix(message_lines(plain, -3, text), 17)};
}

void aloerr(CommandState& s, std::string_view file, int line) {
  const std::string l = intp(s, line);
  fatmsg(s, "Memory allocation error in line " + l + " of " + strq(s, file) + ".");
}

void cannot_read(CommandState& s, int number, std::string_view text) {
  fatmsg(s, "Cannot read line " + intp(s, number) + ":" + "@/" + strp(s, text));
}

std::string intp(CommandState& s, int value) {
  const int k = next_slot(s.printdata, 1);
  s.printdata.iarg[k] = value;
  return std::string{'%', slot_letter(k), 'd'};
}

std::string realf(CommandState& s, double value, int w, int d) {
  const int k = next_slot(s.printdata, 1);
  s.printdata.rarg[k] = value;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%%%c%3d.%2df", slot_letter(k), w, d);
  return buf;
}

std::string strp(CommandState& s, std::string_view text) {
  const int k = next_slot(s.printdata, 1);
  s.printdata.sarg[k] = std::string(text);
  return std::string{'%', slot_letter(k), 's'};
}

std::string strq(CommandState& s, std::string_view text) {
  return std::string(1, '"').append(strp(s, text)).append(1, '"');
}

std::string plural(CommandState& s, int n, std::string_view word) {
  const int k2 = next_slot(s.printdata, 2);
  const int k1 = k2 - 1;
  s.printdata.iarg[k1] = n;
  s.printdata.sarg[k2] = n == 1 ? std::string(word) : std::string(rtrim(word)) + "s";
  return std::string{'%', slot_letter(k1), 'd', ' ', '%', slot_letter(k2), 's'};
}

}  // namespace veldrix

// Message output and print arguments.
#include "command/message.hpp"

#include <cstdio>

#include "command/praxel.hpp"
#include "util/text.hpp"

namespace veldrix {

void stopit(int status) { throw Stop{status}; }

void reset_printdata() { printdata = PrintData{}; }

namespace {

bool is_conversion(char c) {
  return c == 'd' || c == 'r' || c == 'e' || c == 'f' || c == 'g' || c == 's';
}

// Integer of a placeholder's width or decimals, blanks ignored; anything unreadable counts as 0.
int format_number(std::string_view s) {
  int v = 0;
  bool any = false;
  for (char c : s) {
    if (c == ' ') continue;
    if (c < '0' || c > '9') return 0;
    v = v * 10 + (c - '0');
    any = true;
    if (v > 1000000) return 0;
  }
  return any ? v : 0;
}

int next_slot(int count) {
  printdata.narg += count;
  if (printdata.narg > max_print_args) fatmsg("Too many print arguments.");
  return printdata.narg;
}

char slot_letter(int k) { return char(64 + k); }

}  // namespace

std::string fmtstr(std::string_view text) {
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
    std::string& slot = printdata.sarg[k];
    if (conv == 'd') {
      slot = std::to_string(printdata.iarg[k]);
    } else if (conv == 'f') {
      char buf[400];
      std::snprintf(buf, sizeof buf, "%.*f", std::min(d, 9), printdata.rarg[k]);
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

void putlin(int level, std::string_view text) {
  printdata.narg = 0;
  if (level == 0) return;
  const PraxelData& px = praxeldata;
  if (px.infos < 5 && px.iploop == 0 && px.icrank != 0) return;

  const std::string expanded = starts_with(text, "@_") ? squeze(fmtstr(text.substr(2))) : fmtstr(text);
  const int eff = level >= 10 ? level - 10 : level;

  std::string_view first, next;
  switch (level) {
    case -3: first = "*** FATAL ERROR: "; next = "                 "; break;
    case -2: first = "*** ERROR: "; next = "           "; praxeldata.erflag = true; break;
    case -1: first = "*** WARNING: "; next = "             "; break;
    default:
      if (level >= 10) first = next = "";
      else first = next = "    ";
  }

  const bool shown = px.iured < 1 || eff < 0;
  if (!shown || eff > px.infos) return;

  // Warnings and the fatal message are also kept as texts: what follows the prefix.
  std::string message;
  std::string_view rest = rtrim(expanded);
  bool first_line = true;
  for (;;) {
    const std::size_t brk = rest.find("@/");
    const std::string_view body = brk == std::string_view::npos ? rest : rest.substr(0, brk);
    std::string line(first_line ? first : next);
    line.append(body);
    line.resize(rtrim(line).size());
    if (line.empty()) line = " ";
    if (level == -1 || level == -3) {
      if (!first_line) message += '\n';
      message.append(first_line ? std::string_view(line).substr(std::min(line.size(), first.size())) : line);
    }
    if (level != -3) printdata.lines.push_back(std::move(line));
    first_line = false;
    if (brk == std::string_view::npos) break;
    rest = rest.substr(brk + 2);
  }
  if (level == -1) printdata.warnings.push_back(std::move(message));
  if (level == -3) printdata.fatal = std::move(message);
}

void wrnmsg(std::string_view text) { putlin(-1, text); }
void errmsg(std::string_view text) { putlin(-2, text); }

void fatmsg(std::string_view text) {
  putlin(-3, text);
  stopit(1);
}

void aloerr(std::string_view file, int line) {
  const std::string l = intp(line);
  fatmsg("Memory allocation error in line " + l + " of " + strq(file) + ".");
}

int inflev() { return std::max(praxeldata.infos, praxeldata.infof); }

std::string intp(int value) {
  const int k = next_slot(1);
  printdata.iarg[k] = value;
  return std::string{'%', slot_letter(k), 'd'};
}

std::string realf(double value, int w, int d) {
  const int k = next_slot(1);
  printdata.rarg[k] = value;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%%%c%3d.%2df", slot_letter(k), w, d);
  return buf;
}

std::string strp(std::string_view text) {
  const int k = next_slot(1);
  printdata.sarg[k] = std::string(text);
  return std::string{'%', slot_letter(k), 's'};
}

std::string strq(std::string_view text) { return std::string(1, '"').append(strp(text)).append(1, '"'); }

std::string plural(int n, std::string_view word) {
  const int k2 = next_slot(2);
  const int k1 = k2 - 1;
  printdata.iarg[k1] = n;
  printdata.sarg[k2] = n == 1 ? std::string(word) : std::string(rtrim(word)) + "s";
  return std::string{'%', slot_letter(k1), 'd', ' ', '%', slot_letter(k2), 's'};
}

}  // namespace veldrix

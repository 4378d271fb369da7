// Command parameter parsing.
#include "command/params.hpp"

#include <algorithm>
#include <optional>
#include <type_traits>

#include "command/eva.hpp"
#include "command/message.hpp"
#include "command/state.hpp"
#include "util/text.hpp"

namespace veldrix {

namespace {

constexpr std::size_t only_positional = 1000;  // abbreviation length no word reaches
constexpr int range_limit = 10000000;          // allowed range of unbounded "@ii" and "@rr" values

enum class Kind { text, keywords, integer, int_range, real, real_range, file };

// One bound of a numeric format ("0<@i", "@r<=5").
struct Bound {
  double value = 0.0;
  bool strict = false;
};

// One row of the working table of the template being parsed.
struct Entry {
  std::string name;
  std::size_t minabb = 1;
  bool is_option = false;
  // Parameters only.
  std::string format, dflt;
  bool has_default = false;
  bool named_only = false;  // "name==format": a bare word equal to the name is an error
  Kind kind = Kind::text;
  std::optional<Bound> lo, hi;
  std::string ext;  // default extension of a file name, may hold "$name"
  // Options only: entry number of the first option of the exclusion group.
  int group = 0;
};

struct Template {
  std::vector<Entry> entries;  // parameters first, then options
  int npar = 0;
  int npos = 0;  // positional parameters: those before the first "*" or "**"
  bool star = false, starstar = false;
};

bool is_name_char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

[[noreturn]] void fail_quoted(CommandState& s, std::string_view head, std::string_view x, std::string_view tail = ".") {
  const std::string q = strq(s, x);
  fatmsg(s, std::string(head) + q + std::string(tail));
}

// Strips the abbreviation mark: "str*ucture" may be shortened to "str", "*file" only filled by position.
void set_name(Entry& e, std::string_view raw) {
  if (!raw.empty() && raw[0] == '*') {
    e.minabb = only_positional;
    raw.remove_prefix(1);
  }
  std::string name;
  for (char c : raw) {
    if (c == '*') {
      if (e.minabb != only_positional) e.minabb = std::max<std::size_t>(name.size(), 1);
      continue;
    }
    name.push_back(c);
  }
  e.name = field(name, pname_width);
}

std::optional<Bound> read_bound(std::string_view text, bool integer) {
  int err = 0;
  Bound b;
  if (integer)
    b.value = ieva(text, err);
  else
    b.value = reva(text, err);
  if (err != 0) return std::nullopt;
  return b;
}

// Splits a format into its kind, bounds and default extension.
void parse_format(CommandState& s, Entry& e) {
  const std::string_view f = e.format;
  const std::size_t at = f.find('@');
  if (at == std::string_view::npos) {
    if (f.find('$') != std::string_view::npos) fatmsg(s, "Illegal use of \"$\" in format.");
    e.kind = f.empty() || f == "*" ? Kind::text : Kind::keywords;
    return;
  }
  std::string_view before = f.substr(0, at);
  std::string_view code = f.substr(at + 1);
  std::size_t len = 0;
  if (starts_with(code, "ii"))
    e.kind = Kind::int_range, len = 2;
  else if (starts_with(code, "i"))
    e.kind = Kind::integer, len = 1;
  else if (starts_with(code, "rr"))
    e.kind = Kind::real_range, len = 2;
  else if (starts_with(code, "r"))
    e.kind = Kind::real, len = 1;
  else if (starts_with(code, "f"))
    e.kind = Kind::file, len = 1;
  else
    e.kind = Kind::text;
  std::string_view after = code.substr(len);
  if (before.find('$') != std::string_view::npos) fatmsg(s, "Illegal use of \"$\" in format.");
  if (e.kind == Kind::file) {
    e.ext = std::string(after);
    return;
  }
  if (after.find('$') != std::string_view::npos) fatmsg(s, "Illegal use of \"$\" in format.");
  if (e.kind == Kind::text) return;
  const bool integer = e.kind == Kind::integer || e.kind == Kind::int_range;
  // "lo<@i" / "lo<=@i"
  if (!before.empty() && before.back() == '=' && before.size() >= 2 && before[before.size() - 2] == '<') {
    e.lo = read_bound(before.substr(0, before.size() - 2), integer);
  } else if (!before.empty() && before.back() == '<') {
    e.lo = read_bound(before.substr(0, before.size() - 1), integer);
    if (e.lo) e.lo->strict = true;
  }
  // "@i<hi" / "@i<=hi"
  if (starts_with(after, "<=")) {
    e.hi = read_bound(after.substr(2), integer);
  } else if (starts_with(after, "<")) {
    e.hi = read_bound(after.substr(1), integer);
    if (e.hi) e.hi->strict = true;
  }
}

// End of the format inside "format=default": the first "=" that is not part of "<=".
std::size_t format_end(std::string_view rest) {
  for (std::size_t k = 0; k < rest.size(); ++k)
    if (rest[k] == '=' && (k == 0 || rest[k - 1] != '<')) return k;
  return std::string_view::npos;
}

Template parse_template(CommandState& s, std::string_view templ) {
  std::string_view t = ltrim(templ);
  // A leading "name:" names the command; no command of this program needs its name.
  const std::size_t colon = t.find(':');
  const std::size_t eq = t.find('=');
  if (colon != std::string_view::npos && (eq == std::string_view::npos || colon < eq)) t = t.substr(colon + 1);
  Template tp;
  std::vector<Entry> options;
  bool positional_closed = false;
  std::size_t i = 0;
  while (i < t.size()) {
    while (i < t.size() && t[i] == ' ') ++i;
    if (i >= t.size()) break;
    std::size_t j = i;
    while (j < t.size() && t[j] != ' ') ++j;
    const std::string_view item = t.substr(i, j - i);
    i = j;
    if (item == "*" || item == "**") {
      (item == "*" ? tp.star : tp.starstar) = true;
      positional_closed = true;
      continue;
    }
    const std::size_t e1 = item.find('=');
    if (e1 == std::string_view::npos) {
      // Options; "a|b|c" forms one exclusion group.
      const int first = int(options.size());
      std::size_t p = 0;
      for (;;) {
        const std::size_t bar = item.find('|', p);
        Entry o;
        o.is_option = true;
        set_name(o, item.substr(p, bar == std::string_view::npos ? std::string_view::npos : bar - p));
        o.group = first;  // position among the options; made an entry number below
        options.push_back(std::move(o));
        if (bar == std::string_view::npos) break;
        p = bar + 1;
      }
      continue;
    }
    Entry e;
    set_name(e, item.substr(0, e1));
    std::string_view rest = item.substr(e1 + 1);
    if (!rest.empty() && rest[0] == '=') {
      e.named_only = true;
      rest.remove_prefix(1);
    }
    const std::size_t e2 = format_end(rest);
    e.format = std::string(rest.substr(0, e2));
    if (e2 != std::string_view::npos) {
      e.has_default = true;
      e.dflt = field(rest.substr(e2 + 1), value_width);
    }
    parse_format(s, e);
    tp.entries.push_back(std::move(e));
    if (!positional_closed) ++tp.npos;
  }
  tp.npar = int(tp.entries.size());
  for (Entry& o : options) {
    o.group += tp.npar + 1;
    tp.entries.push_back(std::move(o));
  }
  // A "$name" in a default extension must name a parameter of this template.
  for (const Entry& e : tp.entries) {
    if (e.kind != Kind::file) continue;
    for (std::size_t d = e.ext.find('$'); d != std::string::npos; d = e.ext.find('$', d + 1)) {
      std::size_t k = d + 1;
      while (k < e.ext.size() && is_name_char(e.ext[k])) ++k;
      const std::string_view ref = std::string_view(e.ext).substr(d + 1, k - d - 1);
      const bool known =
          std::any_of(tp.entries.begin(), tp.entries.begin() + tp.npar, [&](const Entry& x) { return x.name == ref; });
      if (ref.empty() || !known) fatmsg(s, "Illegal use of \"$\" in format.");
    }
  }
  return tp;
}

// Makes room for n entries in paramdata and clears them.
void prepare_paramdata(ParamData& pd, const Template& tp) {
  const int n = std::max(int(tp.entries.size()), param_capacity);
  if (int(pd.pnam.extent()) < n || !pd.pnam.allocated()) {
    pd.pnam.allocate(Dim(n));
    pd.pval.allocate(Dim(n));
    pd.ipar.allocate(Dim(2), Dim(n));
    pd.rpar.allocate(Dim(2), Dim(n));
    pd.havep.allocate(Dim(n));
    pd.havex.allocate(Dim(n));
  }
  pd.pnam.fill(std::string());
  pd.pval.fill(std::string());
  pd.ipar.fill(0);
  pd.rpar.fill(0.0);
  pd.havep.fill(false);
  pd.havex.fill(false);
  pd.npar = tp.npar;
  pd.nopt = int(tp.entries.size());
  for (int k = 1; k <= pd.nopt; ++k) pd.pnam(k) = tp.entries[std::size_t(k - 1)].name;
}

// Replaces every "$name" of a default extension by that parameter's value.
std::string expand_ext(const ParamData& pd, const Template& tp, std::string_view ext) {
  std::string out;
  std::size_t k = 0;
  while (k < ext.size()) {
    if (ext[k] != '$') {
      out.push_back(ext[k++]);
      continue;
    }
    std::size_t m = k + 1;
    while (m < ext.size() && is_name_char(ext[m])) ++m;
    const std::string_view ref = ext.substr(k + 1, m - k - 1);
    for (int p = tp.npar; p >= 1; --p)
      if (tp.entries[std::size_t(p - 1)].name == ref) {
        out += rtrim(pd.pval(p));
        break;
      }
    k = m;
  }
  return out;
}

bool within(double v, const std::optional<Bound>& lo, const std::optional<Bound>& hi) {
  if (lo && (lo->strict ? v <= lo->value : v < lo->value)) return false;
  if (hi && (hi->strict ? v >= hi->value : v > hi->value)) return false;
  return true;
}

template <class T>
bool read_range(std::string_view text, T& lo, T& hi, bool dash, bool* lo_given, bool* hi_given);

// Converts the value of parameter k; false when it is refused.
bool convert(ParamData& pd, const Entry& e, int k) {
  std::string& v = pd.pval(k);
  int err = 0;
  switch (e.kind) {
    case Kind::text:
    case Kind::file: return true;
    case Kind::keywords: {
      const int pos = inlist(v, e.format);
      pd.ipar(1, k) = pos;
      return pos > 0;
    }
    case Kind::integer: {
      const int x = ieva(v, err);
      if (err != 0 || !within(x, e.lo, e.hi)) return false;
      pd.ipar(1, k) = x;
      return true;
    }
    case Kind::real: {
      const double x = reva(v, err);
      if (err != 0 || !within(x, e.lo, e.hi)) return false;
      pd.rpar(1, k) = x;
      return true;
    }
    case Kind::int_range: {
      // Strict integer bounds become inclusive ones.
      int lo = -range_limit, hi = range_limit;
      if (e.lo) lo = int(e.lo->value) + (e.lo->strict ? 1 : 0);
      if (e.hi) hi = int(e.hi->value) - (e.hi->strict ? 1 : 0);
      if (!rangei(v, lo, hi)) return false;
      pd.ipar(1, k) = lo;
      pd.ipar(2, k) = hi;
      return true;
    }
    case Kind::real_range: {
      double lo = e.lo ? e.lo->value : -double(range_limit);
      double hi = e.hi ? e.hi->value : double(range_limit);
      // An end left out is the bound itself; only the ends given must respect strict bounds.
      bool lo_given = false, hi_given = false;
      if (!read_range(v, lo, hi, false, &lo_given, &hi_given)) return false;
      if ((lo_given && !within(lo, e.lo, e.hi)) || (hi_given && !within(hi, e.lo, e.hi))) return false;
      pd.rpar(1, k) = lo;
      pd.rpar(2, k) = hi;
      return true;
    }
  }
  return false;
}

// Entry of a fetch routine's name: exact, last entry first; 0 when absent.
int find_entry(const ParamData& pd, std::string_view name, int first, int last) {
  const std::string_view n = rtrim(name);
  for (int k = last; k >= first; --k)
    if (pd.pnam(k) == n) return k;
  return 0;
}

int entry_or_stop(CommandState& s, std::string_view name) {
  const int k = find_entry(s.paramdata, name, 1, s.paramdata.nopt);
  if (k == 0) fail_quoted(s, "Illegal parameter ", rtrim(name));
  return k;
}

// Reads an integer or real range end; empty keeps the old value.
template <class T>
bool range_end(std::string_view s, T& value) {
  if (is_blank(s)) return true;
  int err = 0;
  if constexpr (std::is_same_v<T, int>)
    value = ieva(s, err);
  else
    value = reva(s, err);
  return err == 0;
}

// dash: "a-b" separates too. lo_given/hi_given tell which ends the text named.
template <class T>
bool read_range(std::string_view text, T& lo, T& hi, bool dash, bool* lo_given, bool* hi_given) {
  const std::string_view t = trim(text);
  if (t == "*") return true;
  T a = lo, b = hi;
  std::size_t sep = t.find("..");
  std::size_t width = 2;
  if (sep == std::string_view::npos && dash && t.size() > 1) {
    sep = t.find('-', 1);
    width = 1;
  }
  if (sep == std::string_view::npos) {
    if (is_blank(t) || !range_end(t, a)) return false;
    b = a;
    if (lo_given) *lo_given = true;
    if (hi_given) *hi_given = true;
  } else {
    const std::string_view p = t.substr(0, sep), q = t.substr(sep + width);
    if (!range_end(p, a) || !range_end(q, b)) return false;
    if (lo_given) *lo_given = !is_blank(p);
    if (hi_given) *hi_given = !is_blank(q);
  }
  if (a < lo || b > hi || a > b) return false;
  lo = a;
  hi = b;
  return true;
}

}  // namespace

void params(CommandState& s, std::vector<std::string>& words, std::string_view templ) {
  const Template tp = parse_template(s, templ);
  ParamData& pd = s.paramdata;
  prepare_paramdata(pd, tp);
  const int nwords = int(words.size());
  if (nwords > pd.nopt && !tp.star && !tp.starstar)
    fail_quoted(s, "Illegal parameter ", rtrim(words[std::size_t(pd.nopt)]));

  std::vector<std::string> names(tp.entries.size());
  std::vector<std::size_t> minabb(tp.entries.size());
  for (std::size_t k = 0; k < tp.entries.size(); ++k) {
    names[k] = tp.entries[k].name;
    minabb[k] = tp.entries[k].minabb;
  }

  std::vector<bool> handed_back(std::size_t(nwords), false);
  for (int i = 1; i <= nwords; ++i) {
    const std::string w = field(words[std::size_t(i - 1)], value_width);
    std::size_t len = 0;
    while (len < w.size() && is_name_char(w[len])) ++len;
    const std::string_view name = std::string_view(w).substr(0, len);
    if (len > 0) {
      const int k = icoman(name, names, minabb);
      if (len < w.size() && w[len] == '=') {
        // name=value
        if (k < 0) fail_quoted(s, "Ambiguous parameter name ", name);
        if (k == 0) {
          if (!tp.starstar) fail_quoted(s, "Unknown parameter name ", name);
          handed_back[std::size_t(i - 1)] = true;
          continue;
        }
        const Entry& e = tp.entries[std::size_t(k - 1)];
        if (e.is_option) fail_quoted(s, "Option ", name, " must not have a value.");
        if (pd.havep(k)) fail_quoted(s, "Duplicate parameter ", name);
        pd.pval(k) = w.substr(len + 1);
        pd.havep(k) = true;
        continue;
      }
      if (len == w.size() && k > 0) {
        const Entry& e = tp.entries[std::size_t(k - 1)];
        if (len >= std::min<std::size_t>(4, e.name.size())) {
          if (e.is_option) {
            if (pd.havex(e.group)) fail_quoted(s, "Duplicate or contradicting option ", name);
            pd.havep(k) = true;
            pd.havex(e.group) = true;
            continue;
          }
          if (e.named_only) fail_quoted(s, "Missing value for parameter ", name);
        }
      }
    }
    // A positional value: word i fills parameter i.
    if (i <= tp.npos) {
      if (pd.havep(i)) fail_quoted(s, "Duplicate parameter ", pd.pnam(i));
      pd.pval(i) = w;
      pd.havep(i) = true;
    } else if (tp.star || tp.starstar) {
      handed_back[std::size_t(i - 1)] = true;
    } else {
      fail_quoted(s, "Illegal parameter ", w);
    }
  }

  // The handed-back words move to the front.
  std::size_t kept = 0;
  for (std::size_t i = 0; i < std::size_t(nwords); ++i)
    if (handed_back[i]) {
      if (kept != i) words[kept] = std::move(words[i]);
      ++kept;
    }
  words.resize(kept);

  // Defaults and conversion; file names last, so that "$name" sees converted values.
  for (int pass = 1; pass <= 2; ++pass) {
    for (int k = 1; k <= tp.npar; ++k) {
      const Entry& e = tp.entries[std::size_t(k - 1)];
      if ((e.kind == Kind::file) != (pass == 2)) continue;
      if (!pd.havep(k)) {
        if (!e.has_default) fail_quoted(s, "Missing parameter ", e.name);
        pd.pval(k) = e.dflt;
      }
      if (e.kind == Kind::file) {
        appext(pd.pval(k), expand_ext(pd, tp, e.ext));
        pd.pval(k) = field(pd.pval(k), value_width);
        continue;
      }
      const std::string given = pd.pval(k);
      if (convert(pd, e, k)) continue;
      const std::string v = strq(s, rtrim(given));
      const std::string x = strq(s, e.name);
      fatmsg(s, "Illegal value " + v + " for parameter " + x + ".");
    }
  }
}

std::string getpar(CommandState& s, std::string_view name) { return s.paramdata.pval(entry_or_stop(s, name)); }

int iparam(CommandState& s, std::string_view name) { return s.paramdata.ipar(1, entry_or_stop(s, name)); }

double rparam(CommandState& s, std::string_view name) { return s.paramdata.rpar(1, entry_or_stop(s, name)); }

bool havpar(CommandState& s, std::string_view name) { return s.paramdata.havep(entry_or_stop(s, name)); }

bool option(CommandState& s, std::string_view name) {
  const ParamData& pd = s.paramdata;
  const int k = find_entry(pd, name, pd.npar + 1, pd.nopt);
  if (k == 0) fail_quoted(s, "Illegal option ", rtrim(name));
  return pd.havep(k);
}

int icoman(std::string_view word, std::span<const std::string> list, std::span<const std::size_t> minabb) {
  const std::string_view w = rtrim(word);
  int found = 0;
  bool ambiguous = false;
  for (std::size_t k = 0; k < list.size(); ++k) {
    const std::string_view name = rtrim(list[k]);
    const std::size_t need = k < minabb.size() ? minabb[k] : 1;
    if (w.size() < need || w.size() > name.size() || name.substr(0, w.size()) != w) continue;
    if (w.size() == name.size()) return int(k + 1);
    if (found == 0)
      found = int(k + 1);
    else
      ambiguous = true;
  }
  return ambiguous ? -1 : found;
}

int inlist(std::string& value, std::string_view alternatives) {
  const std::string_view v = rtrim(value);
  int pos = 0, prefix_pos = 0, prefixes = 0, any_pos = 0;
  std::string prefix_word;
  std::size_t p = 0;
  for (;;) {
    ++pos;
    const std::size_t bar = alternatives.find('|', p);
    const std::string_view alt =
        rtrim(alternatives.substr(p, bar == std::string_view::npos ? std::string_view::npos : bar - p));
    const bool last = bar == std::string_view::npos;
    if (last && alt == "*") {
      any_pos = pos;
    } else if (alt == v) {
      value = std::string(alt);
      return pos;
    } else if (starts_with(alt, v)) {
      ++prefixes;
      prefix_pos = pos;
      prefix_word = std::string(alt);
    }
    if (last) break;
    p = bar + 1;
  }
  if (prefixes == 1) {
    value = prefix_word;
    return prefix_pos;
  }
  if (prefixes == 0 && any_pos > 0) return any_pos;
  return 0;
}

bool rangei(std::string_view text, int& lo, int& hi) { return read_range(text, lo, hi, true, nullptr, nullptr); }

void appext(std::string& name, std::string_view ext) {
  const std::string_view n = rtrim(name);
  if (n.empty() || n == "*") return;
  if (n.back() == '|') {
    name = std::string(n.substr(0, n.size() - 1));
    return;
  }
  const std::size_t dir = n.find_last_of(":]/");
  const std::size_t dot = n.rfind('.');
  const bool has_ext = dot != std::string_view::npos && (dir == std::string_view::npos || dot > dir);
  name = std::string(n);
  if (!has_ext) name += rtrim(ext);
}

}  // namespace veldrix

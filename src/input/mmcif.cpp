// PDBx/mmCIF coordinates as PDB text: gemmi's CIF grammar with actions that keep only the atom table.
#include "input/mmcif.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <vector>

#include <gemmi/cif.hpp>

#include "input/source.hpp"

namespace veldrix {

namespace {

namespace pegtl = tao::pegtl;
namespace rules = gemmi::cif::rules;

// The _atom_site items the conversion reads.
enum Slot : std::uint8_t {
  group,
  atom_auth,
  atom_label,
  alt,
  comp_auth,
  comp_label,
  asym_auth,
  asym_label,
  seq_auth,
  seq_label,
  ins_code,
  x,
  y,
  z,
  occupancy,
  b_iso,
  element,
  model,
  entity,
  slot_count,
  unused = 0xff
};

constexpr std::array<std::string_view, slot_count> slot_items = {
    "group_pdb",      "auth_atom_id",  "label_atom_id", "label_alt_id",   "auth_comp_id",      "label_comp_id",
    "auth_asym_id",   "label_asym_id", "auth_seq_id",   "label_seq_id",   "pdbx_pdb_ins_code", "cartn_x",
    "cartn_y",        "cartn_z",       "occupancy",     "b_iso_or_equiv", "type_symbol",       "pdbx_pdb_model_num",
    "label_entity_id"};

char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }
char upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

// The item name of a tag of the category ("_atom_site." for "atom_site"), or nullopt.
std::optional<std::string_view> item_of(std::string_view tag, std::string_view category) {
  if (tag.size() < category.size() + 2 || tag[0] != '_' || tag[category.size() + 1] != '.') return std::nullopt;
  if (!iequals(tag.substr(1, category.size()), category)) return std::nullopt;
  return tag.substr(category.size() + 2);
}

Slot slot_of(std::string_view item) {
  for (std::size_t s = 0; s < slot_items.size(); ++s)
    if (iequals(item, slot_items[s])) return Slot(s);
  return unused;
}

// A value as its text: quotes and text-field delimiters removed. The null values
// "?" and "." (unquoted) give an empty view without data, which the conversion
// treats like an absent item.
std::string_view value_text(const char* p, std::size_t n) {
  if (n == 1 && (*p == '?' || *p == '.')) return {};
  if (n >= 2 && (*p == '\'' || *p == '"')) return {p + 1, n - 2};
  if (n >= 2 && *p == ';' && p[n - 1] == ';' && p[n - 2] == '\n') {
    std::size_t end = n - 2;  // a text field: from after the first ';' to before the last line break
    if (end > 1 && p[end - 1] == '\r') --end;
    return {p + 1, end - 1};
  }
  return {p, n};
}

bool present(std::string_view v) { return v.data() != nullptr; }

std::string quoted(std::string_view s) {
  std::string q;  // appended piece by piece: gcc 12 warns falsely of overlap in a + b + c at -O3
  q.reserve(s.size() + 2);
  q.push_back('"');
  q.append(s);
  q.push_back('"');
  return q;
}

[[noreturn]] void fail(const std::string& message) { throw InputError(message); }

// Writes the decimal number `text` as printf("%*.*f") would write its value, right-justified
// in `width` columns. False when it is not a number or does not fit.
bool write_fixed(std::string_view text, int width, int decimals, char* out) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::size_t int_begin = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  std::string_view int_part = text.substr(int_begin, i - int_begin);
  std::string_view frac_part;
  if (i < text.size() && text[i] == '.') {
    const std::size_t frac_begin = ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    frac_part = text.substr(frac_begin, i - frac_begin);
  }
  // A standard uncertainty in parentheses, as CIF numbers may carry it, does not count.
  std::size_t end = text.size();
  if (i < text.size() && text[i] == '(' && text.back() == ')') end = i;
  if (int_part.empty() && frac_part.empty()) return false;
  if (i == end && frac_part.size() <= std::size_t(decimals)) {
    // Exact: the digits are written as they are, the fraction padded with zeros.
    while (int_part.size() > 1 && int_part[0] == '0') int_part.remove_prefix(1);
    const std::size_t length =
        (negative ? 1 : 0) + std::max<std::size_t>(int_part.size(), 1) + 1 + std::size_t(decimals);
    if (length > std::size_t(width)) return false;
    char* p = out + (std::size_t(width) - length);
    std::memset(out, ' ', std::size_t(width) - length);
    if (negative) *p++ = '-';
    if (int_part.empty()) *p++ = '0';
    for (char c : int_part) *p++ = c;
    *p++ = '.';
    for (int k = 0; k < decimals; ++k) *p++ = std::size_t(k) < frac_part.size() ? frac_part[std::size_t(k)] : '0';
    return true;
  }
  // More decimals or an exponent: rounded as printf rounds the value.
  const std::string_view number = text.substr(negative || text[0] != '+' ? 0 : 1, end - (text[0] == '+' ? 1 : 0));
  double value = 0.0;
  const auto [stop, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (ec != std::errc() || stop != number.data() + number.size() || !std::isfinite(value)) return false;
  char buffer[64];
  const int n = std::snprintf(buffer, sizeof buffer, "%*.*f", width, decimals, value);
  if (n != width) return false;
  std::memcpy(out, buffer, std::size_t(width));
  return true;
}

std::optional<int> integer(std::string_view text) {
  int value = 0;
  const char* begin = text.data();
  if (!text.empty() && text[0] == '+') ++begin;
  const auto [stop, ec] = std::from_chars(begin, text.data() + text.size(), value);
  if (ec != std::errc() || stop != text.data() + text.size() || begin == stop) return std::nullopt;
  return value;
}

// Whether the text can stand in fixed PDB columns: no line breaks or other control characters.
bool printable(std::string_view s) {
  for (char c : s)
    if ((unsigned char)c < 0x20 || c == 0x7f) return false;
  return true;
}

constexpr std::size_t record_width = 80;

// The conversion's state while the grammar runs over the text.
class Converter {
 public:
  // Room for one record per line of the text (the usual layout of the atom table),
  // so that the text is not copied while it grows; at most twice the text's size.
  explicit Converter(std::string_view cif) {
    std::size_t lines = 1;
    for (const char* p = cif.data();
         (p = static_cast<const char*>(std::memchr(p, '\n', std::size_t(cif.data() + cif.size() - p)))) != nullptr; ++p)
      ++lines;
    out_.reserve(std::min(lines * (record_width + 1), 2 * cif.size()));
  }

  // Parser events.
  void block() {
    ++blocks_;
    finish_loop();
  }
  void frame(bool inside) { in_frame_ = inside; }
  void item_tag(std::string_view tag, std::size_t line) {
    pending_tag_ = tag;
    pending_line_ = line;
  }
  // A tag followed by another tag or the end: reported at the tag's line.
  [[noreturn]] void missing_value() const {
    throw InputError("mmCIF syntax error in line " + std::to_string(pending_line_) + ": tag " +
                     std::string(pending_tag_) + " without value.");
  }
  void item_value(std::string_view value) {
    if (!collecting()) return;
    if (const auto item = item_of(pending_tag_, "atom_site")) {
      if (atoms_done_) fail("The _atom_site table appears more than once.");
      const Slot s = slot_of(*item);
      pair_row_ = true;
      if (s != unused) {
        pair_values_[s] = value;
        pair_columns_[s] = true;
      }
    } else if (const auto e = item_of(pending_tag_, "entity")) {
      if (iequals(*e, "id")) entity_pair_.first = value;
      if (iequals(*e, "type")) entity_pair_.second = value;
    }
  }
  void loop_start() {
    finish_loop();
    kind_ = Kind::other;
    columns_ = 0;
    column_ = 0;
  }
  void loop_tag(std::string_view tag) {
    ++columns_;
    if (!collecting()) return;
    // A loop belongs to the category of its first tag; tags of another category in it are passed over.
    if (columns_ == 1)
      kind_ = item_of(tag, "atom_site") ? Kind::atoms : item_of(tag, "entity") ? Kind::entities : Kind::other;
    if (const auto item = kind_ == Kind::atoms ? item_of(tag, "atom_site") : std::nullopt) {
      if (atoms_done_ || pair_row_) fail("The _atom_site table appears more than once.");
      const Slot s = slot_of(*item);
      slot_.push_back(s);
      if (s != unused) {
        if (has_[s]) fail("The tag _atom_site." + std::string(*item) + " appears twice.");
        has_[s] = true;
      }
    } else if (const auto e = kind_ == Kind::entities ? item_of(tag, "entity") : std::nullopt) {
      // In the entity loop, slot 0 holds the id and slot 1 the type.
      slot_.push_back(iequals(*e, "id") ? Slot(0) : iequals(*e, "type") ? Slot(1) : unused);
    } else {
      slot_.push_back(unused);
    }
  }
  void loop_value(std::string_view value) {
    if (kind_ == Kind::atoms) {
      if (column_ == 0) start_atoms();
      const Slot s = slot_[column_];
      if (s != unused) row_[s] = value;
    } else if (kind_ == Kind::entities) {
      const Slot s = slot_[column_];
      if (s == 0) entity_pair_.first = value;
      if (s == 1) entity_pair_.second = value;
    }
    if (++column_ == columns_) {
      column_ = 0;
      if (kind_ == Kind::atoms) emit_row();
      if (kind_ == Kind::entities) add_entity();
    }
  }
  // False when the loop's values do not fill its rows.
  bool loop_end() {
    const bool whole = column_ == 0;
    finish_loop();
    return whole;
  }

  // The PDB text, after the whole input was parsed.
  std::string finish() {
    finish_loop();
    add_entity();
    if (pair_row_) {
      // An _atom_site of one atom, written as items rather than as a loop.
      for (std::size_t s = 0; s < slot_count; ++s) has_[s] = pair_columns_[s];
      start_atoms();
      row_ = pair_values_;
      emit_row();
      atoms_done_ = true;
    }
    if (!atoms_done_) fail("The mmCIF data has no _atom_site table.");
    close_model();
    patch_records();
    if (reordered_) reorder();
    return std::move(out_);
  }

 private:
  enum class Kind { other, atoms, entities };
  struct Segment {
    int model;
    std::size_t begin, end;  // the records of the segment, without its MODEL and ENDMDL lines
  };

  bool collecting() const { return blocks_ == 1 && !in_frame_; }

  void finish_loop() {
    if (kind_ == Kind::atoms) atoms_done_ = true;
    kind_ = Kind::other;
    slot_.clear();
  }

  void add_entity() {
    if (present(entity_pair_.first) && present(entity_pair_.second))
      entity_polymer_[entity_pair_.first] = iequals(entity_pair_.second, "polymer");
    entity_pair_ = {};
  }

  // Checks, before the first atom, that the table has what the PDB records need.
  void start_atoms() {
    if (started_) return;
    started_ = true;
    if (!has_[x] || !has_[y] || !has_[z]) fail("The _atom_site table has no coordinates (Cartn_x, Cartn_y, Cartn_z).");
    if (!has_[atom_auth] && !has_[atom_label]) fail("The _atom_site table has no atom names.");
    if (!has_[comp_auth] && !has_[comp_label]) fail("The _atom_site table has no residue names.");
    if (!has_[seq_auth] && !has_[seq_label]) fail("The _atom_site table has no residue numbers.");
  }

  // The author's value where there is one, else the label's.
  std::string_view either(Slot auth, Slot label) const { return present(row_[auth]) ? row_[auth] : row_[label]; }

  void emit_row() {
    ++rows_;
    if (has_[model]) switch_model(row_[model]);
    const std::size_t at = out_.size();
    out_.append(record_width + 1, ' ');
    char* p = out_.data() + at;
    p[record_width] = '\n';

    const std::string_view group_text = row_[group];
    const bool het = present(group_text) && iequals(group_text, "HETATM");
    std::memcpy(p, het ? "HETATM" : "ATOM  ", 6);
    if (!has_[group]) note_entity(at);

    serial_ = serial_ % 99999 + 1;
    write_right(p + 6, 5, serial_);

    const std::string_view name = either(atom_auth, atom_label);
    const std::string_view comp = either(comp_auth, comp_label);
    const std::string_view chain = either(asym_auth, asym_label);
    const std::string_view seq = either(seq_auth, seq_label);
    const std::string_view symbol = row_[element];
    if (!present(name) || name.empty()) fail(row_text() + " has no atom name.");
    if (!present(comp) || comp.empty()) fail(row_text() + " has no residue name.");
    if (!present(seq)) fail(row_text() + " has no residue number.");
    for (std::string_view v : {name, comp, chain, row_[alt], row_[ins_code]})
      if (!printable(v)) fail(row_text() + " holds a control character in a name.");
    if (name.size() > 4)
      fail("Atom name " + quoted(name) + " has more than four characters, the width of its PDB column.");
    if (comp.size() > 4)
      fail("Residue name " + quoted(comp) + " has more than four characters, the width of its PDB columns.");
    if (chain.size() > 1)
      fail("Chain " + quoted(chain) +
           " has a name of more than one character; residue identifiers hold one chain character.");
    if (row_[alt].size() > 1) fail("Alternate location " + quoted(row_[alt]) + " has more than one character.");
    if (row_[ins_code].size() > 1) fail("Insertion code " + quoted(row_[ins_code]) + " has more than one character.");

    // Atom name: from column 14 when it begins with its one-letter element, as PDB writers place it.
    const bool one_letter = symbol.size() == 1 || (!present(symbol) && name[0] >= 'A' && name[0] <= 'Z');
    const bool shifted = name.size() < 4 && one_letter && (!present(symbol) || upper(symbol[0]) == upper(name[0]));
    std::memcpy(p + 12 + (shifted ? 1 : 0), name.data(), name.size());
    if (!row_[alt].empty()) p[16] = row_[alt][0];
    // Residue name: three characters right-justified in columns 18-20, four in 18-21.
    std::memcpy(p + (comp.size() >= 3 ? 17 : 20 - comp.size()), comp.data(), comp.size());
    if (!chain.empty()) p[21] = chain[0];
    const std::optional<int> number = integer(seq);
    if (!number) fail("Residue number " + quoted(seq) + " is not an integer.");
    if (*number < -999 || *number > 9999)
      fail("Residue number " + std::to_string(*number) + " is outside -999..9999, the range of its PDB columns.");
    write_right(p + 22, 4, *number);
    if (!row_[ins_code].empty()) p[26] = row_[ins_code][0];

    const std::array<Slot, 3> axes = {x, y, z};
    for (std::size_t k = 0; k < 3; ++k) {
      const std::string_view c = row_[axes[k]];
      if (!present(c)) fail(row_text() + " has no coordinates.");
      if (!write_fixed(c, 8, 3, p + 30 + 8 * k))
        fail("Coordinate " + quoted(c) + " is not a number that fits the 8 columns of a PDB coordinate (%8.3f).");
    }
    // Occupancy and B factor are not read; they are kept where they fit.
    if (!present(row_[occupancy]) || !write_fixed(row_[occupancy], 6, 2, p + 54)) std::memcpy(p + 54, "  1.00", 6);
    if (!present(row_[b_iso]) || !write_fixed(row_[b_iso], 6, 2, p + 60)) std::memcpy(p + 60, "  0.00", 6);
    if (present(symbol) && symbol.size() <= 2 && printable(symbol))
      for (std::size_t k = 0; k < symbol.size(); ++k) p[78 - symbol.size() + k] = upper(symbol[k]);

    row_ = {};
  }

  std::string row_text() const { return "Row " + std::to_string(rows_) + " of the _atom_site table"; }

  // An integer right-justified in `width` columns, which it fits.
  static void write_right(char* p, std::size_t width, int value) {
    char* q = p + width;
    const bool negative = value < 0;
    unsigned v = negative ? 0u - unsigned(value) : unsigned(value);
    do {
      *--q = char('0' + v % 10);
      v /= 10;
    } while (v != 0);
    if (negative) *--q = '-';
  }

  void switch_model(std::string_view number) {
    if (!present(number)) number = "?";
    if (!printable(number)) fail(row_text() + " holds a control character in its model number.");
    if (model_open_ && number == current_model_) return;
    close_model();
    const auto [it, added] = model_index_.emplace(std::string(number), int(model_index_.size()));
    if (!added) reordered_ = true;
    current_model_ = number;
    model_open_ = true;
    char line[record_width + 1];
    std::memset(line, ' ', record_width);
    std::memcpy(line, "MODEL ", 6);
    const std::string_view n = number.substr(0, 8);
    std::memcpy(line + (n.size() <= 4 ? 14 - n.size() : 10), n.data(), n.size());
    line[record_width] = '\n';
    out_.append(line, record_width + 1);
    segments_.push_back({it->second, out_.size(), out_.size()});
    serial_ = 0;
  }

  void close_model() {
    if (!model_open_) return;
    model_open_ = false;
    segments_.back().end = out_.size();
    append_endmdl(out_);
  }

  static void append_endmdl(std::string& text) {
    text.append("ENDMDL");
    text.append(record_width - 6, ' ');
    text.push_back('\n');
  }

  // Without group_PDB, atoms of entities that are not polymers are HETATM records;
  // the entity types may come after the atoms, so the records are marked at the end.
  void note_entity(std::size_t at) {
    const std::string_view id = row_[entity];
    if (!present(id)) return;
    if (entity_ids_.empty() || id != last_entity_) {
      last_entity_ = id;
      last_entity_index_ = entity_ids_.emplace(id, entity_ids_.size()).first->second;
    }
    record_entities_.push_back({at, last_entity_index_});
  }

  void patch_records() {
    std::vector<char> het(entity_ids_.size(), 0);
    for (const auto& [id, index] : entity_ids_) {
      const auto it = entity_polymer_.find(id);
      het[index] = it != entity_polymer_.end() && !it->second;
    }
    for (const auto& [at, index] : record_entities_)
      if (het[index]) std::memcpy(out_.data() + at, "HETATM", 6);
  }

  // Models whose atoms came in more than one stretch: each gathered between one MODEL and ENDMDL.
  void reorder() {
    std::vector<std::vector<const Segment*>> by_model(model_index_.size());
    for (const Segment& s : segments_) by_model[std::size_t(s.model)].push_back(&s);
    std::string text;
    text.reserve(out_.size());
    for (const auto& parts : by_model) {
      const Segment& first = *parts.front();
      text.append(out_, first.begin - (record_width + 1), record_width + 1);  // its MODEL line
      for (const Segment* s : parts) text.append(out_, s->begin, s->end - s->begin);
      append_endmdl(text);
    }
    out_ = std::move(text);
  }

  std::string out_;
  int blocks_ = 0;
  bool in_frame_ = false;
  std::string_view pending_tag_;
  std::size_t pending_line_ = 0;

  Kind kind_ = Kind::other;
  std::size_t columns_ = 0, column_ = 0;
  std::vector<Slot> slot_;
  std::array<bool, slot_count> has_{};
  std::array<std::string_view, slot_count> row_{};
  bool started_ = false, atoms_done_ = false;
  long long rows_ = 0;
  int serial_ = 0;

  bool pair_row_ = false;
  std::array<std::string_view, slot_count> pair_values_{};
  std::array<bool, slot_count> pair_columns_{};

  std::pair<std::string_view, std::string_view> entity_pair_;
  std::unordered_map<std::string_view, bool> entity_polymer_;
  std::unordered_map<std::string_view, std::size_t> entity_ids_;  // entity ids of the atoms, numbered
  std::string_view last_entity_;
  std::size_t last_entity_index_ = 0;
  std::vector<std::pair<std::size_t, std::size_t>> record_entities_;  // record offset, entity number

  bool model_open_ = false, reordered_ = false;
  std::string_view current_model_;
  std::unordered_map<std::string, int> model_index_;
  std::vector<Segment> segments_;
};

// gemmi's grammar with one shortcut: a loop value made of ordinary characters and
// followed by white space (gemmi's first choice, "simunq") is taken in one step,
// with the white space after it; every other value, and white space holding a
// comment, goes through gemmi's own rules. The rules around the loop are gemmi's,
// restated so that they use this loop.
namespace fast {

// The values of a loop, as gemmi's plus<seq<loop_value, ws_or_eof>>, in one call.
struct loop_values {
  using rule_t = loop_values;
  using subs_t = pegtl::empty_list;

  template <pegtl::apply_mode A, pegtl::rewind_mode M, template <typename...> class Action,
            template <typename...> class Control, typename ParseInput, typename... States>
  static bool match(ParseInput& in, States&&... st) {
    bool any = false;
    for (;; any = true) {
      if (simple<A, M, Action, Control>(in, st...)) continue;
      using gemmi_value = pegtl::seq<rules::loop_value, rules::ws_or_eof>;
      if (!pegtl::match<gemmi_value, A, pegtl::rewind_mode::required, Action, Control>(in, st...)) return any;
    }
  }

  // A value of ordinary characters followed by white space, with that white space;
  // false, with nothing taken, for anything else.
  template <pegtl::apply_mode A, pegtl::rewind_mode M, template <typename...> class Action,
            template <typename...> class Control, typename ParseInput, typename... States>
  static bool simple(ParseInput& in, States&&... st) {
    const char* const begin = in.current();
    const char* const end = in.end();
    const char* p = begin;
    while (p != end && gemmi::cif::char_table(*p) == 1) ++p;
    if (p == begin || p == end || gemmi::cif::char_table(*p) != 2) return false;
    if constexpr (A == pegtl::apply_mode::action) (st.loop_value(value_text(begin, std::size_t(p - begin))), ...);
    in.bump_in_this_line(std::size_t(p - begin));
    // The white space after it, counting lines as the input's tracking does.
    for (;;) {
      const char* q = p;
      while (q != end && (*q == ' ' || *q == '\t' || *q == '\r')) ++q;
      in.bump_in_this_line(std::size_t(q - p));
      p = q;
      if (p == end || *p != '\n') break;
      in.bump_to_next_line(1);
      ++p;
    }
    if (p != end && *p == '#') return pegtl::match<rules::whitespace, A, M, Action, Control>(in, st...);
    return true;
  }
};

struct loop
    : pegtl::if_must<rules::str_loop, rules::whitespace,
                     pegtl::plus<pegtl::seq<rules::loop_tag, rules::whitespace, pegtl::discard>>,
                     pegtl::sor<loop_values, pegtl::at<pegtl::sor<rules::keyword, pegtl::eof>>>, rules::loop_end> {};
struct frame : pegtl::if_must<rules::str_save, rules::framename, rules::whitespace,
                              pegtl::star<pegtl::sor<rules::dataitem, loop>>, rules::endframe, rules::ws_or_eof> {};
struct datablock
    : pegtl::seq<rules::datablockheading, rules::ws_or_eof, pegtl::star<pegtl::sor<rules::dataitem, loop, frame>>> {};
struct content : pegtl::plus<datablock> {};
struct file
    : pegtl::seq<pegtl::opt<rules::whitespace>, pegtl::if_must<pegtl::not_at<pegtl::eof>, content, pegtl::eof>> {};

// gemmi's messages, for the restated rules too.
template <typename Rule>
struct Errors : gemmi::cif::Errors<Rule> {};
template <>
struct Errors<content> : pegtl::normal<content> {
  template <typename Input, typename... States>
  static void raise(const Input& in, States&&...) {
    throw pegtl::parse_error("expected block header (data_)", in);
  }
};

}  // namespace fast

template <typename Rule>
struct Action : pegtl::nothing<Rule> {};

template <>
struct Action<rules::datablockname> {
  template <typename Input>
  static void apply(const Input&, Converter& c) {
    c.block();
  }
};
template <>
struct Action<rules::str_global> {
  template <typename Input>
  static void apply(const Input&, Converter& c) {
    c.block();
  }
};
template <>
struct Action<rules::framename> {
  template <typename Input>
  static void apply(const Input&, Converter& c) {
    c.frame(true);
  }
};
template <>
struct Action<rules::endframe> {
  template <typename Input>
  static void apply(const Input&, Converter& c) {
    c.frame(false);
  }
};
template <>
struct Action<rules::item_tag> {
  template <typename Input>
  static void apply(const Input& in, Converter& c) {
    c.item_tag({in.begin(), in.size()}, in.iterator().line);
  }
};
template <>
struct Action<rules::item_value> {
  template <typename Input>
  static void apply(const Input& in, Converter& c) {
    c.item_value(value_text(in.begin(), in.size()));
  }
};
template <>
struct Action<rules::missing_value> {
  template <typename Input>
  static void apply(const Input&, Converter& c) {
    c.missing_value();
  }
};
template <>
struct Action<rules::str_loop> {
  template <typename Input>
  static void apply(const Input&, Converter& c) {
    c.loop_start();
  }
};
template <>
struct Action<rules::loop_tag> {
  template <typename Input>
  static void apply(const Input& in, Converter& c) {
    c.loop_tag({in.begin(), in.size()});
  }
};
template <>
struct Action<rules::loop_value> {
  template <typename Input>
  static void apply(const Input& in, Converter& c) {
    c.loop_value(value_text(in.begin(), in.size()));
  }
};
template <>
struct Action<fast::loop> {
  template <typename Input>
  static void apply(const Input& in, Converter& c) {
    if (!c.loop_end()) throw pegtl::parse_error("wrong number of values in the loop", in);
  }
};

}  // namespace

std::string mmcif_to_pdb(std::string_view cif) {
  Converter converter(cif);
  pegtl::memory_input<> in(cif.data(), cif.size(), "mmCIF");
  try {
    pegtl::parse<fast::file, Action, fast::Errors>(in, converter);
  } catch (const pegtl::parse_error& e) {
    const std::size_t line = e.positions().empty() ? 0 : e.positions().front().line;
    throw InputError("mmCIF syntax error in line " + std::to_string(line) + ": " + std::string(e.message()) + ".");
  }
  return converter.finish();
}

}  // namespace veldrix

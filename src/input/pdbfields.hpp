// Reading PDB text: bounded lines, numeric fields read the Fortran way, chain identifiers.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace veldrix {

// Characters of a coordinate-file line that are kept; the rest of a longer line is cut.
constexpr std::size_t pdb_line_width = 200;

// Reads the next line into `line`, keeping its first 200 characters; a carriage
// return that ends the line belongs to the line break. False at the end of the
// input (then `line` is left alone) and after a read error, which leaves the
// stream bad (`in.bad()`). Any line length is safe.
bool read_pdb_line(std::istream& in, std::string& line);

// A coordinate file held in memory, read line by line as read_pdb_line reads a
// stream: each line is a view into the text, cut to its first 200 characters,
// a carriage return before the line break dropped. A text whose reading failed
// (`fails`) ends in a read error where it ends: the first read beyond its last
// byte fails (a last line without a line break is lost to it), and bad() tells.
class PdbText {
 public:
  explicit PdbText(std::string_view text, bool fails = false) : text_(text), fails_(fails) {}
  bool next(std::string_view& line);
  bool bad() const { return bad_; }
  // Bytes of the text read so far, and in all.
  std::size_t position() const { return pos_; }
  std::size_t size() const { return text_.size(); }
  void rewind() {
    pos_ = 0;
    bad_ = ended_ = false;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  bool fails_;
  bool bad_ = false;
  bool ended_ = false;
};

// An ATOM record must reach the end of its z field (column 54): a shorter one
// was cut off, and its missing columns would read as coordinates of 0.
constexpr std::size_t atom_record_width = 54;
inline bool complete_atom_record(std::string_view line) { return line.size() >= atom_record_width; }

// Integer field: blanks are ignored and a blank field is 0; otherwise an
// optional sign and digits. nullopt when the text is anything else.
std::optional<int> int_field(std::string_view text);

// Real field with `implied` implied decimals: blanks are ignored and a blank
// field is 0; an optional sign, digits with an optional decimal point and an
// optional exponent (E or D). Without a decimal point the last `implied` digits
// are the fraction. nullopt for anything else and for values beyond a double.
std::optional<double> real_field(std::string_view text, int implied = 3);

// int_field and real_field of columns a..b (1-based) of a line, blank beyond its end.
// Plain numbers are read here at once; anything else goes to the general readers.
std::optional<int> int_columns(std::string_view line, std::size_t a, std::size_t b);
std::optional<double> real_columns(std::string_view line, std::size_t a, std::size_t b, int implied = 3);

// Chain identifier of an ATOM record (column 22); a blank one counts as "A".
char record_chain(std::string_view line);

// Chain choice of the read command: "*" and "all" take every chain; any other
// value is a pattern (wildcards of `match`) for the one-character identifier.
// "first" is decided by the callers, which remember the first chain they met.
bool chain_selected(char chain, std::string_view chains);

// Residue identifier: the chain character followed by the number (A12, B-3).
std::string residue_id(char chain, int number);

}  // namespace veldrix

// Message output: levels, prefixes, "@/" line breaks and the print-argument queue.
//
// Every text the program prints goes through putlin, which keeps the printed
// lines in the run's state. Values enter a message through a small queue: intp,
// realf, strp, strq and plural store a value in a slot and return a placeholder
// token that the caller concatenates into the template text.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace veldrix {

struct CommandState;

// Thrown to end the run from any depth. A fatal message carries its text: what
// follows "*** FATAL ERROR: ", the lines of a longer message joined by "\n".
struct Stop {
  int status = 0;       // 0 normal end, 1 failure
  std::string message;  // the fatal message; empty for every other end
};

// Ends the run normally (status 0) or after the usage text (status 1).
[[noreturn]] void stopit(int status = 0);

constexpr int max_print_args = 29;

// The print-argument queue and the lines printed so far.
struct PrintData {
  int narg = 0;                                // queued arguments
  std::array<int, max_print_args + 1> iarg{};  // slots 1..29
  std::array<double, max_print_args + 1> rarg{};
  std::array<std::string, max_print_args + 1> sarg{};
  int infos = 2;                      // information level: higher message levels are not printed
  std::vector<std::string> lines;     // every line printed, in order
  std::vector<std::string> warnings;  // texts of the warnings, after their prefix
};

// Prints a message at the given level (-1 warning, -2 error, -3 fatal; 10 and
// more: no prefix); the lines go to s.printdata.lines. A fatal message is not
// printed: fatmsg throws it.
void putlin(CommandState& s, int level, std::string_view text);

// Expands a template: placeholders are replaced by the queued values.
std::string fmtstr(const PrintData& p, std::string_view text);

// Removes leading blanks and shrinks every run of blanks to one.
std::string squeze(std::string_view text);

void wrnmsg(CommandState& s, std::string_view text);
// Ends the run with a fatal message.
[[noreturn]] void fatmsg(CommandState& s, std::string_view text);
// The same for a plain text without placeholders, where no run state is at hand.
[[noreturn]] void fatal_text(std::string_view text);
[[noreturn]] void aloerr(CommandState& s, std::string_view file, int line);
// Ends the run for a line of an input file that cannot be read: "Cannot read line k:" and the line.
[[noreturn]] void cannot_read(CommandState& s, int number, std::string_view text);

// Push a value and return its placeholder token.
std::string intp(CommandState& s, int value);
std::string realf(CommandState& s, double value, int w, int d);
std::string strp(CommandState& s, std::string_view text);
std::string strq(CommandState& s, std::string_view text);
std::string plural(CommandState& s, int n, std::string_view word);

}  // namespace veldrix

// Message output: levels, prefixes, "@/" line breaks and the print-argument queue.
//
// Every text the program prints goes through putlin. Values enter a message
// through a small queue: intp, realf, strp, strq and plural store a value in a
// slot and return a placeholder token that the caller concatenates into the
// template text.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace veldrix {

// Thrown to end the run from any depth; main turns it into the exit status.
struct Stop {
  int status = 0;
};

// Ends the program: status 0 for a normal end, 1 after a fatal message.
[[noreturn]] void stopit(int status = 0);

constexpr int max_print_args = 29;

// The print-argument queue and the state putlin keeps between calls.
struct PrintData {
  int narg = 0;                                      // queued arguments
  std::array<int, max_print_args + 1> iarg{};        // slots 1..29
  std::array<double, max_print_args + 1> rarg{};
  std::array<std::string, max_print_args + 1> sarg{};
  std::vector<std::string> lines;     // every line printed, in order (not the fatal message)
  std::vector<std::string> warnings;  // texts of the warnings, after their prefix
  std::string fatal;                  // text of the fatal message that ended the run, after its prefix
};
inline PrintData printdata;
void reset_printdata();

// Print a message at the given level (negative: warning -1, error -2, fatal -3;
// 10 and more: no prefix; 0: nothing). Printed lines are collected in printdata.
void putlin(int level, std::string_view text);

// Expand a template: placeholders are replaced by the queued values.
std::string fmtstr(std::string_view text);

// Remove leading blanks and shrink every run of blanks to one.
std::string squeze(std::string_view text);

void wrnmsg(std::string_view text);
void errmsg(std::string_view text);
[[noreturn]] void fatmsg(std::string_view text);
[[noreturn]] void aloerr(std::string_view file, int line);
int inflev();

// Push a value and return its placeholder token.
std::string intp(int value);
std::string realf(double value, int w, int d);
std::string strp(std::string_view text);
std::string strq(std::string_view text);
std::string plural(int n, std::string_view word);

}  // namespace veldrix

// Interpreter state shared by all commands: information levels, error flag, variables.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace veldrix {

struct PraxelData {
  int infos = 2;    // information level for standard output
  int infof = 2;    // information level for the log file
  int infos2 = 2, infof2 = 2;
  int iured = 0;    // > 0: only warnings and errors are printed
  bool erflag = false;
  int iecho = 0;
  int intrpt = 0;
  int iploop = 0, icrank = 0;
  std::string prompt;
  double timing = double(1.0e20f);
  int safe = 0;
  std::string safdir;
  // Work state of the start-up; the macro machinery it prepares stays idle here.
  bool started = false;
  std::vector<int> lp;
  std::vector<int> isub;
  std::vector<std::string> rdfil;  // open-file table, slots 1..59
  std::string command;             // last command text (80 characters)
  std::string startup_file;
  bool startup_exists = false;
  char escape = '\\';
};
inline PraxelData praxeldata;

struct VarData {
  std::vector<std::string> var;     // names (32 characters); entries 1..nvar in var[0..nvar-1]
  std::vector<std::string> vardef;  // values
  int nvar = 0;
  std::vector<std::string> alias, alidef;
  int nalias = 0;
  int iunit = 10;
  std::string extnsn;
  int npid = 0, irank = 0;
};
inline VarData vardata;

// Empties both modules (for a clean start and for tests).
void reset_interpreter();

// Interpreter start-up; only the first call does the work.
void praxel(std::string_view command, int capacity, std::string_view extension,
            std::string_view libdir, std::string_view startup);
// Default settings of the data model.
void inivar();
// Room for n + extra variables, keeping the first n.
void alovar(int n, int extra);
bool haverr();
void seterr();
// Days since 1 January 1970.
int numday(int year, int month, int day);

}  // namespace veldrix
